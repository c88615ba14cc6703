#pragma once

#include <QDateTime>
#include <QUrl>

#include <functional>
#include <memory>

class NetOAuth2WindowController;
class QObject;

// What the sign-in window shows; the controller decides it, the toolkit draws it.
struct NetOAuth2WindowPage {
    QUrl address;                      // the provider's sign-in page
    bool browserStarted = false;       // false: the user opens the address by hand
    bool showsKeychainCheckbox = true; // "Stay signed in"
    bool isClockIncorrect = false;     // the clock reads before 2011: no sign-in, only the clock and Cancel
    QDateTime clockDate;               // what the clock reads, shown when it is incorrect
};

// The sign-in window as the controller sees it, so that the controller's logic runs without a toolkit. The
// window tells its controller of the user's doings: codeEntered() for the code the provider's page showed,
// closeWindow() when the user cancels or closes the window.
class NetOAuth2WindowPresenter {
public:
    using Factory =
        std::function<std::unique_ptr<NetOAuth2WindowPresenter>(NetOAuth2WindowController& controller)>;

    virtual ~NetOAuth2WindowPresenter() = default;
    // Shows the window modal on `parentWindow`, or as a window of its own when that is null.
    virtual void showWindow(QObject* parentWindow, const NetOAuth2WindowPage& page) = 0;
    // Takes the window down without telling the controller.
    virtual void closeWindow() = 0;
    virtual bool isKeychainCheckboxChecked() const = 0;
    // The text given was no code: the window stays and says so.
    virtual void showCodeNotRecognized() = 0;
    // The opener started but found no browser: the window asks the user to open the address by hand.
    virtual void showBrowserNotStarted() = 0;
};
