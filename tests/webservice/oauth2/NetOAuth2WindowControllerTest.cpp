#include "webservice/oauth2/NetOAuth2WindowController.h"
#include "platform/foundation/UserDefaults.h"
#include "webservice/oauth2/OAuth2TestSupport.h"

namespace {

using namespace oauth2_test;
using platform::keychain::Status;

constexpr char kItem[] = "Corvanta";

class NetOAuth2WindowControllerTest : public OAuth2Test {
protected:
    // Starts a sign-in and lets go of its controller, as the uploader may: the sign-in keeps it.
    void start(const QString& itemName = QString::fromLatin1(kItem)) {
        auto controller = NetOAuth2WindowController::controllerWithScope("https://videos.example/feeds/",
                                                                         kClientID, kClientSecret, itemName);
        controller->setClock(clock);
        controller->signInSheetModalForWindow(nullptr,
                                              [this](const std::shared_ptr<NetOAuth2Authentication>& auth,
                                                     const platform::OptionalError& error) {
                                                  ++ends;
                                                  endAuth = auth;
                                                  endError = error;
                                              });
    }
    bool waitForEnd() {
        return test_support::spinUntil([&] { return ends > 0; });
    }
    void storeEarlierAccount() {
        ASSERT_TRUE(NetOAuth2WindowController::saveAuthToKeychainForName(kItem, *restoredAuthentication()));
    }
    QByteArray storedItem() const {
        QByteArray password;
        const Status status = scope.keychain->findGenericPassword(kItem, "OAuth", &password);
        return status == Status::Success ? password : QByteArray();
    }
    bool defaultSet() const { return platform::UserDefaults::standard().boolean("OAuth2: Corvanta"); }

    int ends = 0;
    std::shared_ptr<NetOAuth2Authentication> endAuth;
    platform::OptionalError endError;
};

TEST_F(NetOAuth2WindowControllerTest, APastedCodeSignsInAndTheTickedBoxKeepsTheAccountForTheNextStart) {
    start();
    test_support::FakeSignInWindow& window = scope.window();
    ASSERT_EQ(scope.browser->opened.size(), 1u);
    EXPECT_TRUE(window.isShown);
    EXPECT_TRUE(window.page.browserStarted);
    EXPECT_TRUE(window.page.showsKeychainCheckbox);
    EXPECT_EQ(window.page.address, scope.browser->opened[0]);

    EXPECT_FALSE(window.paste("code=")); // no code in it: the window stays and says so
    EXPECT_EQ(window.notRecognized, 1);
    EXPECT_TRUE(window.paste(QString::fromLatin1(FakeOAuth2Provider::kCode) + "\n"));
    EXPECT_FALSE(window.isShown);
    ASSERT_TRUE(waitForEnd());
    EXPECT_FALSE(endError);
    EXPECT_EQ(storedItem(),
              "email=user%40example.com&isVerified=1&refresh_token=1%2Fxyz&serviceProvider=Provider");
    EXPECT_TRUE(defaultSet());

    auto restored =
        NetOAuth2WindowController::authForProviderFromKeychainForName(kItem, kClientID, kClientSecret);
    EXPECT_TRUE(restored->canAuthorize());
    EXPECT_EQ(restored->accessToken(), QString());
    EXPECT_EQ(restored->userEmail(), "user@example.com");
    EXPECT_EQ(restored->tokenURL(), NetOAuth2SignIn::providerTokenURL());
}

TEST_F(NetOAuth2WindowControllerTest, TheEndOfASignInStoresRemovesOrLeavesTheEarlierAccount) {
    storeEarlierAccount();
    const QByteArray earlier = storedItem();
    const struct {
        const char* name;
        QString itemName;
        bool boxTicked;
        bool storeFails;
        bool cancels;
        QByteArray item; // what the keychain then holds
        bool defaultLeft;
    } cases[] = {
        {"box unticked", kItem, false, false, false, "", false},
        {"user closed the window", kItem, true, false, true, earlier, true},
        {"no keychain name", "", true, false, false, earlier, true},
        {"keychain refuses", kItem, true, true, false, "", false},
    };
    for (const auto& c : cases) {
        storeEarlierAccount();
        scope.keychain->failsToStore = c.storeFails;
        ends = 0;
        start(c.itemName);
        test_support::FakeSignInWindow& window = scope.window();
        EXPECT_EQ(window.page.showsKeychainCheckbox, !c.itemName.isEmpty()) << c.name;
        window.checkboxChecked = c.boxTicked;
        if (c.cancels)
            window.cancel();
        else
            window.paste("Success code=4/P7q");
        ASSERT_TRUE(waitForEnd()) << c.name;
        if (c.cancels)
            EXPECT_TRUE(endError && endError->is(kNetOAuth2ErrorDomain, kNetOAuth2ErrorWindowClosed))
                << c.name;
        else
            EXPECT_FALSE(endError) << c.name; // a keychain that refuses still leaves a valid sign-in
        EXPECT_EQ(storedItem(), c.item) << c.name;
        EXPECT_EQ(defaultSet(), c.defaultLeft) << c.name;
        scope.keychain->failsToStore = false;
    }
}

TEST_F(NetOAuth2WindowControllerTest, KeychainOperationsAnswerAsBeforeWhateverTheStore) {
    storeEarlierAccount();
    // Storing an account that cannot sign anything removes the earlier one.
    EXPECT_FALSE(
        NetOAuth2WindowController::saveAuthToKeychainForName(kItem, *NetOAuth2Authentication::create()));
    EXPECT_EQ(storedItem(), QByteArray());
    EXPECT_FALSE(defaultSet());
    // Removing what is not there succeeds and leaves the default as it was.
    platform::UserDefaults::standard().setValue("OAuth2: Corvanta", true);
    EXPECT_TRUE(NetOAuth2WindowController::removeAuthFromKeychainForName(kItem));
    EXPECT_TRUE(defaultSet());
    // Without the default the keychain is not asked; the access token goes all the same.
    platform::UserDefaults::standard().remove("OAuth2: Corvanta");
    auto auth = restoredAuthentication();
    auth->setAccessToken("A1");
    const int finds = scope.keychain->finds;
    EXPECT_FALSE(NetOAuth2WindowController::authorizeFromKeychainForName(kItem, *auth));
    EXPECT_EQ(scope.keychain->finds, finds);
    EXPECT_EQ(auth->accessToken(), QString());
}

TEST_F(NetOAuth2WindowControllerTest, WithTheClockBefore2011TheBrowserNeverOpens) {
    clock->set(-600'000'000.0); // 2004
    start();
    test_support::FakeSignInWindow& window = scope.window();
    EXPECT_TRUE(window.page.isClockIncorrect);
    EXPECT_FALSE(window.page.showsKeychainCheckbox);
    EXPECT_TRUE(scope.browser->opened.empty());
    window.cancel();
    ASSERT_TRUE(waitForEnd());
    EXPECT_TRUE(endError->is(kNetOAuth2ErrorDomain, kNetOAuth2ErrorWindowClosed));
}

TEST_F(NetOAuth2WindowControllerTest, ACancelledSignInTellsNobodyOfLaterCodesOrCloses) {
    auto controller = NetOAuth2WindowController::controllerWithScope("s", kClientID, kClientSecret, kItem);
    controller->setClock(clock);
    controller->signInSheetModalForWindow(nullptr, [this](const auto&, const auto&) { ++ends; });
    controller->cancelSigningIn();
    EXPECT_FALSE(scope.window().isShown);
    EXPECT_FALSE(scope.window().paste("Success code=4/P7q"));
    controller->closeWindow();
    scope.browser->ended(false); // the opener, ending late, finds no window to tell
    EXPECT_TRUE(scope.window().page.browserStarted);
    test_support::spinFor(100);
    EXPECT_EQ(ends, 0);
    EXPECT_TRUE(server.requestsTo("/o/oauth2/token").empty());
}

// An opener that started may end without a browser: only then does the window ask to open the address by
// hand.
TEST_F(NetOAuth2WindowControllerTest, AnOpenerThatEndsWithoutABrowserTurnsTheWindowToTheAddress) {
    for (const bool opened : {true, false}) {
        start();
        test_support::FakeSignInWindow& window = scope.window();
        ASSERT_TRUE(window.page.browserStarted);
        scope.browser->ended(opened);
        EXPECT_EQ(window.page.browserStarted, opened);
        EXPECT_TRUE(window.isShown);
        window.cancel();
    }
    EXPECT_EQ(ends, 2);
}

TEST_F(NetOAuth2WindowControllerTest, APageHostKeepsItsOwnCookiesAndStopsAtTheRedirectWithTheCode) {
    using platform::net::UrlRequest;
    using platform::net::UrlResponse;
    auto auth = NetOAuth2SignIn::standardProviderAuthenticationForScope("s", kClientID, kClientSecret);
    auth->setRedirectURI("http://localhost/callback");
    auto controller = NetOAuth2WindowController::controllerWithAuthentication(
        auth, NetOAuth2SignIn::providerAuthorizationURL(), QString());
    controller->setClock(clock);
    controller->signInSheetModalForWindow(nullptr, [this](const auto&, const platform::OptionalError& error) {
        ++ends;
        endError = error;
    });
    const QUrl page = controller->initialRequest()->url.adjusted(QUrl::RemoveQuery);
    UrlResponse reply;
    reply.url = page;
    reply.statusCode = 302;
    reply.headers.add("Set-Cookie", "SID=31d4; Path=/");
    const auto next =
        controller->willSendRequest(UrlRequest(page.resolved(QUrl("/o/oauth2/approve"))), reply);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->value("Cookie"), "SID=31d4");
    EXPECT_FALSE(next->httpShouldHandleCookies); // the system's shared cookies stay out of the sign-in

    controller->wantsNewWindow(UrlRequest(QUrl("https://help.example/")));
    EXPECT_EQ(scope.browser->opened.back(), QUrl("https://help.example/"));
    // A failing picture on the page changes nothing; the redirect with the code ends the page flow.
    controller->didFailLoading(
        platform::Error("url", -1001, {{"NSErrorFailingURLStringKey", "https://x.example/a.png"}}));
    EXPECT_FALSE(controller->willSendRequest(UrlRequest(QUrl("http://localhost/callback?code=4%2FP7q")),
                                             std::nullopt));
    EXPECT_TRUE(controller->hasDoneFinalRedirect());
    ASSERT_TRUE(waitForEnd());
    EXPECT_FALSE(endError);
    EXPECT_EQ(auth->accessToken(), "A1");
}

namespace {

// A sign-in for another provider, whose pages are elsewhere.
class OtherProviderSignIn : public NetOAuth2SignIn {
public:
    using NetOAuth2SignIn::NetOAuth2SignIn;
    static QUrl providerAuthorizationURL() {
        QUrl url = NetOAuth2SignIn::providerAuthorizationURL();
        url.setPath(QStringLiteral("/other/auth"));
        return url;
    }
    static QUrl providerTokenURL() {
        QUrl url = NetOAuth2SignIn::providerTokenURL();
        url.setQuery(QStringLiteral("provider=other"));
        return url;
    }
    static std::shared_ptr<NetOAuth2Authentication>
    standardProviderAuthenticationForScope(const QString& scope, const QString& clientID,
                                           const QString& clientSecret) {
        auto auth = NetOAuth2SignIn::standardProviderAuthenticationForScope(scope, clientID, clientSecret);
        auth->setTokenURL(providerTokenURL());
        return auth;
    }
};

// Puts the standard sign-in class back, whatever the test did.
struct StandardSignInClassAfterwards {
    ~StandardSignInClassAfterwards() {
        NetOAuth2WindowController::setSignInClass(NetOAuth2SignInClass::of<NetOAuth2SignIn>());
    }
};

} // namespace

TEST_F(NetOAuth2WindowControllerTest, AReplacedSignInClassSignsInThroughItsOwnProvidersPages) {
    StandardSignInClassAfterwards restore;
    EXPECT_EQ(NetOAuth2WindowController::signInClass().providerTokenURL(),
              NetOAuth2SignIn::providerTokenURL());
    NetOAuth2WindowController::setSignInClass(NetOAuth2SignInClass::of<OtherProviderSignIn>());

    start();
    ASSERT_EQ(scope.browser->opened.size(), 1u);
    EXPECT_EQ(scope.browser->opened[0].path(), QStringLiteral("/other/auth"));
    ASSERT_TRUE(scope.window().paste("Success code=4/P7q"));
    ASSERT_TRUE(waitForEnd());
    EXPECT_FALSE(endError);
    ASSERT_EQ(server.requestsTo("/o/oauth2/token").size(), 1u);
    EXPECT_EQ(server.requestsTo("/o/oauth2/token")[0].query.queryItemValue("provider"),
              QStringLiteral("other"));
    EXPECT_EQ(NetOAuth2WindowController::authForProviderFromKeychainForName(kItem, kClientID, kClientSecret)
                  ->tokenURL(),
              OtherProviderSignIn::providerTokenURL());

    // A class that replaces one operation keeps the standard others.
    NetOAuth2SignInClass pageOnly;
    pageOnly.providerAuthorizationURL = &OtherProviderSignIn::providerAuthorizationURL;
    NetOAuth2WindowController::setSignInClass(pageOnly);
    ends = 0;
    start();
    ASSERT_EQ(scope.browser->opened.size(), 2u);
    EXPECT_EQ(scope.browser->opened[1].path(), QStringLiteral("/other/auth"));
    EXPECT_EQ(NetOAuth2WindowController::signInClass().providerTokenURL(),
              NetOAuth2SignIn::providerTokenURL());
    scope.window().cancel();
    ASSERT_TRUE(waitForEnd());
}

TEST(NetOAuth2PastedText, AnythingPastedReachesTheTitleRuleAsACodeUnlessItHoldsAField) {
    const struct {
        QString pasted, title;
    } cases[] = {
        {"4/P7q", "Pasted code=4%2FP7q"},
        {"  4/P7q a\n", "Pasted code=4%2FP7q%20a"},
        {"Success code=4/P7q", "Pasted Success code=4/P7q"},
        {"error=access_denied", "Pasted error=access_denied"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NetOAuth2WindowController::titleForPastedText(c.pasted), c.title);
}

} // namespace
