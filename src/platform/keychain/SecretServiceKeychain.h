#pragma once

#include "platform/keychain/Keychain.h"

namespace platform::keychain {

// Password items in the desktop's Secret Service (the session's keyring), through libsecret: one item per
// service and account in the default collection, labelled for the person who browses the keyring.
class SecretServiceKeychain : public Keychain {
public:
    // Whether a Secret Service answers on the session bus within `deadlineMs`; asked once per process, the
    // later calls answer what the first found.
    static bool isAvailable(int deadlineMs = 1000);

    Status findGenericPassword(const QString& service, const QString& account, QByteArray* password) override;
    Status addGenericPassword(const QString& service, const QString& account,
                              const QByteArray& password) override;
    Status deleteGenericPassword(const QString& service, const QString& account) override;
};

} // namespace platform::keychain
