#pragma once

#include "platform/foundation/Error.h"

#include <QUrl>

namespace platform::net {

// The domain of every error of the URL-loading layer; the layers above pass these errors on unchanged.
inline constexpr char kUrlErrorDomain[] = "org.vistrelle.url";
inline constexpr char kErrorFailingUrlKey[] = "NSErrorFailingURLStringKey";

// Codes of kUrlErrorDomain. The retry rules read -1001 and -1005 as transient.
enum UrlErrorCode : qint64 {
    UrlErrorUnknown = -1,
    UrlErrorCancelled = -999,
    UrlErrorBadURL = -1000,
    UrlErrorTimedOut = -1001,
    UrlErrorUnsupportedURL = -1002,
    UrlErrorCannotFindHost = -1003,
    UrlErrorCannotConnectToHost = -1004,
    UrlErrorNetworkConnectionLost = -1005,
    UrlErrorHTTPTooManyRedirects = -1007,
    UrlErrorBadServerResponse = -1011,
    UrlErrorUserCancelledAuthentication = -1012,
    UrlErrorCannotDecodeContentData = -1016,
    UrlErrorRequestBodyStreamExhausted = -1021,
    UrlErrorProxyRefusedConnection = -1030, // the proxy answered CONNECT with anything but a 2xx status
    UrlErrorDataLengthExceedsMaximum = -1103,
    UrlErrorSecureConnectionFailed = -1200,
    UrlErrorServerCertificateUntrusted = -1202,
    UrlErrorClientCertificateRejected = -1205,
};

inline constexpr char kProxyStatusCodeKey[] = "proxyStatusCode";

Error makeUrlError(qint64 code, const QUrl& url, const QString& description);
// A proxy's refusal to open a tunnel to the host of `url`, with its status under kProxyStatusCodeKey.
Error proxyRefusedError(const QUrl& url, long proxyStatus);
// The error for a curl result code, with curl's own message when it gave one.
Error urlErrorForCurlCode(int curlCode, const QUrl& url, const QString& detail = QString());

} // namespace platform::net
