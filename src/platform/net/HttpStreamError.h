#pragma once

#include "platform/foundation/Error.h"

namespace platform::net {

// The errors our HTTP/1.1 client reports besides kUrlErrorDomain's (name lookup, a kept connection lost).
// System calls that fail report their errno in kPosixErrorDomain; TLS failures report a status in
// kTlsErrorDomain, all between -9818 and -9800, the range the request library reads as an "SSL problem".
using platform::kPosixErrorDomain;
inline constexpr char kTlsErrorDomain[] = "org.vistrelle.tls";
inline constexpr char kHttpStreamErrorDomain[] = "org.vistrelle.http-stream";

enum HttpStreamErrorCode : qint64 {
    HttpStreamBadStatusLine = 1,
    HttpStreamBadHeaderField = 2,
    HttpStreamHeaderTooLarge = 3,
    HttpStreamConflictingLengths = 4,
    HttpStreamBadContentLength = 5,
    HttpStreamBadChunk = 6,
    HttpStreamPrematureEnd = 7,
    HttpStreamProxyRefused = 8,
    HttpStreamBodyUnreadable = 9,
    HttpStreamBadRequest = 10,
    // Why an authentication object stopped being valid.
    HttpStreamAuthenticationTypeUnsupported = -1000,
    HttpStreamAuthenticationBadUserName = -1001,
    HttpStreamAuthenticationBadPassword = -1002,
};

enum TlsStatus : qint64 {
    TlsProtocolError = -9800,
    TlsClosedAbort = -9806,
    TlsChainInvalid = -9807,
    TlsBadCertificate = -9808,
    TlsUnknownRoot = -9812,
    TlsNoRoot = -9813,
    TlsCertificateExpired = -9814,
    TlsCertificateNotYetValid = -9815,
};

inline Error makeStreamError(const char* domain, qint64 code, const QString& description) {
    return Error(QString::fromLatin1(domain), code, {{QLatin1String(kLocalizedDescriptionKey), description}});
}

} // namespace platform::net
