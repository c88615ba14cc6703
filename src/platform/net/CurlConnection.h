#pragma once

#include "platform/net/CurlTransfer.h"
#include "platform/net/NetworkThread.h"
#include "platform/net/UrlConnection.h"

#include <memory>

namespace platform {
class LoopContext;
}

namespace platform::net {

// The connection of the URL-loading layer: it runs each hop as a curl transfer on the network thread and
// takes the decisions between hops (redirects, authentication, cookies) on its own thread, with its delegate.
class CurlConnection : public UrlConnection {
public:
    CurlConnection(const UrlRequest& request, UrlConnectionDelegate& delegate);
    ~CurlConnection() override;

    void start() override;
    void cancel() override;
    const UrlRequest& currentRequest() const override { return request; }

private:
    // Shared with the reports on their way, which are dropped once the connection is cancelled or gone.
    struct Link {
        bool cancelled = false;
        CurlConnection* connection = nullptr;
    };

    void submit();
    void handle(const TransferEvent& event);
    void takeReceived(ReceiveQueue& queue);
    void handleHeld(const UrlResponse& response, const QByteArray& body);
    void handleFailure(const TransferEvent& event);
    void follow(const UrlResponse& response, const QByteArray& body);
    void answerChallenge(const AuthenticationChallenge& challenge, const UrlResponse& response,
                         const QByteArray& body, const Error* failure);
    void deliverReply(const UrlResponse& response, const QByteArray& body);
    void fail(const Error& error);
    UrlRequest proposedRedirect(const UrlResponse& response) const;
    void takeCookies(const UrlResponse& response) const;

    UrlRequest request;
    UrlConnectionDelegate& delegate;
    std::shared_ptr<LoopContext> context;
    std::shared_ptr<Link> link;
    NetworkThread::TransferId transferId = 0;
    bool running = false;
    int redirects = 0;
    int failedCredentials = 0;
    std::optional<Credential> credential;
    QString authScheme;
    bool credentialForProxy = false;
};

} // namespace platform::net
