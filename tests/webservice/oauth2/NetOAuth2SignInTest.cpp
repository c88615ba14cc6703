#include "webservice/oauth2/OAuth2TestSupport.h"

namespace {

using namespace oauth2_test;
using platform::net::UrlRequest;

// A sign-in with recorded callbacks: what it asked to show, and how it ended.
class NetOAuth2SignInTest : public OAuth2Test {
protected:
    void start(const QString& scope = QStringLiteral("https://videos.example/feeds/")) {
        auth = NetOAuth2SignIn::standardProviderAuthenticationForScope(scope, kClientID, kClientSecret);
        signIn = NetOAuth2SignIn::create(
            auth, NetOAuth2SignIn::providerAuthorizationURL(), nullptr,
            [this](NetOAuth2SignIn&, const std::optional<UrlRequest>& request) { shown.push_back(request); },
            [this](NetOAuth2SignIn&, const std::shared_ptr<NetOAuth2Authentication>&,
                   const platform::OptionalError& error) {
                ++ends;
                endError = error;
            });
        signIn->setScheduler(scheduler);
        signIn->startSigningIn();
    }
    bool waitForEnd() {
        return test_support::spinUntil([&] { return ends > 0; });
    }

    std::shared_ptr<platform::ManualScheduler> scheduler = std::make_shared<platform::ManualScheduler>();
    std::shared_ptr<NetOAuth2Authentication> auth;
    std::shared_ptr<NetOAuth2SignIn> signIn;
    std::vector<std::optional<UrlRequest>> shown;
    int ends = 0;
    platform::OptionalError endError;
};

TEST_F(NetOAuth2SignInTest, TheAuthorizationRequestAsksForTheCodeWithTheEmailScopeAdded) {
    start();
    ASSERT_EQ(shown.size(), 1u);
    const QByteArray root = server.secureUrl(QString()).toEncoded();
    EXPECT_EQ(shown[0]->url.toEncoded(),
              root +
                  "/o/oauth2/auth?client_id=508314729066.desktop-clients.id.invalid"
                  "&redirect_uri=urn%3Aietf%3Awg%3Aoauth%3A2.0%3Aoob&response_type=code"
                  "&scope=https%3A%2F%2Fvideos.example%2Ffeeds%2F%20" +
                  QUrl::toPercentEncoding(root + "/auth/userinfo.email"));
    // A scope holding the e-mail scope keeps it once; an empty one gains it after a blank.
    const QString email = NetOAuth2SignIn::providerUserEmailScope();
    for (const auto& [scope, expected] :
         {std::pair{email, email}, std::pair{QStringLiteral(""), " " + email}}) {
        start(scope);
        EXPECT_EQ(auth->scope(), expected);
    }
}

TEST_F(NetOAuth2SignInTest, OnlyATitleWhoseLastWordHoldsACodeOrErrorIsTheResult) {
    const struct {
        QString title;
        bool isResult;
    } cases[] = {
        {"Success", false},           {"Success state=x&scope=y", false},   {"Success code=", false},
        {"Success code=4/P7q", true}, {"Denied error=access_denied", true}, {"a b=c d code=4%2FP7q", true},
    };
    for (const auto& c : cases) {
        start();
        EXPECT_EQ(signIn->titleChanged(c.title), c.isResult) << c.title.toStdString();
        EXPECT_EQ(signIn->hasHandledCallback(), c.isResult);
        signIn->cancelSigningIn();
    }
    // With the out-of-band redirect, a redirect never carries the result.
    start();
    EXPECT_FALSE(signIn->requestRedirectedToRequest(UrlRequest(QUrl("https://localhost/?code=4%2FP7q"))));
}

TEST_F(NetOAuth2SignInTest, TheCodeOnTheProvidersPageSignsInWithTheAccountsAddress) {
    NotificationCount signedIn(kNetOAuth2UserSignedIn);
    NotificationCount stopped(kNetOAuth2FetchStopped);
    start();
    // As the browser would show it: the provider's page, titled with the code.
    scope.browser->opened.push_back(shown[0]->url);
    const QString title = scope.browser->visit();
    EXPECT_EQ(title, "Success code=4/P7q");
    EXPECT_TRUE(signIn->titleChanged(title));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_FALSE(shown[1]); // the window was asked to close
    ASSERT_TRUE(waitForEnd());
    EXPECT_FALSE(endError);
    EXPECT_EQ(auth->accessToken(), "A1");
    EXPECT_EQ(auth->refreshToken(), "1/xyz");
    EXPECT_EQ(auth->userEmail(), "user@example.com");
    EXPECT_EQ(auth->userEmailIsVerified(), "1");
    EXPECT_EQ(server.requestsTo("/oauth2/v1/userinfo")[0].header("Authorization"), "Bearer A1");
    EXPECT_EQ(signedIn.count, 1);
    EXPECT_EQ(stopped.count, 2); // the exchange and the user information
    // A later sighting of the same page, or a later end, reaches nobody.
    EXPECT_TRUE(signIn->titleChanged(title));
    signIn->windowWasClosed();
    test_support::spinFor(50);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(server.requestsTo("/o/oauth2/token").size(), 1u);
}

TEST_F(NetOAuth2SignInTest, UserInformationOfAnUnexpectedShapeLeavesTheAddressOut) {
    for (const QByteArray& reply : {QByteArray(R"(["user@example.com"])"), QByteArray(R"({"email":42})")}) {
        server.route("/oauth2/v1/userinfo", [&](const ServerRequest&) {
            return ServerResponse::text(200, reply, "application/json");
        });
        ends = 0;
        start();
        signIn->titleChanged("Success code=4/P7q");
        ASSERT_TRUE(waitForEnd());
        EXPECT_FALSE(endError);
        EXPECT_EQ(auth->userEmail(), QString()) << reply.constData();
    }
}

TEST_F(NetOAuth2SignInTest, ARefusalEndsWithTheProvidersWordAndNoExchange) {
    start();
    EXPECT_TRUE(signIn->titleChanged("Denied error=access_denied"));
    ASSERT_EQ(ends, 1);
    ASSERT_TRUE(endError);
    EXPECT_TRUE(endError->is(kNetOAuth2ErrorDomain, kNetOAuth2ErrorAuthorizationFailed));
    EXPECT_EQ(endError->userInfo.value(kNetOAuth2ErrorMessageKey), "access_denied");
    EXPECT_TRUE(server.requestsTo("/o/oauth2/token").empty());
}

TEST_F(NetOAuth2SignInTest, ACancelledSignInCallsNobodyEvenWhenItsExchangeWasUnderWay) {
    start();
    signIn->titleChanged("Success code=4/P7q");
    signIn->cancelSigningIn();
    test_support::spinFor(200);
    EXPECT_EQ(ends, 0);
    EXPECT_FALSE(scope.network.isWatched());
}

TEST_F(NetOAuth2SignInTest, RevocationPostsTheRefreshTokenAndSignsOutAtOnce) {
    auto account = restoredAuthentication();
    account->setUserEmail("user@example.com");
    NetOAuth2SignIn::revokeTokenForProviderAuthentication(*account);
    EXPECT_FALSE(account->canAuthorize());
    EXPECT_EQ(account->userEmail(), QString());
    EXPECT_EQ(account->serviceProvider(), "Provider");
    ASSERT_TRUE(server.waitForRequests(1));
    const auto revocations = server.requestsTo("/o/oauth2/revoke");
    ASSERT_EQ(revocations.size(), 1u);
    EXPECT_EQ(revocations[0].body, "token=1%2Fxyz");
}

TEST_F(NetOAuth2SignInTest, TheNetworkIsDeclaredLostAfterThirtySecondsAndFoundWhenItReturns) {
    NotificationCount lost(kNetOAuthNetworkLost);
    NotificationCount found(kNetOAuthNetworkFound);
    start();
    ASSERT_TRUE(scope.network.isWatched());
    scope.network.setReachable(false);
    scheduler->advance(29.0);
    scope.network.setReachable(true);
    scheduler->advance(10.0);
    EXPECT_EQ(lost.count + found.count, 0);

    scope.network.setReachable(false);
    scope.network.setReachable(false);
    scheduler->advance(30.0);
    EXPECT_EQ(lost.count, 1);
    scope.network.setReachable(true);
    EXPECT_EQ(found.count, 1);
    EXPECT_EQ(ends, 0); // a lost network never ends the sign-in by itself
}

} // namespace
