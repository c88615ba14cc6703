#pragma once

// The sign-in provider, played on a loopback server over TLS: its authorization page, token endpoint,
// user information and revocation, at the paths the program uses. While it lives the program's service
// addresses point both of the provider's hosts at the server (through user defaults in a private folder).
//
//   "/o/oauth2/auth"        a page titled "Success code=4/P7q", as the provider shows the code
//   "/o/oauth2/token"       JSON tokens for the code "4/P7q" (access "A1", refresh "1/xyz") and for the
//                           refresh token "1/xyz" (access "A2", "A3", ...); else 400
//                           {"error":"invalid_grant"}
//   "/oauth2/v1/userinfo"   {"email":"user@example.com","verified_email":true} for a bearer token it issued
//   "/o/oauth2/revoke"      200

#include "support/LoopbackServer.h"
#include "support/TempDir.h"

#include <QStringList>

#include <mutex>

namespace test_support {

class FakeOAuth2Provider {
public:
    static constexpr char kCode[] = "4/P7q";
    static constexpr char kRefreshToken[] = "1/xyz";
    static constexpr char kEmail[] = "user@example.com";

    explicit FakeOAuth2Provider(LoopbackServer& server);
    ~FakeOAuth2Provider();
    FakeOAuth2Provider(const FakeOAuth2Provider&) = delete;
    FakeOAuth2Provider& operator=(const FakeOAuth2Provider&) = delete;

    // Access tokens handed out so far, in order.
    QStringList issuedTokens() const;
    // The defaults file the service addresses are read from (and the keychain's user defaults go to).
    QString defaultsPath() const { return folder.file("Vistrelle.conf"); }

private:
    ServerResponse token(const ServerRequest& request);
    ServerResponse userInfo(const ServerRequest& request);

    LoopbackServer& server;
    TempDir folder;
    mutable std::mutex mutex;
    QStringList issued;
    int refreshes = 0;
};

} // namespace test_support
