#include "ui/upload/NetOAuth2SignInWindow.h"

#include "platform/foundation/StringTable.h"
#include "webservice/oauth2/NetOAuth2WindowController.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

NetOAuth2SignInWindow::NetOAuth2SignInWindow(NetOAuth2WindowController& controller)
    : controller(controller), context(std::make_unique<QObject>()) {}

NetOAuth2SignInWindow::~NetOAuth2SignInWindow() {
    context.reset();
    // Later: the controller may go while one of the window's own handlers runs.
    if (dialog) {
        dialog->hide();
        dialog->deleteLater();
    }
}

void NetOAuth2SignInWindow::install() {
    NetOAuth2WindowController::setPresenterFactory([](NetOAuth2WindowController& controller) {
        return std::make_unique<NetOAuth2SignInWindow>(controller);
    });
}

void NetOAuth2SignInWindow::build(QWidget* parent) {
    dialog = new QDialog(parent); // the parent's child, or (without one) deleted by this presenter
    dialog->setObjectName("NetOAuth2Window");
    dialog->setWindowTitle(tr_("Sign In"));
    dialog->setMinimumWidth(560);

    heading = new QLabel(dialog);
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    heading->setFont(bold);
    explanation = new QLabel(dialog);
    explanation->setObjectName("explanationLabel");
    explanation->setWordWrap(true);

    addressField = new QLineEdit(dialog);
    addressField->setObjectName("addressField");
    addressField->setReadOnly(true);
    copyAddressButton = new QPushButton(tr_("Copy Address"), dialog);
    copyAddressButton->setObjectName("copyAddressButton");
    copyAddressButton->setAutoDefault(false);

    codeLabel = new QLabel(tr_("Code:"), dialog);
    codeField = new QLineEdit(dialog);
    codeField->setObjectName("codeField");
    codeField->setPlaceholderText(tr_("Paste the code from the sign-in page here"));
    codeErrorLabel = new QLabel(
        tr_("This is not a code from the sign-in page. Copy the whole code and paste it again."), dialog);
    codeErrorLabel->setObjectName("codeErrorLabel");
    codeErrorLabel->setWordWrap(true);
    QPalette warning = codeErrorLabel->palette();
    warning.setColor(QPalette::WindowText, QColor(0xb0, 0x1c, 0x1c));
    codeErrorLabel->setPalette(warning);

    keychainCheckbox_ = new QCheckBox(tr_("Stay signed in"), dialog);
    keychainCheckbox_->setObjectName("keychainCheckbox_");
    keychainCheckbox_->setChecked(keychainChecked);
    webCloseButton_ = new QPushButton(tr_("Cancel"), dialog);
    webCloseButton_->setObjectName("webCloseButton_");
    webCloseButton_->setAutoDefault(false);
    signInButton = new QPushButton(tr_("Sign In"), dialog);
    signInButton->setObjectName("signInButton");
    signInButton->setDefault(true);

    auto* address = new QHBoxLayout;
    address->addWidget(addressField, 1);
    address->addWidget(copyAddressButton);
    auto* code = new QHBoxLayout;
    code->addWidget(codeLabel);
    code->addWidget(codeField, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(keychainCheckbox_);
    buttons->addStretch(1);
    buttons->addWidget(webCloseButton_);
    buttons->addWidget(signInButton);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(heading);
    layout->addWidget(explanation);
    layout->addLayout(address);
    layout->addSpacing(8);
    layout->addLayout(code);
    layout->addWidget(codeErrorLabel);
    layout->addSpacing(8);
    layout->addLayout(buttons);

    QObject::connect(copyAddressButton, &QPushButton::clicked, context.get(),
                     [this] { QApplication::clipboard()->setText(addressField->text()); });
    QObject::connect(codeField, &QLineEdit::textChanged, context.get(), [this](const QString& text) {
        signInButton->setEnabled(!text.trimmed().isEmpty());
        codeErrorLabel->hide();
    });
    QObject::connect(codeField, &QLineEdit::returnPressed, context.get(), [this] { submitCode(); });
    QObject::connect(signInButton, &QPushButton::clicked, context.get(), [this] { submitCode(); });
    QObject::connect(keychainCheckbox_, &QCheckBox::toggled, context.get(),
                     [this](bool checked) { keychainChecked = checked; });
    QObject::connect(webCloseButton_, &QPushButton::clicked, dialog.data(), &QDialog::reject);
    // Cancel, Escape and the window's close box all reject.
    QObject::connect(dialog, &QDialog::rejected, context.get(), [this] { controller.closeWindow(); });
    // The window goes with its parent (the main window closing): the sign-in ends with it, unheard, instead
    // of holding the controller and its tokens until the program ends.
    QObject::connect(dialog, &QObject::destroyed, context.get(), [this] {
        dialog.clear();
        controller.cancelSigningIn();
    });
}

namespace {

QString signInSteps(bool browserStarted) {
    return browserStarted
               ? tr_("The sign-in page is open in your web browser. Sign in there and allow Vistrelle to "
                     "upload "
                     "your videos; the page then shows a code. Copy that code and paste it below.")
               : tr_("No web browser could be started. Open this address in a web browser, sign in and allow "
                     "Vistrelle to upload your videos; the page then shows a code. Copy that code and paste "
                     "it "
                     "below.");
}

} // namespace

void NetOAuth2SignInWindow::fill(const NetOAuth2WindowPage& page) {
    const bool signingIn = !page.isClockIncorrect;
    if (signingIn) {
        heading->setText(tr_("Sign in with your video service account"));
        explanation->setText(signInSteps(page.browserStarted));
    } else {
        heading->setText(tr_("System Clock Incorrect"));
        explanation->setText(
            tr_("The clock of this computer reads %1. Set the date and time, then sign in again.")
                .arg(QLocale().toString(page.clockDate, QLocale::LongFormat)));
    }
    addressField->setText(QString::fromUtf8(page.address.toEncoded()));
    addressField->setCursorPosition(0);
    for (QWidget* part : {static_cast<QWidget*>(addressField), static_cast<QWidget*>(copyAddressButton),
                          static_cast<QWidget*>(codeLabel), static_cast<QWidget*>(codeField),
                          static_cast<QWidget*>(signInButton)})
        part->setVisible(signingIn);
    keychainCheckbox_->setVisible(page.showsKeychainCheckbox);
    codeErrorLabel->hide();
    codeField->clear();
    signInButton->setEnabled(false);
}

void NetOAuth2SignInWindow::showWindow(QObject* parentWindow, const NetOAuth2WindowPage& page) {
    if (!dialog)
        build(qobject_cast<QWidget*>(parentWindow));
    fill(page);
    dialog->setWindowModality(dialog->parentWidget() ? Qt::WindowModal : Qt::NonModal);
    dialog->show();
    dialog->raise();
    codeField->setFocus();
}

void NetOAuth2SignInWindow::closeWindow() {
    // Hidden, not rejected: the controller is not to hear of it.
    if (dialog)
        dialog->hide();
}

bool NetOAuth2SignInWindow::isKeychainCheckboxChecked() const {
    return keychainChecked;
}

void NetOAuth2SignInWindow::showCodeNotRecognized() {
    if (codeErrorLabel)
        codeErrorLabel->show();
}

void NetOAuth2SignInWindow::showBrowserNotStarted() {
    if (explanation)
        explanation->setText(signInSteps(false));
}

void NetOAuth2SignInWindow::submitCode() {
    const QString text = codeField->text();
    if (!text.trimmed().isEmpty())
        controller.codeEntered(text);
}
