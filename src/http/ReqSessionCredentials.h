#pragma once

#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <memory>

namespace platform::net {
class HttpAuthentication; // the authentication layer's answer to a challenge
}

// Keys of a credentials dictionary.
inline constexpr char kReqAuthenticationUsername[] = "Username";
inline constexpr char kReqAuthenticationPassword[] = "Password";
inline constexpr char kReqAuthenticationAccountDomain[] = "AccountDomain";

// The credentials dictionary a request applied; the stores compare these by identity, not by value.
using ReqCredentials = std::shared_ptr<const QVariantMap>;

// A user name and password kept in the keychain.
struct ReqURLCredential {
    QString user;
    QString password;
};

// One entry of a session credential store: what worked for a server (by URL) or a proxy (by host and port).
struct ReqSessionCredentials {
    std::shared_ptr<platform::net::HttpAuthentication> authentication;
    ReqCredentials credentials;
    QUrl url;     // server entries
    QString host; // proxy entries
    int port = 0; // proxy entries
    QString authenticationScheme;
    QString authenticationRealm; // server entries, when the request had a realm
};
