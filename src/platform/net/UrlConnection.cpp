#include "platform/net/UrlConnection.h"

#include "platform/net/CurlConnection.h"

namespace platform::net {

std::optional<UrlRequest> UrlConnectionDelegate::connectionWillSendRequest(UrlConnection&,
                                                                           const UrlRequest& proposed,
                                                                           const UrlResponse&) {
    return proposed;
}

ChallengeAnswer UrlConnectionDelegate::connectionDidReceiveChallenge(UrlConnection&,
                                                                     const AuthenticationChallenge&) {
    return ChallengeAnswer();
}

void UrlConnectionDelegate::connectionDidReceiveResponse(UrlConnection&, const UrlResponse&) {}
void UrlConnectionDelegate::connectionDidReceiveData(UrlConnection&, const QByteArray&) {}
void UrlConnectionDelegate::connectionDidSendBodyData(UrlConnection&, qint64, qint64, qint64) {}
void UrlConnectionDelegate::connectionDidFinishLoading(UrlConnection&) {}
void UrlConnectionDelegate::connectionDidFailWithError(UrlConnection&, const Error&) {}

std::unique_ptr<UrlConnection> UrlConnection::create(const UrlRequest& request,
                                                     UrlConnectionDelegate& delegate) {
    return std::make_unique<CurlConnection>(request, delegate);
}

} // namespace platform::net
