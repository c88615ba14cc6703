#pragma once

#include "platform/keychain/Keychain.h"

#include <QList>

#include <mutex>
#include <optional>

namespace platform::keychain {

// The store for sessions without a Secret Service: one file, mode 0600, in a folder only the user can
// enter (0700). Every change writes a whole new file beside the old one and renames it into place, so a
// crash leaves either the old items or the new ones. A file that cannot be trusted (another owner, a link)
// is neither read nor replaced.
class FileKeychain : public Keychain {
public:
    explicit FileKeychain(QString folder);

    // "<XDG data>/Vistrelle/keychain".
    static QString defaultFolder();
    QString filePath() const;

    Status findGenericPassword(const QString& service, const QString& account, QByteArray* password) override;
    Status addGenericPassword(const QString& service, const QString& account,
                              const QByteArray& password) override;
    Status deleteGenericPassword(const QString& service, const QString& account) override;

private:
    struct Item {
        QString service;
        QString account;
        QByteArray password;
    };
    // The stored items; nullopt when the file is there but cannot be read safely.
    std::optional<QList<Item>> readItems() const;
    bool writeItems(const QList<Item>& items) const;

    QString folder;
    std::mutex mutex;
};

} // namespace platform::keychain
