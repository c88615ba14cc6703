#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

namespace platform::keychain {

enum class Status {
    Success,
    ItemNotFound,
    Failed, // the store could not be read or written
};

// The user's store of secrets, as password items found by service and account. The default store is the
// desktop's Secret Service when one answers, else a file only the user can read; both answer alike.
class Keychain {
public:
    virtual ~Keychain() = default;

    // The password of the item; ItemNotFound when there is none.
    virtual Status findGenericPassword(const QString& service, const QString& account,
                                       QByteArray* password) = 0;
    // Stores the item, replacing one of the same service and account.
    virtual Status addGenericPassword(const QString& service, const QString& account,
                                      const QByteArray& password) = 0;
    // ItemNotFound when there was nothing to delete.
    virtual Status deleteGenericPassword(const QString& service, const QString& account) = 0;

    // The Secret Service is asked once, with a short deadline, so that a session without one (or with one
    // that hangs) falls back to the file store at once instead of waiting for D-Bus time-outs.
    static std::shared_ptr<Keychain> defaultKeychain();
    // Replaces the default store (tests use a file store in a temporary folder); null asks again.
    static void setDefaultKeychain(std::shared_ptr<Keychain> keychain);
};

} // namespace platform::keychain
