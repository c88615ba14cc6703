#pragma once

#include "platform/net/HttpHeaders.h"

#include <QByteArray>
#include <QUrl>

#include <functional>

class ReqHTTPRequest;

// What a request tells its delegate, on the main thread. A delegate implements a callback by filling its
// slot: an empty slot is one the delegate does not answer, and that matters (a delegate that takes
// didReceiveData gets the body instead of the request keeping it). The request holds its delegate weakly.
struct ReqHTTPRequestDelegate {
    using RequestCallback = std::function<void(ReqHTTPRequest&)>;
    using HeadersCallback = std::function<void(ReqHTTPRequest&, const platform::net::HttpHeaders&)>;
    using URLCallback = std::function<void(ReqHTTPRequest&, const QUrl&)>;
    using DataCallback = std::function<void(ReqHTTPRequest&, const QByteArray&)>;

    // Which slot a request calls for an event; a request may be pointed at another slot of the same shape.
    using RequestSelector = RequestCallback ReqHTTPRequestDelegate::*;
    using HeadersSelector = HeadersCallback ReqHTTPRequestDelegate::*;
    using URLSelector = URLCallback ReqHTTPRequestDelegate::*;
    using DataSelector = DataCallback ReqHTTPRequestDelegate::*;

    RequestCallback requestStarted;
    HeadersCallback didReceiveResponseHeaders;
    URLCallback willRedirectToURL;
    RequestCallback requestFinished;
    RequestCallback requestFailed;
    RequestCallback requestRedirected;
    DataCallback didReceiveData;
    RequestCallback authenticationNeeded;
    RequestCallback proxyAuthenticationNeeded;
};

// What a request tells the objects that show its progress, on the main thread; every slot optional.
// Indicators receive their value through setProgress alone (a fraction) and setMaxValue once (1.0).
struct ReqProgressDelegate {
    using AmountCallback = std::function<void(ReqHTTPRequest&, qint64)>;

    std::function<void(double)> setDoubleValue;
    std::function<void(double)> setMaxValue;
    std::function<void(float)> setProgress;
    AmountCallback didReceiveBytes;
    AmountCallback didSendBytes;
    AmountCallback incrementDownloadSizeBy;
    AmountCallback incrementUploadSizeBy;
};

// A request's queue hears of every event of the request and of its byte counts; the request keeps it.
struct ReqRequestQueue : ReqHTTPRequestDelegate, ReqProgressDelegate {
    virtual ~ReqRequestQueue() = default;
    // Whether the queue takes up a redirect confirmation or a credential question now (by default: when its
    // slot is filled). A request whose queue does not falls back on its own rules.
    virtual bool answersWillRedirect() const { return bool(willRedirectToURL); }
    virtual bool answersAuthenticationNeeded(bool proxy) const {
        return bool(proxy ? proxyAuthenticationNeeded : authenticationNeeded);
    }
};

// The request's callback blocks, called on the main thread and released there.
using ReqBasicBlock = std::function<void()>;
using ReqHeadersBlock = std::function<void(const platform::net::HttpHeaders&)>;
using ReqProgressBlock = std::function<void(qint64 amount, quint64 total)>;
using ReqSizeBlock = std::function<void(qint64 amount)>;
using ReqDataBlock = std::function<void(const QByteArray&)>;
