#include "webservice/oauth2/NetOAuth2WindowController.h"

#include "platform/foundation/LoopContext.h"
#include "platform/net/Cookie.h"
#include "webservice/HTTPFetcher/NetCookieStorage.h"
#include "webservice/oauth2/NetOAuth2BrowserOpener.h"
#include "webservice/oauth2/NetOAuth2SignIn.h"

#include <mutex>

namespace {

// Before this moment (2011-01-01 00:00:00 UTC) the clock is wrong, and the provider's pages would refuse
// the sign-in with errors that say nothing of the clock.
constexpr qint64 kEarliestPlausibleClock = 1'293'840'000;

// A window that shows nothing, for programs that installed none.
class HeadlessPresenter : public NetOAuth2WindowPresenter {
public:
    void showWindow(QObject*, const NetOAuth2WindowPage&) override {}
    void closeWindow() override {}
    bool isKeychainCheckboxChecked() const override { return true; }
    void showCodeNotRecognized() override {}
    void showBrowserNotStarted() override {}
};

std::mutex factoryMutex;
NetOAuth2WindowPresenter::Factory presenterFactory;
std::optional<NetOAuth2SignInClass> installedSignInClass;

template <class Operation> void fillIfEmpty(Operation& operation, const Operation& standard) {
    if (!operation)
        operation = standard;
}

std::unique_ptr<NetOAuth2WindowPresenter> makePresenter(NetOAuth2WindowController& controller) {
    NetOAuth2WindowPresenter::Factory factory;
    {
        std::lock_guard lock(factoryMutex);
        factory = presenterFactory;
    }
    std::unique_ptr<NetOAuth2WindowPresenter> presenter = factory ? factory(controller) : nullptr;
    return presenter ? std::move(presenter) : std::make_unique<HeadlessPresenter>();
}

} // namespace

void NetOAuth2WindowController::setPresenterFactory(NetOAuth2WindowPresenter::Factory factory) {
    std::lock_guard lock(factoryMutex);
    presenterFactory = std::move(factory);
}

NetOAuth2SignInClass NetOAuth2WindowController::signInClass() {
    std::lock_guard lock(factoryMutex);
    return installedSignInClass.value_or(NetOAuth2SignInClass::of<NetOAuth2SignIn>());
}

void NetOAuth2WindowController::setSignInClass(const NetOAuth2SignInClass& signInClass) {
    const NetOAuth2SignInClass standard = NetOAuth2SignInClass::of<NetOAuth2SignIn>();
    NetOAuth2SignInClass filled = signInClass;
    fillIfEmpty(filled.create, standard.create);
    fillIfEmpty(filled.standardProviderAuthenticationForScope,
                standard.standardProviderAuthenticationForScope);
    fillIfEmpty(filled.providerAuthorizationURL, standard.providerAuthorizationURL);
    fillIfEmpty(filled.providerTokenURL, standard.providerTokenURL);
    fillIfEmpty(filled.nativeClientRedirectURI, standard.nativeClientRedirectURI);
    fillIfEmpty(filled.revokeTokenForProviderAuthentication, standard.revokeTokenForProviderAuthentication);
    std::lock_guard lock(factoryMutex);
    installedSignInClass = std::move(filled);
}

std::shared_ptr<NetOAuth2WindowController>
NetOAuth2WindowController::controllerWithScope(const QString& scope, const QString& clientID,
                                               const QString& clientSecret, const QString& keychainItemName,
                                               const QString& resourceBundle) {
    const NetOAuth2SignInClass signIn = signInClass();
    return controllerWithAuthentication(
        signIn.standardProviderAuthenticationForScope(scope, clientID, clientSecret),
        signIn.providerAuthorizationURL(), keychainItemName, resourceBundle);
}

std::shared_ptr<NetOAuth2WindowController> NetOAuth2WindowController::controllerWithAuthentication(
    std::shared_ptr<NetOAuth2Authentication> authentication, const QUrl& authorizationURL,
    const QString& keychainItemName, const QString&) {
    auto controller = std::make_shared<NetOAuth2WindowController>();
    controller->initWithAuthentication(std::move(authentication), authorizationURL, keychainItemName);
    return controller;
}

NetOAuth2WindowController::NetOAuth2WindowController()
    : cookieStorage_(std::make_shared<NetCookieStorage>()), browser_(NetOAuth2BrowserOpener::shared()) {}

NetOAuth2WindowController::~NetOAuth2WindowController() = default;

void NetOAuth2WindowController::initWithAuthentication(
    std::shared_ptr<NetOAuth2Authentication> authentication, const QUrl& authorizationURL,
    const QString& keychainItemName) {
    presenter_ = makePresenter(*this);
    // The sign-in holds this controller as its delegate until it ends: the window keeps itself alive.
    signIn_ = signInClass().create(
        std::move(authentication), authorizationURL, shared_from_this(),
        [this](NetOAuth2SignIn&, const std::optional<Request>& request) { signInDisplayRequest(request); },
        [this](NetOAuth2SignIn&, const std::shared_ptr<NetOAuth2Authentication>& auth,
               const OptionalError& error) { signInFinished(auth, error); });
    keychainItemName_ = keychainItemName;
}

std::shared_ptr<NetOAuth2Authentication> NetOAuth2WindowController::authentication() const {
    return signIn_->authentication();
}

double NetOAuth2WindowController::networkLossTimeoutInterval() const {
    return signIn_->networkLossTimeoutInterval();
}

void NetOAuth2WindowController::setNetworkLossTimeoutInterval(double seconds) {
    signIn_->setNetworkLossTimeoutInterval(seconds);
}

void NetOAuth2WindowController::setProperty(const QString& key, const QVariant& value) {
    if (value.isValid())
        properties_.insert(key, value);
    else
        properties_.remove(key);
}

// Running.

void NetOAuth2WindowController::signInSheetModalForWindow(QObject* parentWindow,
                                                          std::shared_ptr<void> delegate,
                                                          FinishedSelector finished) {
    delegate_ = std::move(delegate);
    finishedSelector_ = std::move(finished);
    signInCommonForWindow(parentWindow);
}

void NetOAuth2WindowController::signInSheetModalForWindow(QObject* parentWindow, CompletionHandler handler) {
    completionBlock_ = std::move(handler);
    signInCommonForWindow(parentWindow);
}

void NetOAuth2WindowController::signInCommonForWindow(QObject* parentWindow) {
    sheetModalForWindow_ = parentWindow;
    hasDoneFinalRedirect_ = false;
    hasCalledFinished_ = false;
    signIn_->startSigningIn();
}

void NetOAuth2WindowController::cancelSigningIn() {
    const std::shared_ptr<NetOAuth2WindowController> self = shared_from_this();
    hasCalledFinished_ = true;
    releaseCallbacks();
    signIn_->cancelSigningIn();
    hasDoneFinalRedirect_ = true;
}

void NetOAuth2WindowController::signInDisplayRequest(const std::optional<Request>& request) {
    if (!request) {
        destroyWindow();
        return;
    }
    initialRequest_ = request;
    NetOAuth2WindowPage page;
    page.address = request->url;
    page.showsKeychainCheckbox = shouldUseKeychain();
    const QDateTime now = clock_->now();
    if (now.toSecsSinceEpoch() > kEarliestPlausibleClock) {
        page.browserStarted = openInBrowser(request->url);
    } else {
        page.isClockIncorrect = true;
        page.clockDate = now;
        page.showsKeychainCheckbox = false;
    }
    isWindowShown_ = true;
    presenter_->showWindow(sheetModalForWindow_, page);
}

bool NetOAuth2WindowController::openInBrowser(const QUrl& url) {
    if (!browser_)
        return false;
    const int opening = ++browserOpenings_;
    const std::weak_ptr<NetOAuth2WindowController> weak = weak_from_this();
    return browser_->openURL(url, [weak, opening](bool opened) {
        const auto self = weak.lock();
        // Only the window of this very page learns that its browser never came.
        if (!opened && self && self->browserOpenings_ == opening && self->isWindowShown_)
            self->presenter_->showBrowserNotStarted();
    });
}

void NetOAuth2WindowController::destroyWindow() {
    // Cleared first: the window's going must not count as the user closing it.
    isWindowShown_ = false;
    sheetModalForWindow_ = nullptr;
    presenter_->closeWindow();
}

QString NetOAuth2WindowController::titleForPastedText(const QString& text) {
    const QString pasted = text.trimmed();
    if (pasted.contains(QLatin1String("code=")) || pasted.contains(QLatin1String("error=")))
        return QStringLiteral("Pasted ") + pasted;
    return QStringLiteral("Pasted code=") + NetOAuth2Authentication::encodedOAuthValueForString(pasted);
}

bool NetOAuth2WindowController::codeEntered(const QString& text) {
    const std::shared_ptr<NetOAuth2WindowController> self = shared_from_this();
    if (text.trimmed().isEmpty() || hasDoneFinalRedirect_)
        return false;
    if (!signIn_->titleChanged(titleForPastedText(text))) {
        presenter_->showCodeNotRecognized();
        return false;
    }
    hasDoneFinalRedirect_ = true;
    return true;
}

void NetOAuth2WindowController::closeWindow() {
    const std::shared_ptr<NetOAuth2WindowController> self = shared_from_this();
    destroyWindow();
    handlePrematureWindowClose();
}

void NetOAuth2WindowController::handlePrematureWindowClose() {
    if (hasDoneFinalRedirect_)
        return;
    hasDoneFinalRedirect_ = true;
    signIn_->windowWasClosed();
}

// The end.

void NetOAuth2WindowController::signInFinished(const std::shared_ptr<NetOAuth2Authentication>& auth,
                                               const OptionalError& error) {
    if (hasCalledFinished_)
        return;
    const std::shared_ptr<NetOAuth2WindowController> self = shared_from_this();
    hasCalledFinished_ = true;
    if (!error && shouldUseKeychain()) {
        if (auth->canAuthorize() && presenter_->isKeychainCheckboxChecked())
            saveAuthToKeychainForName(keychainItemName_, *auth);
        else
            removeAuthFromKeychainForName(keychainItemName_);
    }
    FinishedSelector finished = std::exchange(finishedSelector_, nullptr);
    CompletionHandler completion = std::exchange(completionBlock_, nullptr);
    if (finished)
        finished(*this, auth, error);
    if (completion)
        completion(auth, error);
    releaseCallbacks();
}

void NetOAuth2WindowController::releaseCallbacks() {
    finishedSelector_ = nullptr;
    completionBlock_ = nullptr;
    // The delegate may own this controller: it goes from the loop, never from inside one of our calls.
    if (std::shared_ptr<void> delegate = std::move(delegate_))
        platform::LoopContext::current()->post([delegate] {});
}

// A page host's reports.

std::optional<NetOAuth2WindowController::Request> NetOAuth2WindowController::willSendRequest(
    const Request& request, const std::optional<platform::net::UrlResponse>& redirectResponse) {
    if (redirectResponse)
        didReceiveResponse(*redirectResponse);
    Request sent = request;
    if (!shouldPersistUser_) {
        sent.httpShouldHandleCookies = false;
        const QByteArray header =
            platform::net::Cookie::requestHeaderValue(cookieStorage_->cookiesForURL(sent.url));
        if (!header.isNull())
            sent.setValue("Cookie", header);
    }
    if (hasDoneFinalRedirect_)
        return sent;
    hasDoneFinalRedirect_ = signIn_->requestRedirectedToRequest(sent);
    if (hasDoneFinalRedirect_)
        return std::nullopt;
    return sent;
}

void NetOAuth2WindowController::didReceiveResponse(const platform::net::UrlResponse& response) {
    if (shouldPersistUser_ || response.headers.isEmpty())
        return;
    const QList<platform::net::Cookie> cookies =
        platform::net::Cookie::cookiesWithResponseHeaderFields(response.headers, response.url);
    if (!cookies.isEmpty())
        cookieStorage_->setCookies(cookies);
}

void NetOAuth2WindowController::didFinishLoading(const QString& documentTitle) {
    const std::shared_ptr<NetOAuth2WindowController> self = shared_from_this();
    if (!documentTitle.isEmpty())
        signIn_->titleChanged(documentTitle);
    signIn_->cookiesChanged(*cookieStorage_);
}

void NetOAuth2WindowController::didFailLoading(const platform::Error& error) {
    const std::shared_ptr<NetOAuth2WindowController> self = shared_from_this();
    signIn_->loadFailedWithError(error);
}

void NetOAuth2WindowController::wantsNewWindow(const Request& request) {
    if (externalRequestSelector_)
        externalRequestSelector_(*this, request);
    else if (browser_)
        browser_->openURL(request.url, {});
}
