#include "platform/keychain/Keychain.h"

#include "platform/keychain/FileKeychain.h"
#include "platform/keychain/SecretServiceKeychain.h"

#include <mutex>

namespace platform::keychain {

namespace {

std::mutex defaultMutex;
std::shared_ptr<Keychain> defaultStore;

} // namespace

std::shared_ptr<Keychain> Keychain::defaultKeychain() {
    std::lock_guard lock(defaultMutex);
    if (!defaultStore) {
        if (SecretServiceKeychain::isAvailable())
            defaultStore = std::make_shared<SecretServiceKeychain>();
        else
            defaultStore = std::make_shared<FileKeychain>(FileKeychain::defaultFolder());
    }
    return defaultStore;
}

void Keychain::setDefaultKeychain(std::shared_ptr<Keychain> keychain) {
    std::lock_guard lock(defaultMutex);
    defaultStore = std::move(keychain);
}

} // namespace platform::keychain
