#include "support/FakeOAuth2Provider.h"

#include "platform/foundation/UserDefaults.h"

#include <QFile>
#include <QUrlQuery>

namespace test_support {

namespace {

ServerResponse json(int status, const QByteArray& body) {
    return ServerResponse::text(status, body, "application/json; charset=utf-8");
}

} // namespace

FakeOAuth2Provider::FakeOAuth2Provider(LoopbackServer& server) : server(server) {
    QFile settings(defaultsPath());
    if (settings.open(QIODevice::WriteOnly)) {
        const QByteArray root = server.secureUrl(QString()).toEncoded();
        settings.write("[ServiceAddresses]\nProviderAuthorizationServer=" + root +
                       "\nProviderAPIHost=" + root + "\n");
        settings.close();
    }
    platform::UserDefaults::setStorePathForTesting(defaultsPath());

    server.route("/o/oauth2/auth", [](const ServerRequest&) {
        return ServerResponse::text(
            200,
            "<html><head><title>Success code=4/P7q</title></head><body>Copy this code: 4/P7q</body></html>",
            "text/html; charset=utf-8");
    });
    server.route("/o/oauth2/token", [this](const ServerRequest& request) { return token(request); });
    server.route("/oauth2/v1/userinfo", [this](const ServerRequest& request) { return userInfo(request); });
    server.route("/o/oauth2/revoke", [](const ServerRequest&) { return ServerResponse::text(200, ""); });
}

FakeOAuth2Provider::~FakeOAuth2Provider() {
    platform::UserDefaults::setStorePathForTesting(QString());
}

QStringList FakeOAuth2Provider::issuedTokens() const {
    std::lock_guard lock(mutex);
    return issued;
}

ServerResponse FakeOAuth2Provider::token(const ServerRequest& request) {
    // Form bodies escape "+" as %2B, so a "+" left in the body can only be a blank.
    const QUrlQuery form(QString::fromUtf8(request.body).replace(u'+', u' '));
    const auto field = [&](const char* name) {
        return form.queryItemValue(QLatin1String(name), QUrl::FullyDecoded);
    };
    const QString grant = field("grant_type");
    std::lock_guard lock(mutex);
    if (grant == QLatin1String("authorization_code") && field("code") == QLatin1String(kCode)) {
        issued << QStringLiteral("A1");
        return json(
            200, R"({"access_token":"A1","refresh_token":"1/xyz","expires_in":3600,"token_type":"Bearer"})");
    }
    if (grant == QLatin1String("refresh_token") && field("refresh_token") == QLatin1String(kRefreshToken)) {
        const QString token = QStringLiteral("A%1").arg(++refreshes + 1);
        issued << token;
        return json(200, R"({"access_token":")" + token.toUtf8() +
                             R"(","expires_in":3600,"token_type":"Bearer"})");
    }
    return json(400, R"({"error":"invalid_grant"})");
}

ServerResponse FakeOAuth2Provider::userInfo(const ServerRequest& request) {
    const QByteArray authorization = request.header("Authorization");
    bool known = false;
    {
        std::lock_guard lock(mutex);
        for (const QString& token : issued)
            known = known || authorization == "Bearer " + token.toUtf8();
    }
    if (!known)
        return json(401, R"({"error":"invalid_token"})");
    return json(200, R"({"id":"1","email":"user@example.com","verified_email":true})");
}

} // namespace test_support
