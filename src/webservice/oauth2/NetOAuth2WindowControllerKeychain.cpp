// The keychain item of a sign-in: the authentication's persistence string under the item name and the
// account "OAuth", with a user default beside it that says an item was stored.
#include "webservice/oauth2/NetOAuth2WindowController.h"

#include "platform/foundation/UserDefaults.h"
#include "platform/keychain/Keychain.h"
#include "webservice/oauth2/NetOAuth2SignIn.h"

#include <QStringDecoder>

using platform::keychain::Keychain;
using platform::keychain::Status;

namespace {

QString account() {
    return QString::fromLatin1(kNetOAuth2KeychainAccountName);
}

} // namespace

QString NetOAuth2WindowController::prefsKeyForName(const QString& keychainItemName) {
    return QStringLiteral("OAuth2: ") + keychainItemName;
}

bool NetOAuth2WindowController::saveAuthToKeychainForName(const QString& keychainItemName,
                                                          NetOAuth2Authentication& authentication) {
    removeAuthFromKeychainForName(keychainItemName);
    if (!authentication.canAuthorize())
        return false;
    const QByteArray password = authentication.persistenceResponseString().toUtf8();
    if (Keychain::defaultKeychain()->addGenericPassword(keychainItemName, account(), password) !=
        Status::Success)
        return false;
    platform::UserDefaults::standard().setValue(prefsKeyForName(keychainItemName), true);
    return true;
}

bool NetOAuth2WindowController::removeAuthFromKeychainForName(const QString& keychainItemName) {
    switch (Keychain::defaultKeychain()->deleteGenericPassword(keychainItemName, account())) {
    case Status::ItemNotFound:
        return true;
    case Status::Success:
        platform::UserDefaults::standard().remove(prefsKeyForName(keychainItemName));
        return true;
    case Status::Failed:
        break;
    }
    return false;
}

bool NetOAuth2WindowController::authorizeFromKeychainForName(const QString& keychainItemName,
                                                             NetOAuth2Authentication& authentication) {
    // Whatever is found, the first use refreshes.
    authentication.setAccessToken(QString());
    if (!platform::UserDefaults::standard().boolean(prefsKeyForName(keychainItemName)))
        return false;
    QByteArray password;
    if (Keychain::defaultKeychain()->findGenericPassword(keychainItemName, account(), &password) !=
            Status::Success ||
        password.isEmpty())
        return false;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(password);
    if (decoder.hasError())
        return false;
    authentication.setKeysForPersistenceResponseString(text);
    return true;
}

std::shared_ptr<NetOAuth2Authentication> NetOAuth2WindowController::authForProviderFromKeychainForName(
    const QString& keychainItemName, const QString& clientID, const QString& clientSecret) {
    const NetOAuth2SignInClass signIn = signInClass();
    auto auth = NetOAuth2Authentication::authenticationWithServiceProvider(
        QString::fromLatin1(kNetOAuth2ServiceProvider), signIn.providerTokenURL(),
        signIn.nativeClientRedirectURI(), clientID, clientSecret);
    authorizeFromKeychainForName(keychainItemName, *auth);
    return auth;
}

void NetOAuth2WindowController::revokeTokenForProviderAuthentication(
    NetOAuth2Authentication& authentication) {
    signInClass().revokeTokenForProviderAuthentication(authentication);
}
