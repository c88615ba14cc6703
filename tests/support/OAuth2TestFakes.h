#pragma once

// Stand-ins for what the sign-in reaches outside the program: the browser, the network watch, the window
// and the keychain. Install them with OAuth2TestScope, which puts the real ones back when it goes.

#include "platform/keychain/FileKeychain.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"
#include "webservice/HTTPFetcher/NetHTTPFetcher.h"
#include "webservice/oauth2/NetOAuth2BrowserOpener.h"
#include "webservice/oauth2/NetOAuth2Reachability.h"
#include "webservice/oauth2/NetOAuth2WindowController.h"

#include <QRegularExpression>

#include <memory>
#include <vector>

namespace test_support {

// A browser that records what it was asked to open; `visit()` loads the last page as a browser would and
// answers its title.
class FakeBrowser : public NetOAuth2BrowserOpener {
public:
    bool openURL(const QUrl& url, Outcome outcome) override {
        opened.push_back(url);
        ended = std::move(outcome);
        return starts;
    }
    QString visit() const {
        QString title;
        bool done = false;
        auto fetcher = NetHTTPFetcher::fetcherWithURL(opened.back());
        fetcher->beginFetchWithCompletionHandler([&](const QByteArray& page, const platform::OptionalError&) {
            title = QRegularExpression("<title>(.*)</title>").match(QString::fromUtf8(page)).captured(1);
            done = true;
        });
        spinUntil([&] { return done; });
        return title;
    }
    bool starts = true;
    std::vector<QUrl> opened;
    Outcome ended; // the last opener's, for the test to end it
};

// The machine's network as the sign-in's watch sees it.
class FakeNetwork {
public:
    class Watcher : public NetOAuth2Reachability {
    public:
        explicit Watcher(FakeNetwork& network) : network(network) {}
        bool startWatching(const QString&, Callback callback) override {
            network.callback = std::move(callback);
            return true;
        }
        void stopWatching() override { network.callback = nullptr; }

    private:
        FakeNetwork& network;
    };

    void setReachable(bool reachable) {
        if (callback)
            callback(reachable ? NetOAuth2Reachability::kReachable : 0u);
    }
    bool isWatched() const { return callback != nullptr; }

private:
    NetOAuth2Reachability::Callback callback;
};

// The sign-in window as a record of what it was told; the test plays the user with paste() and cancel().
class FakeSignInWindow : public NetOAuth2WindowPresenter {
public:
    explicit FakeSignInWindow(NetOAuth2WindowController& controller) : controller(controller) {}
    bool paste(const QString& text) { return controller.codeEntered(text); }
    void cancel() { controller.closeWindow(); }

    void showWindow(QObject*, const NetOAuth2WindowPage& shown) override {
        page = shown;
        isShown = true;
    }
    void closeWindow() override { isShown = false; }
    bool isKeychainCheckboxChecked() const override { return checkboxChecked; }
    void showCodeNotRecognized() override { ++notRecognized; }
    void showBrowserNotStarted() override { page.browserStarted = false; }

    NetOAuth2WindowController& controller;
    NetOAuth2WindowPage page;
    bool isShown = false;
    bool checkboxChecked = true;
    int notRecognized = 0;
};

// A file keychain in a private folder that counts its calls and can be told to fail.
class RecordingKeychain : public platform::keychain::FileKeychain {
public:
    explicit RecordingKeychain(const QString& folder) : FileKeychain(folder) {}
    platform::keychain::Status findGenericPassword(const QString& service, const QString& account,
                                                   QByteArray* password) override {
        ++finds;
        return FileKeychain::findGenericPassword(service, account, password);
    }
    platform::keychain::Status addGenericPassword(const QString& service, const QString& account,
                                                  const QByteArray& password) override {
        if (failsToStore)
            return platform::keychain::Status::Failed;
        return FileKeychain::addGenericPassword(service, account, password);
    }
    int finds = 0;
    bool failsToStore = false;
};

// Installs the fakes for one test.
class OAuth2TestScope {
public:
    OAuth2TestScope() : keychain(std::make_shared<RecordingKeychain>(folder.file("keychain"))) {
        NetOAuth2BrowserOpener::setShared(browser);
        NetOAuth2Reachability::setFactory([this] { return std::make_unique<FakeNetwork::Watcher>(network); });
        NetOAuth2WindowController::setPresenterFactory([this](NetOAuth2WindowController& controller) {
            auto window = std::make_unique<FakeSignInWindow>(controller);
            windows.push_back(window.get());
            return window;
        });
        platform::keychain::Keychain::setDefaultKeychain(keychain);
    }
    ~OAuth2TestScope() {
        NetOAuth2BrowserOpener::setShared(nullptr);
        NetOAuth2Reachability::setFactory(nullptr);
        NetOAuth2WindowController::setPresenterFactory(nullptr);
        platform::keychain::Keychain::setDefaultKeychain(nullptr);
    }
    OAuth2TestScope(const OAuth2TestScope&) = delete;
    OAuth2TestScope& operator=(const OAuth2TestScope&) = delete;

    // The window of the last controller made (valid while that controller lives: a running sign-in keeps
    // its controller).
    FakeSignInWindow& window() { return *windows.back(); }

    TempDir folder;
    std::shared_ptr<FakeBrowser> browser = std::make_shared<FakeBrowser>();
    FakeNetwork network;
    std::vector<FakeSignInWindow*> windows;
    std::shared_ptr<RecordingKeychain> keychain;
};

} // namespace test_support
