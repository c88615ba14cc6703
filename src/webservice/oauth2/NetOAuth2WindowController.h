#pragma once

#include "platform/foundation/Clock.h"
#include "platform/foundation/Error.h"
#include "platform/net/UrlRequest.h"
#include "platform/net/UrlResponse.h"
#include "webservice/oauth2/NetOAuth2Authentication.h"
#include "webservice/oauth2/NetOAuth2WindowPresenter.h"

#include <QObject>
#include <QPointer>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

class NetCookieStorage;
class NetOAuth2BrowserOpener;
class NetOAuth2SignIn;
struct NetOAuth2SignInClass;

// The account name of every keychain item of a sign-in.
inline constexpr char kNetOAuth2KeychainAccountName[] = "OAuth";

// The sign-in window: runs a sign-in (NetOAuth2SignIn) with its page opened in the user's browser and a
// window, modal on the main window, that takes the code the page shows and offers "Stay signed in"; at the
// end it keeps the authentication in the keychain (or removes it) and tells its caller once. The window is
// a presenter that the interface installs (see setPresenterFactory), so this logic runs without a toolkit.
// Its class operations store, read and remove the keychain item of a sign-in.
//
// Own it through a std::shared_ptr (see the factories). While the sign-in runs it keeps itself alive; the
// caller may let go of it once started. Main thread only.
class NetOAuth2WindowController : public std::enable_shared_from_this<NetOAuth2WindowController> {
public:
    using Request = platform::net::UrlRequest;
    using OptionalError = platform::OptionalError;
    using FinishedSelector = std::function<void(
        NetOAuth2WindowController&, const std::shared_ptr<NetOAuth2Authentication>&, const OptionalError&)>;
    using CompletionHandler =
        std::function<void(const std::shared_ptr<NetOAuth2Authentication>&, const OptionalError&)>;
    using ExternalRequestSelector = std::function<void(NetOAuth2WindowController&, const Request&)>;

    // The provider's standard sign-in for `scope`. `keychainItemName` empty: no keychain use. The resource
    // bundle is carried for callers; the window comes from the installed presenter.
    static std::shared_ptr<NetOAuth2WindowController>
    controllerWithScope(const QString& scope, const QString& clientID, const QString& clientSecret,
                        const QString& keychainItemName, const QString& resourceBundle = QString());
    static std::shared_ptr<NetOAuth2WindowController>
    controllerWithAuthentication(std::shared_ptr<NetOAuth2Authentication> authentication,
                                 const QUrl& authorizationURL, const QString& keychainItemName,
                                 const QString& resourceBundle = QString());
    // Use the factories.
    NetOAuth2WindowController();
    ~NetOAuth2WindowController();
    NetOAuth2WindowController(const NetOAuth2WindowController&) = delete;
    NetOAuth2WindowController& operator=(const NetOAuth2WindowController&) = delete;

    // The window of every controller made afterwards (the interface installs its dialog at start).
    static void setPresenterFactory(NetOAuth2WindowPresenter::Factory factory);
    // The sign-in class that controllers made afterwards create, and that the keychain and revocation
    // operations ask for the provider's addresses: NetOAuth2SignIn unless replaced. Operations a replacement
    // leaves empty are NetOAuth2SignIn's.
    static NetOAuth2SignInClass signInClass();
    static void setSignInClass(const NetOAuth2SignInClass& signInClass);

    // Starts the sign-in, its window modal on `parentWindow` (a window of its own when null). The end is
    // told once, with the authentication and the error (none after a complete sign-in).
    void signInSheetModalForWindow(QObject* parentWindow, std::shared_ptr<void> delegate,
                                   FinishedSelector finished);
    void signInSheetModalForWindow(QObject* parentWindow, CompletionHandler handler);
    // Ends the sign-in without telling anybody.
    void cancelSigningIn();

    // What the window tells of the user. The code as pasted; false when it was no code (the window then
    // says so and stays).
    bool codeEntered(const QString& text);
    // The user cancelled or closed the window.
    void closeWindow();
    // The page title a pasted text stands for: the text itself when it holds a code or error field, else
    // a code field made of it.
    static QString titleForPastedText(const QString& text);

    // What a page host (a web view showing the provider's pages) would report. The browser shows the pages
    // here, so nothing calls these yet; they keep the sign-in's own cookie store and redirect recognition.
    // The request to send (with the own cookies), or nullopt when the load must stop.
    std::optional<Request> willSendRequest(const Request& request,
                                           const std::optional<platform::net::UrlResponse>& redirectResponse);
    void didReceiveResponse(const platform::net::UrlResponse& response);
    void didFinishLoading(const QString& documentTitle);
    void didFailLoading(const platform::Error& error);
    // A link that wants a new window: the caller's selector, else the user's browser.
    void wantsNewWindow(const Request& request);

    // Keychain.
    static QString prefsKeyForName(const QString& keychainItemName);
    static bool saveAuthToKeychainForName(const QString& keychainItemName,
                                          NetOAuth2Authentication& authentication);
    static bool removeAuthFromKeychainForName(const QString& keychainItemName);
    static bool authorizeFromKeychainForName(const QString& keychainItemName,
                                             NetOAuth2Authentication& authentication);
    static std::shared_ptr<NetOAuth2Authentication>
    authForProviderFromKeychainForName(const QString& keychainItemName, const QString& clientID,
                                       const QString& clientSecret);
    static void revokeTokenForProviderAuthentication(NetOAuth2Authentication& authentication);

    std::shared_ptr<NetOAuth2Authentication> authentication() const;
    const std::shared_ptr<NetOAuth2SignIn>& signIn() const { return signIn_; }
    double networkLossTimeoutInterval() const;
    void setNetworkLossTimeoutInterval(double seconds);
    bool shouldUseKeychain() const { return !keychainItemName_.isEmpty(); }
    const QString& keychainItemName() const { return keychainItemName_; }
    const std::optional<Request>& initialRequest() const { return initialRequest_; }
    const std::shared_ptr<NetCookieStorage>& cookieStorage() const { return cookieStorage_; }
    bool isWindowShown() const { return isWindowShown_; }
    bool hasDoneFinalRedirect() const { return hasDoneFinalRedirect_; }
    bool hasCalledFinished() const { return hasCalledFinished_; }
    bool shouldAllowApplicationTermination() const { return shouldAllowApplicationTermination_; }
    void setShouldAllowApplicationTermination(bool value) { shouldAllowApplicationTermination_ = value; }
    bool shouldPersistUser() const { return shouldPersistUser_; }
    void setShouldPersistUser(bool value) { shouldPersistUser_ = value; }
    void setExternalRequestSelector(ExternalRequestSelector selector) {
        externalRequestSelector_ = std::move(selector);
    }
    const QString& initialHTMLString() const { return initialHTMLString_; }
    void setInitialHTMLString(const QString& html) { initialHTMLString_ = html; }
    const QVariant& userData() const { return userData_; }
    void setUserData(const QVariant& value) { userData_ = value; }
    // A null value removes the key.
    void setProperty(const QString& key, const QVariant& value);
    QVariant propertyForKey(const QString& key) const { return properties_.value(key); }
    NetOAuth2WindowPresenter& presenter() const { return *presenter_; }
    // Tests replace the browser and the clock.
    void setBrowserOpener(std::shared_ptr<NetOAuth2BrowserOpener> opener) { browser_ = std::move(opener); }
    void setClock(std::shared_ptr<platform::Clock> clock) { clock_ = std::move(clock); }

private:
    void initWithAuthentication(std::shared_ptr<NetOAuth2Authentication> authentication,
                                const QUrl& authorizationURL, const QString& keychainItemName);
    void signInCommonForWindow(QObject* parentWindow);
    void signInDisplayRequest(const std::optional<Request>& request);
    void signInFinished(const std::shared_ptr<NetOAuth2Authentication>& authentication,
                        const OptionalError& error);
    // Whether an opener started; the window hears when it ends without a browser.
    bool openInBrowser(const QUrl& url);
    void destroyWindow();
    void handlePrematureWindowClose();
    void releaseCallbacks();

    std::unique_ptr<NetOAuth2WindowPresenter> presenter_;
    std::shared_ptr<NetOAuth2SignIn> signIn_;
    std::optional<Request> initialRequest_;
    std::shared_ptr<NetCookieStorage> cookieStorage_;
    std::shared_ptr<void> delegate_;
    FinishedSelector finishedSelector_;
    CompletionHandler completionBlock_;
    bool shouldAllowApplicationTermination_ = false;
    ExternalRequestSelector externalRequestSelector_;
    bool isWindowShown_ = false;
    bool hasDoneFinalRedirect_ = false;
    bool hasCalledFinished_ = false;
    QPointer<QObject> sheetModalForWindow_;
    QString keychainItemName_;
    QString initialHTMLString_;
    bool shouldPersistUser_ = false;
    QVariant userData_;
    QVariantMap properties_;
    std::shared_ptr<NetOAuth2BrowserOpener> browser_;
    int browserOpenings_ = 0;
    std::shared_ptr<platform::Clock> clock_ = platform::Clock::system();
};
