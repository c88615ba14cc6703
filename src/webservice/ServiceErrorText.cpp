#include "webservice/ServiceErrorText.h"

#include "platform/foundation/ErrorText.h"
#include "platform/foundation/StringTable.h"
#include "platform/net/UrlError.h"
#include "webservice/BaseClasses/DSServiceBase.h"
#include "webservice/HTTPFetcher/NetFetcherErrors.h"
#include "webservice/oauth2/NetOAuth2Errors.h"

namespace {

// A reply body longer than this, or one in markup, is a page for a browser rather than a reason.
constexpr qsizetype kLongestServerText = 300;

QString serverText(const platform::Error& error) {
    const QString text = error.userInfo.value(QLatin1String(kDSServiceErrorTextKey)).toString().simplified();
    if (error.userInfo.contains(QLatin1String(kDSServiceErrorServerErrorsKey)))
        return text; // the error document's summary
    if (text.size() > kLongestServerText || text.startsWith(QLatin1Char('<')))
        return QString();
    return text;
}

QString statusSentence(qint64 status) {
    if (status == 400)
        return tr_("The service could not accept the request (HTTP 400).");
    if (status == 401 || status == 403)
        return tr_("The service refused access (HTTP %1).").arg(status);
    if (status == 404 || status == 410)
        return tr_("The service does not know this address (HTTP %1).").arg(status);
    if (status == 408 || status >= 500)
        return tr_("The service is not available at the moment; try again later (HTTP %1).").arg(status);
    if (status >= 400)
        return tr_("The service refused the request (HTTP %1).").arg(status);
    if (status == kNetHTTPFetcherStatusResumeIncomplete)
        return tr_("The service did not complete the upload (HTTP 308).");
    return tr_("The service gave an answer that cannot be used (HTTP %1).").arg(status);
}

QString providerSentence(const QString& word) {
    if (word == QLatin1String("invalid_grant"))
        return tr_("The sign-in has expired or was withdrawn (%1).").arg(word);
    if (word == QLatin1String("access_denied"))
        return tr_("Access was not granted at the sign-in (%1).").arg(word);
    return tr_("The sign-in provider refused the request (%1).").arg(word);
}

QString urlSentence(qint64 code) {
    using namespace platform::net;
    switch (code) {
    case UrlErrorTimedOut:
        return tr_("The server did not answer in time.");
    case UrlErrorCannotFindHost:
        return tr_("The server could not be found.");
    case UrlErrorCannotConnectToHost:
        return tr_("The server could not be reached.");
    case UrlErrorNetworkConnectionLost:
        return tr_("The connection to the server was lost.");
    case UrlErrorSecureConnectionFailed:
    case UrlErrorServerCertificateUntrusted:
        return tr_("A secure connection to the server could not be made.");
    default:
        return QString();
    }
}

QString oauthSentence(qint64 code) {
    switch (code) {
    case kNetOAuth2ErrorWindowClosed:
        return tr_("The sign-in window was closed before the sign-in ended.");
    case kNetOAuth2ErrorUnauthorizableRequest:
        return tr_("The sign-in cannot be sent over a connection that is not secure.");
    default:
        return tr_("The sign-in did not succeed.");
    }
}

} // namespace

QString ServiceErrorText::providerWord(const platform::Error& error) {
    const QVariantMap reply = error.userInfo.value(QLatin1String(kNetOAuth2ErrorJSONKey)).toMap();
    if (const QString word = reply.value(QStringLiteral("error")).toString(); !word.isEmpty())
        return word;
    // The service layer keeps its text under the same key: only the sign-in's own errors carry a word there.
    if (error.domain != QLatin1String(kNetOAuth2ErrorDomain))
        return QString();
    return error.userInfo.value(QLatin1String(kNetOAuth2ErrorMessageKey)).toString();
}

bool ServiceErrorText::isExpiredSignIn(const platform::Error& error) {
    return providerWord(error) == QLatin1String("invalid_grant");
}

QString ServiceErrorText::sentence(const platform::Error& error) {
    if (const QString word = providerWord(error); !word.isEmpty())
        return providerSentence(word);
    const bool isStatus = error.domain == QLatin1String(kNetHTTPFetcherStatusDomain) && error.code >= 300;
    const QString server = serverText(error);
    if (error.userInfo.contains(QLatin1String(kDSServiceErrorServerErrorsKey)) && !server.isEmpty())
        return server;
    const QString own = error.userInfo.value(QLatin1String(platform::kLocalizedDescriptionKey)).toString();
    if (!own.isEmpty())
        return own;
    if (isStatus) {
        const QString status = statusSentence(error.code);
        return server.isEmpty() ? status : status + u' ' + tr_("The service said: %1").arg(server);
    }
    if (error.domain == QLatin1String(platform::net::kUrlErrorDomain))
        if (const QString text = urlSentence(error.code); !text.isEmpty())
            return text;
    if (error.domain == QLatin1String(kNetOAuth2ErrorDomain))
        return oauthSentence(error.code);
    // The words of an error underneath, the system's for an errno, or the general sentence of every alert.
    return platform::errorSentence(error);
}
