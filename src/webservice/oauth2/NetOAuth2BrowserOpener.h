#pragma once

#include <QUrl>

#include <memory>

// Opens the provider's sign-in page in the user's own web browser: there is no web view in the program, and
// the browser is where the user's sign-ins and password managers already live.
class NetOAuth2BrowserOpener {
public:
    virtual ~NetOAuth2BrowserOpener() = default;
    // False when no browser could be started (the user then opens the address by hand). Only http and
    // https addresses are opened.
    virtual bool openURL(const QUrl& url) = 0;

    // The desktop's opener ("xdg-open", given the address as one argument, never through a shell) unless
    // replaced; tests replace it.
    static std::shared_ptr<NetOAuth2BrowserOpener> shared();
    static void setShared(std::shared_ptr<NetOAuth2BrowserOpener> opener);
};
