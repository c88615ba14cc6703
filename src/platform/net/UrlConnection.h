#pragma once

#include "platform/foundation/Error.h"
#include "platform/net/UrlRequest.h"
#include "platform/net/UrlResponse.h"

#include <functional>
#include <memory>
#include <optional>

namespace platform::net {

class UrlConnection;

// A server or proxy asking for a user name and password (a 401 or 407 that offers Basic or Digest).
struct AuthenticationChallenge {
    bool isProxy = false;
    QString scheme; // "Basic" or "Digest"
    QString realm;
    QString host;
    int port = -1;
    int previousFailureCount = 0; // credentials already tried and refused on this connection
    UrlResponse failureResponse;
};

struct ChallengeAnswer {
    enum Kind {
        UseCredential,  // send the credential and try again
        Cancel,         // end the connection; nothing more is reported
        PerformDefault, // take the 401 or 407 as the reply
    };
    Kind kind = PerformDefault;
    Credential credential;
};

// What a connection reports, always on the thread that made it, in this order: at most one response, its
// body in pieces, then exactly one of finished or failed. Nothing at all follows cancel().
class UrlConnectionDelegate {
public:
    virtual ~UrlConnectionDelegate() = default;
    // A 3xx reply with a "Location": answers the request to send next, or nothing to take the 3xx as the
    // reply. `proposed` is the current request aimed at the new location (a 303, or a 301 or 302 after a
    // POST, turned into a GET without body), without credentials or cookies when the origin changes.
    virtual std::optional<UrlRequest> connectionWillSendRequest(UrlConnection& connection,
                                                                const UrlRequest& proposed,
                                                                const UrlResponse& redirectResponse);
    virtual ChallengeAnswer connectionDidReceiveChallenge(UrlConnection& connection,
                                                          const AuthenticationChallenge& challenge);
    virtual void connectionDidReceiveResponse(UrlConnection& connection, const UrlResponse& response);
    virtual void connectionDidReceiveData(UrlConnection& connection, const QByteArray& data);
    virtual void connectionDidSendBodyData(UrlConnection& connection, qint64 bytesWritten,
                                           qint64 totalBytesWritten, qint64 totalBytesExpectedToWrite);
    virtual void connectionDidFinishLoading(UrlConnection& connection);
    virtual void connectionDidFailWithError(UrlConnection& connection, const Error& error);
};

// One request on its way, redirects and authentication included. Made and used on one thread, whose event
// loop receives the reports; the transfer itself runs on the layer's network thread. TLS is always
// verified. With `httpShouldHandleCookies` the shared cookie store adds and takes the cookies of every hop.
class UrlConnection {
public:
    // Makes connections; the fetcher's transport can be replaced with one (tests inject fakes).
    using Factory = std::function<std::unique_ptr<UrlConnection>(const UrlRequest&, UrlConnectionDelegate&)>;

    static constexpr int kMaximumRedirects = 20;

    virtual ~UrlConnection() = default;
    virtual void start() = 0;
    // Stops the transfer; no report follows, not even one already on its way. Destroying cancels too.
    virtual void cancel() = 0;
    virtual const UrlRequest& currentRequest() const = 0;

    // The layer's own connection, on libcurl.
    static std::unique_ptr<UrlConnection> create(const UrlRequest& request, UrlConnectionDelegate& delegate);
};

} // namespace platform::net
