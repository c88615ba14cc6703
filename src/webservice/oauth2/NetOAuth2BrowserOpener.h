#pragma once

#include <QUrl>

#include <functional>
#include <memory>

// Opens the provider's sign-in page in the user's own web browser: there is no web view in the program, and
// the browser is where the user's sign-ins and password managers already live.
class NetOAuth2BrowserOpener {
public:
    // Whether the opener, once it ended, reported the page open. Told at most once, on the main thread, and
    // never from inside openURL.
    using Outcome = std::function<void(bool opened)>;

    virtual ~NetOAuth2BrowserOpener() = default;
    // False when no opener could be started (the user then opens the address by hand). True when one runs:
    // an opener that finds no browser only says so when it ends, through `outcome` (which may be empty).
    // Only http and https addresses are opened.
    virtual bool openURL(const QUrl& url, Outcome outcome) = 0;

    // The desktop's opener ("xdg-open", given the address as one argument, never through a shell) unless
    // replaced; tests replace it.
    static std::shared_ptr<NetOAuth2BrowserOpener> shared();
    static void setShared(std::shared_ptr<NetOAuth2BrowserOpener> opener);
};
