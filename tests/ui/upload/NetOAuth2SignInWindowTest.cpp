#include "ui/upload/NetOAuth2SignInWindow.h"
#include "platform/keychain/Keychain.h"
#include "support/FakeOAuth2Provider.h"
#include "support/NetTestEnvironment.h"
#include "support/OAuth2TestFakes.h"
#include "support/Screenshot.h"

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
