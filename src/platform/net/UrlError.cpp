#include "platform/net/UrlError.h"

#include <curl/curl.h>

namespace platform::net {

namespace {

qint64 codeForCurl(CURLcode code) {
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        return UrlErrorTimedOut;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return UrlErrorNetworkConnectionLost;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return UrlErrorCannotFindHost;
    case CURLE_COULDNT_CONNECT:
        return UrlErrorCannotConnectToHost;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        return UrlErrorServerCertificateUntrusted;
    case CURLE_SSL_CERTPROBLEM:
        return UrlErrorClientCertificateRejected;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_USE_SSL_FAILED:
        return UrlErrorSecureConnectionFailed;
    case CURLE_URL_MALFORMAT:
        return UrlErrorBadURL;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return UrlErrorUnsupportedURL;
    case CURLE_TOO_MANY_REDIRECTS:
        return UrlErrorHTTPTooManyRedirects;
    case CURLE_WEIRD_SERVER_REPLY:
        return UrlErrorBadServerResponse;
    case CURLE_BAD_CONTENT_ENCODING:
        return UrlErrorCannotDecodeContentData;
    case CURLE_READ_ERROR:
    case CURLE_SEND_FAIL_REWIND:
        return UrlErrorRequestBodyStreamExhausted;
    case CURLE_LOGIN_DENIED:
        return UrlErrorUserCancelledAuthentication;
    default:
        return UrlErrorUnknown;
    }
}

} // namespace

Error makeUrlError(qint64 code, const QUrl& url, const QString& description) {
    QVariantMap info;
    info.insert(QLatin1String(kLocalizedDescriptionKey), description);
    info.insert(QLatin1String(kErrorFailingUrlKey), url.toString());
    return Error(QString::fromLatin1(kUrlErrorDomain), code, info);
}

Error proxyRefusedError(const QUrl& url, long proxyStatus) {
    Error error = makeUrlError(
        UrlErrorProxyRefusedConnection, url,
        QStringLiteral("The proxy refused the connection to %1: %2").arg(url.host()).arg(proxyStatus));
    error.userInfo.insert(QLatin1String(kProxyStatusCodeKey), qint64(proxyStatus));
    return error;
}

Error urlErrorForCurlCode(int curlCode, const QUrl& url, const QString& detail) {
    const auto code = static_cast<CURLcode>(curlCode);
    const QString text = detail.isEmpty() ? QString::fromUtf8(curl_easy_strerror(code)) : detail;
    return makeUrlError(codeForCurl(code), url, text);
}

} // namespace platform::net
