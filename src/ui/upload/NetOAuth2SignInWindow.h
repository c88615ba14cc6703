#pragma once

#include "webservice/oauth2/NetOAuth2WindowPresenter.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include <memory>

// The sign-in window: modal on the main window while the user signs in with the provider in the web
// browser. It shows the address of the provider's page (to copy when no browser started), takes the code the
// page shows, and offers "Stay signed in"; Sign In hands the code to the controller, Cancel (or closing the
// window) ends the sign-in.
class NetOAuth2SignInWindow : public NetOAuth2WindowPresenter {
public:
    explicit NetOAuth2SignInWindow(NetOAuth2WindowController& controller);
    ~NetOAuth2SignInWindow() override;

    // Makes every sign-in of the program show this window.
    static void install();

    void showWindow(QObject* parentWindow, const NetOAuth2WindowPage& page) override;
    void closeWindow() override;
    bool isKeychainCheckboxChecked() const override;
    void showCodeNotRecognized() override;
    void showBrowserNotStarted() override;

    // The window while it exists (for tests and screenshots); null before it is first shown.
    QDialog* window() const { return dialog; }

private:
    void build(QWidget* parent);
    void fill(const NetOAuth2WindowPage& page);
    void submitCode();

    NetOAuth2WindowController& controller;
    std::unique_ptr<QObject> context; // ends every connection to the controller with this presenter
    QPointer<QDialog> dialog;
    QPointer<QLabel> heading;
    QPointer<QLabel> explanation;
    QPointer<QLineEdit> addressField;
    QPointer<QPushButton> copyAddressButton;
    QPointer<QLabel> codeLabel;
    QPointer<QLineEdit> codeField;
    QPointer<QLabel> codeErrorLabel;
    QPointer<QCheckBox> keychainCheckbox_;
    QPointer<QPushButton> webCloseButton_;
    QPointer<QPushButton> signInButton;
    bool keychainChecked = true; // kept when the window is gone: the end reads it after the code was taken
};
