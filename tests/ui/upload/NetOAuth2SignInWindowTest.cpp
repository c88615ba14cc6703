#include "ui/upload/NetOAuth2SignInWindow.h"
#include "platform/keychain/Keychain.h"
#include "support/FakeOAuth2Provider.h"
#include "support/NetTestEnvironment.h"
#include "support/OAuth2TestFakes.h"
#include "support/Screenshot.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"
#include "webservice/oauth2/NetOAuth2BrowserOpener.h"

#include <QFile>
#include <QMainWindow>

#include <gtest/gtest.h>

namespace {

using test_support::FakeOAuth2Provider;

// The real window over a main window, signing in with the provider on a loopback server.
class NetOAuth2SignInWindowTest : public ::testing::Test {
protected:
    NetOAuth2SignInWindowTest() {
        NetOAuth2SignInWindow::install();
        mainWindow.setWindowTitle("Vistrelle");
        mainWindow.resize(900, 600);
        mainWindow.show();
    }

    // Starts a sign-in; the window it shows.
    QDialog& start(const std::shared_ptr<platform::Clock>& clock = platform::Clock::system(),
                   QMainWindow* parent = nullptr) {
        parent = parent ? parent : &mainWindow;
        auto controller = NetOAuth2WindowController::controllerWithScope(
            "https://videos.example/feeds/", "client.id.invalid", "secret", "Corvanta");
        controller->setClock(clock);
        controller->signInSheetModalForWindow(parent, [this](const auto& auth, const auto& error) {
            ++ends;
            endAuth = auth;
            endError = error;
        });
        lastController = controller;
        auto* window = static_cast<NetOAuth2SignInWindow&>(controller->presenter()).window();
        EXPECT_TRUE(window && window->isVisible());
        EXPECT_EQ(window->parentWidget(), parent);
        EXPECT_EQ(window->windowModality(), Qt::WindowModal);
        return *window;
    }
    template <typename T> static T& part(QDialog& window, const char* name) {
        T* found = window.findChild<T*>(name);
        EXPECT_TRUE(found) << name;
        return *found;
    }

    test_support::NetTestEnvironment environment;
    test_support::LoopbackServer server;
    FakeOAuth2Provider provider{server};
    test_support::OAuth2TestScope scope;
    QMainWindow mainWindow;
    int ends = 0;
    std::weak_ptr<NetOAuth2WindowController> lastController;
    std::shared_ptr<NetOAuth2Authentication> endAuth;
    platform::OptionalError endError;
};

TEST_F(NetOAuth2SignInWindowTest, ThePastedCodeSignsInAndAnUntickedBoxKeepsNothing) {
    QDialog& window = start();
    screenshot::save(window, "sign-in-window");
    EXPECT_EQ(part<QLineEdit>(window, "addressField").text().toUtf8(),
              scope.browser->opened.at(0).toEncoded());
    QPushButton& signIn = part<QPushButton>(window, "signInButton");
    EXPECT_FALSE(signIn.isEnabled());
    QCheckBox& stay = part<QCheckBox>(window, "keychainCheckbox_");
    EXPECT_TRUE(stay.isVisible());
    EXPECT_TRUE(stay.isChecked());
    stay.setChecked(false);

    QLineEdit& code = part<QLineEdit>(window, "codeField");
    code.setText("code=");
    signIn.click();
    EXPECT_TRUE(part<QLabel>(window, "codeErrorLabel").isVisible()); // no code in that
    code.setText(QString::fromLatin1(FakeOAuth2Provider::kCode));
    signIn.click();
    EXPECT_FALSE(window.isVisible());
    ASSERT_TRUE(test_support::spinUntil([&] { return ends > 0; }));
    EXPECT_FALSE(endError);
    EXPECT_EQ(endAuth->userEmail(), FakeOAuth2Provider::kEmail);
    QByteArray stored;
    EXPECT_EQ(scope.keychain->findGenericPassword("Corvanta", "OAuth", &stored),
              platform::keychain::Status::ItemNotFound);
}

TEST_F(NetOAuth2SignInWindowTest, CancelEndsTheSignInAsClosedByTheUser) {
    QDialog& window = start();
    part<QPushButton>(window, "webCloseButton_").click();
    EXPECT_FALSE(window.isVisible());
    ASSERT_EQ(ends, 1);
    EXPECT_TRUE(endError && endError->is(kNetOAuth2ErrorDomain, kNetOAuth2ErrorWindowClosed));
}

TEST_F(NetOAuth2SignInWindowTest, WithoutABrowserOrWithAWrongClockTheWindowSaysWhatToDo) {
    const auto wrongClock = std::make_shared<platform::ManualClock>();
    wrongClock->set(-600'000'000.0);
    scope.browser->starts = false;
    QDialog& noBrowser = start();
    screenshot::save(noBrowser, "sign-in-window-no-browser");
    EXPECT_TRUE(part<QLineEdit>(noBrowser, "codeField").isVisible());
    EXPECT_TRUE(part<QPushButton>(noBrowser, "copyAddressButton").isVisible());
    part<QPushButton>(noBrowser, "webCloseButton_").click();

    QDialog& clockWrong = start(wrongClock);
    screenshot::save(clockWrong, "sign-in-window-clock-incorrect");
    EXPECT_FALSE(part<QLineEdit>(clockWrong, "codeField").isVisible());
    EXPECT_FALSE(part<QCheckBox>(clockWrong, "keychainCheckbox_").isVisible());
    EXPECT_TRUE(part<QPushButton>(clockWrong, "webCloseButton_").isVisible());
}

// The desktop's own opener, as found on PATH: one that starts and then finds no browser says so only by its
// exit status, and the window then asks for the address to be opened by hand.
TEST_F(NetOAuth2SignInWindowTest, AnOpenerThatEndsWithoutABrowserLeavesTheAddressToCopy) {
    TempDir bin;
    const test_support::EnvOverride path("PATH", bin.path() + ':' + qEnvironmentVariable("PATH"));
    NetOAuth2BrowserOpener::setShared(nullptr); // the desktop's opener instead of the recording one
    const struct {
        int exitStatus;
        QString says;
    } cases[] = {{3, "No web browser could be started."},
                 {0, "The sign-in page is open in your web browser."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exitStatus);
        const QString given = bin.file("given");
        QFile::remove(given);
        const QString opener = bin.file("xdg-open");
        ASSERT_TRUE(
            test_support::writeBytes(opener, QStringLiteral("#!/bin/sh\nprintf '%s' \"$1\" > '%1'\nexit %2\n")
                                                 .arg(given)
                                                 .arg(c.exitStatus)
                                                 .toUtf8()));
        QFile::setPermissions(opener, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QDialog& window = start();
        const QLabel& explanation = part<QLabel>(window, "explanationLabel");
        ASSERT_TRUE(test_support::spinUntil([&] { return QFile::exists(given); }));
        // The opener's end reaches the window a moment after its last write.
        test_support::spinUntil([&] { return explanation.text().startsWith(c.says); }, 2000);
        test_support::spinFor(200);
        EXPECT_TRUE(explanation.text().startsWith(c.says)) << qPrintable(explanation.text());
        const QLineEdit& address = part<QLineEdit>(window, "addressField");
        EXPECT_TRUE(address.isVisible());
        EXPECT_EQ(address.text().toUtf8(), test_support::readBytes(given)); // one argument, as it stands
        EXPECT_TRUE(part<QPushButton>(window, "copyAddressButton").isVisible());
        part<QPushButton>(window, "webCloseButton_").click();
    }
}

TEST_F(NetOAuth2SignInWindowTest, AMainWindowClosingUnderAnOpenSignInEndsItUnheard) {
    auto otherWindow = std::make_unique<QMainWindow>();
    otherWindow->show();
    start(platform::Clock::system(), otherWindow.get());
    otherWindow.reset();
    // The controller, its sign-in and their tokens go; the caller, perhaps going too, hears nothing.
    EXPECT_TRUE(test_support::spinUntil([&] { return lastController.expired(); }));
    EXPECT_EQ(ends, 0);
}

} // namespace
