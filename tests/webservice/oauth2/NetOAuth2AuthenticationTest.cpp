#include "platform/foundation/ApplicationVersion.h"
#include "webservice/oauth2/OAuth2TestSupport.h"

#include <optional>
#include <string>

namespace {

using namespace oauth2_test;
using Form = NetOAuth2Authentication::Form;
using platform::net::UrlRequest;

std::shared_ptr<UrlRequest> requestFor(const QUrl& url) {
    return std::make_shared<UrlRequest>(url);
}

// What one authorization reported.
struct Authorized {
    int calls = 0;
    platform::OptionalError error;
};

TEST(NetOAuth2FormEncoding, ValuesSurviveTheRoundTripAndReceivedPlusSignsStay) {
    const struct {
        QString value;
        QString encoded;
    } cases[] = {
        {"a b", "a%20b"}, {"&=", "%26%3D"}, {"1/xyz", "1%2Fxyz"}, {"~-._", "~-._"}, {"ü+", "%C3%BC%2B"},
    };
    for (const auto& c : cases) {
        const QString text = NetOAuth2Authentication::encodedQueryParametersForDictionary({{"k", c.value}});
        EXPECT_EQ(text, "k=" + c.encoded);
        EXPECT_EQ(NetOAuth2Authentication::dictionaryWithResponseString(text)->value("k"), c.value);
    }
    // Keys sorted ignoring case; "+" received is no blank; a bare key has an empty value; a later
    // duplicate wins; a piece that does not decode as UTF-8 is left out.
    EXPECT_EQ(
        NetOAuth2Authentication::encodedQueryParametersForDictionary({{"b", "2"}, {"A", "1"}, {"c", ""}}),
        "A=1&b=2&c=");
    EXPECT_EQ(*NetOAuth2Authentication::dictionaryWithResponseString("x=1+2&flag&x=3&bad=%FF&ok=%C3%BC"),
              (Form{{"x", "3"}, {"flag", ""}, {"ok", "ü"}}));
    EXPECT_EQ(NetOAuth2Authentication::scopeWithStrings({}), "");
}

TEST(NetOAuth2Authentication, TheKeychainFormKeepsTheLastingFieldsAndReadingItBackAnnouncesTheToken) {
    auto auth = NetOAuth2Authentication::create();
    auth->setKeysForResponseString("access_token=A1&refresh_token=1%2Fxyz&serviceProvider=Provider&"
                                   "email=user%40example.com&isVerified=1&code=c&scope=s");
    const QString persisted = auth->persistenceResponseString();
    EXPECT_EQ(persisted,
              "email=user%40example.com&isVerified=1&refresh_token=1%2Fxyz&serviceProvider=Provider");
    auth->setRefreshToken(QString());
    EXPECT_EQ(auth->persistenceResponseString(),
              "access_token=A1&email=user%40example.com&isVerified=1&serviceProvider=Provider");

    NotificationCount changed(kNetOAuth2RefreshTokenChanged);
    auto fresh = NetOAuth2Authentication::create();
    fresh->setKeysForPersistenceResponseString(persisted);
    EXPECT_EQ(changed.count, 1);
    EXPECT_EQ(fresh->refreshToken(), "1/xyz");
    EXPECT_EQ(fresh->userEmail(), "user@example.com");
    EXPECT_TRUE(fresh->canAuthorize());
    // A refresh reply without a refresh token, or with the same one, announces nothing.
    fresh->setKeysForResponseString("access_token=A2");
    fresh->setKeysForResponseString("refresh_token=1%2Fxyz");
    EXPECT_EQ(changed.count, 1);
}

TEST(NetOAuth2Authentication, OnlyATopLevelObjectMergesAndOnlyTextNumbersAndTruthBecomeFields) {
    const auto clock = std::make_shared<platform::ManualClock>();
    const struct {
        QByteArray json;
        Form merged;
        qint64 expiresInSeconds; // 0: no expiry
    } cases[] = {
        {R"([{"access_token":"A"}])", {}, 0},
        {R"({"access_token":"A","expires_in":3600})", {{"access_token", "A"}, {"expires_in", "3600"}}, 3600},
        {R"({"access_token":"A","expires_in":"120"})", {{"access_token", "A"}, {"expires_in", "120"}}, 120},
        {R"({"scope":["a"],"code":{"x":1},"error":null,"verified":true})", {{"verified", "1"}}, 0},
        {R"({"access_token":"A")", {}, 0},
    };
    for (const auto& c : cases) {
        auto auth = NetOAuth2Authentication::create();
        auth->setClock(clock);
        auth->setKeysForResponseJSONData(c.json);
        EXPECT_EQ(auth->parameters(), c.merged) << c.json.constData();
        EXPECT_EQ(auth->expirationDate(),
                  c.expiresInSeconds ? clock->now().addSecs(c.expiresInSeconds) : QDateTime())
            << c.json.constData();
    }
}

TEST(NetOAuth2Authentication, EitherTokenAuthorizesAndOnlyARefreshTokenPrimesARefresh) {
    const struct {
        QString access, refresh;
        bool canAuthorize, primes;
    } cases[] = {{"A1", "", true, false},
                 {"", "1/xyz", true, true},
                 {"A1", "1/xyz", true, true},
                 {"", "", false, false}};
    for (const auto& c : cases) {
        auto auth = NetOAuth2Authentication::create();
        auth->setAccessToken(c.access);
        auth->setRefreshToken(c.refresh);
        EXPECT_EQ(auth->canAuthorize(), c.canAuthorize) << c.access.toStdString() << c.refresh.toStdString();
        EXPECT_EQ(auth->primeForRefresh(), c.primes);
        EXPECT_EQ(auth->accessToken(), c.primes ? QString() : c.access);
    }
}

class NetOAuth2AuthenticationTest : public OAuth2Test {
protected:
    Authorized authorize(NetOAuth2Authentication& auth, const std::shared_ptr<UrlRequest>& request) {
        Authorized outcome;
        auth.authorizeRequest(request, [&](const platform::OptionalError& error) {
            ++outcome.calls;
            outcome.error = error;
        });
        EXPECT_TRUE(test_support::spinUntil([&] { return outcome.calls > 0; }));
        return outcome;
    }
};

// A token whose end is unknown may be dead already: it is refreshed as one about to expire is.
TEST_F(NetOAuth2AuthenticationTest, ATokenWithLessThanAMinuteOrNoDateLeftIsRefreshedBeforeUse) {
    const struct {
        std::optional<int> secondsLeft; // none: the token came without an expiration date
        bool refreshed;
    } cases[] = {{59, true}, {61, false}, {std::nullopt, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.secondsLeft ? std::to_string(*c.secondsLeft) : "no date");
        server.clearLog();
        auto auth = restoredAuthentication();
        auth->setAccessToken("A1");
        if (c.secondsLeft)
            auth->setExpirationDate(clock->now().addSecs(*c.secondsLeft));
        ASSERT_EQ(auth->expirationDate().isValid(), c.secondsLeft.has_value());
        const auto request = requestFor(server.secureUrl("/api"));
        EXPECT_FALSE(authorize(*auth, request).error);
        EXPECT_EQ(server.requestsTo("/o/oauth2/token").size(), c.refreshed ? 1u : 0u);
        // The token the provider has just handed out, else the one held.
        const QStringList issued = provider.issuedTokens();
        EXPECT_EQ(request->value("Authorization"),
                  "Bearer " + (c.refreshed ? issued.value(issued.size() - 1).toUtf8() : QByteArray("A1")));
    }
}

TEST_F(NetOAuth2AuthenticationTest, RequestsDuringARefreshWaitForItAndAreSignedInTurn) {
    auto auth = restoredAuthentication();
    std::vector<std::shared_ptr<UrlRequest>> requests;
    std::vector<int> order;
    NotificationCount started(kNetOAuth2FetchStarted);
    for (int i = 0; i < 3; ++i) {
        requests.push_back(requestFor(server.secureUrl(QStringLiteral("/api/%1").arg(i))));
        auth->authorizeRequest(requests.back(), [&order, i](const platform::OptionalError& error) {
            EXPECT_FALSE(error);
            order.push_back(i);
        });
    }
    EXPECT_EQ(auth->pendingAuthorizationCount(), 3u);
    EXPECT_TRUE(auth->isAuthorizingRequest(*requests[1]));
    ASSERT_TRUE(test_support::spinUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    for (const auto& request : requests)
        EXPECT_EQ(request->value("Authorization"), "Bearer A2");
    const auto posts = server.requestsTo("/o/oauth2/token");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].method, "POST");
    EXPECT_EQ(posts[0].header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(posts[0].header("User-Agent"),
              "net-oauth2 org.vistrelle.Vistrelle/" + platform::applicationVersion().toUtf8());
    EXPECT_EQ(posts[0].body,
              "client_id=508314729066.desktop-clients.id.invalid&client_secret=Rt7vQm2LpW9xZc4NbH6sJd3F"
              "&grant_type=refresh_token&refresh_token=1%2Fxyz");
    EXPECT_EQ(started.count, 1);
}

TEST_F(NetOAuth2AuthenticationTest, ARequestInClearNeverCarriesTheTokenUnlessAllAreAllowed) {
    auto auth = restoredAuthentication();
    auth->setAccessToken("A1");
    auth->setExpirationDate(clock->now().addSecs(3600));
    const auto request = requestFor(server.url("/api"));
    const Authorized refused = authorize(*auth, request);
    ASSERT_TRUE(refused.error);
    EXPECT_TRUE(refused.error->is(kNetOAuth2ErrorDomain, kNetOAuth2ErrorUnauthorizableRequest));
    EXPECT_FALSE(request->headers.contains("Authorization"));
    auth->setShouldAuthorizeAllRequests(true);
    EXPECT_FALSE(authorize(*auth, request).error);
    EXPECT_EQ(request->value("Authorization"), "Bearer A1");
}

TEST_F(NetOAuth2AuthenticationTest, AFailedRefreshReportsTheProvidersAnswerUnlessTheOldTokenStillServes) {
    server.route("/o/oauth2/token", [](const ServerRequest&) {
        return ServerResponse::text(400, R"({"error":"invalid_grant"})", "application/json");
    });
    auto auth = restoredAuthentication();
    const Authorized failed = authorize(*auth, requestFor(server.secureUrl("/api")));
    ASSERT_TRUE(failed.error);
    EXPECT_EQ(failed.error->code, 400);
    EXPECT_EQ(failed.error->userInfo.value(kNetOAuth2ErrorJSONKey).toMap().value("error"), "invalid_grant");
    EXPECT_EQ(auth->refreshToken(), "1/xyz"); // kept: the next authorization tries again

    auth->setAccessToken("A1");
    auth->setExpirationDate(clock->now().addSecs(30));
    const auto request = requestFor(server.secureUrl("/api"));
    EXPECT_FALSE(authorize(*auth, request).error);
    EXPECT_EQ(request->value("Authorization"), "Bearer A1");
}

TEST_F(NetOAuth2AuthenticationTest, ACodeExchangeThatBringsNoAccessTokenFails) {
    const struct {
        QByteArray reply;
        QString word;
    } cases[] = {{R"({"token_type":"Bearer"})", ""}, {"", ""}, {R"({"error":"slow_down"})", "slow_down"}};
    for (const auto& c : cases) {
        server.route("/o/oauth2/token", [&](const ServerRequest&) {
            return ServerResponse::text(200, c.reply, "application/json");
        });
        auto auth = NetOAuth2SignIn::standardProviderAuthenticationForScope("s", kClientID, kClientSecret);
        auth->setCode(QString::fromLatin1(FakeOAuth2Provider::kCode));
        Outcome outcome;
        auth->beginTokenFetchWithDelegate(nullptr, [&](NetOAuth2Authentication&,
                                                       const std::shared_ptr<NetHTTPFetcher>&,
                                                       const platform::OptionalError& error) {
            ++outcome.calls;
            outcome.error = error;
        });
        ASSERT_TRUE(test_support::spinUntil([&] { return outcome.calls > 0; }));
        ASSERT_TRUE(outcome.error) << c.reply.constData();
        EXPECT_TRUE(outcome.error->is(kNetOAuth2ErrorDomain, kNetOAuth2ErrorAuthorizationFailed));
        EXPECT_EQ(outcome.error->userInfo.value(kNetOAuth2ErrorMessageKey).toString(), c.word);
    }
}

TEST_F(NetOAuth2AuthenticationTest, AnUnauthorizedReplyRefreshesOnceAndTheRetryCarriesTheNewToken) {
    server.route("/api", [](const ServerRequest& request) {
        return request.header("Authorization") == "Bearer A2" ? ServerResponse::text(200, "welcome")
                                                              : ServerResponse::text(401, "expired");
    });
    auto auth = restoredAuthentication();
    auth->setAccessToken("A1");
    auth->setExpirationDate(clock->now().addSecs(3600));
    auto fetcher = NetHTTPFetcher::fetcherWithURL(server.secureUrl("/api"));
    fetcher->setAuthorizer(auth);
    const Outcome outcome = fetch(fetcher);
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(outcome.data, "welcome");
    const auto calls = server.requestsTo("/api");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].header("Authorization"), "Bearer A1");
    EXPECT_EQ(calls[1].header("Authorization"), "Bearer A2");
    EXPECT_EQ(server.requestsTo("/o/oauth2/token").size(), 1u);
}

} // namespace
