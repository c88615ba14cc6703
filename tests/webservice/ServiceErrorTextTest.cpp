#include "webservice/ServiceErrorText.h"
#include "platform/net/UrlError.h"
#include "support/DSServiceDocuments.h"
#include "webservice/BaseClasses/DSServerErrorGroup.h"
#include "webservice/BaseClasses/DSServiceBase.h"
#include "webservice/HTTPFetcher/NetFetcherErrors.h"
#include "webservice/oauth2/NetOAuth2Errors.h"

#include <gtest/gtest.h>

namespace {

platform::Error status(qint64 code, const QVariantMap& info = {}) {
    return platform::Error(QString::fromLatin1(kNetHTTPFetcherStatusDomain), code, info);
}

// What the service layer adds for a reply body that is no error document.
QVariantMap serverSaid(const QString& text) {
    return {{QLatin1String(kDSServiceErrorTextKey), text},
            {QLatin1String(platform::kLocalizedFailureReasonKey), '(' + text + ')'}};
}

TEST(ServiceErrorText, TheServersOrTheLibrarysWordsComeFirstAndASentenceOtherwise) {
    const DSServerErrorGroup document = *DSServerErrorGroup::groupWithData(ds_documents::errorDocument());
    const QVariantMap documentInfo{
        {QLatin1String(kDSServiceErrorServerErrorsKey), QVariant::fromValue(document)},
        {QLatin1String(kDSServiceErrorTextKey), document.mainError().summary()}};
    const QVariantMap refusedRefresh{
        {QLatin1String(kNetOAuth2ErrorJSONKey), QVariantMap{{"error", "invalid_grant"}}}};
    struct Case {
        platform::Error error;
        QString sentence;
    } cases[] = {
        {status(400, documentInfo), R"(VideoSite error invalid_value: "Title is too long")"},
        {status(400), "The service could not accept the request (HTTP 400)."},
        {status(400, serverSaid("bad range")),
         "The service could not accept the request (HTTP 400). The service said: bad range"},
        {status(400, serverSaid("invalid_grant")),
         "The service could not accept the request (HTTP 400). The service said: invalid_grant"},
        {status(502, serverSaid("<html><body>Bad gateway</body></html>")),
         "The service is not available at the moment; try again later (HTTP 502)."},
        {status(403), "The service refused access (HTTP 403)."},
        {status(308), "The service did not complete the upload (HTTP 308)."},
        {status(400, refusedRefresh), "The sign-in has expired or was withdrawn (invalid_grant)."},
        {platform::Error(kNetOAuth2ErrorDomain, kNetOAuth2ErrorAuthorizationFailed,
                         {{QLatin1String(kNetOAuth2ErrorMessageKey), "access_denied"}}),
         "Access was not granted at the sign-in (access_denied)."},
        {platform::Error(kNetOAuth2ErrorDomain, kNetOAuth2ErrorWindowClosed),
         "The sign-in window was closed before the sign-in ended."},
        {platform::net::makeUrlError(platform::net::UrlErrorNetworkConnectionLost, QUrl("https://a.example/"),
                                     "Connection died"),
         "Connection died"},
        {platform::Error(platform::net::kUrlErrorDomain, platform::net::UrlErrorNetworkConnectionLost),
         "The connection to the server was lost."},
        {platform::net::proxyRefusedError(QUrl("https://uploads.example/x"), 403),
         "The proxy refused the connection to uploads.example: 403"},
        {status(-1005, platform::net::makeUrlError(platform::net::UrlErrorTimedOut,
                                                   QUrl("https://a.example/"), "The request timed out.")
                           .userInfo),
         "The request timed out."},
        {platform::Error("org.example", 7), "The operation could not be completed (org.example, code 7)."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ServiceErrorText::sentence(c.error), c.sentence)
            << c.error.domain.toStdString() << " " << c.error.code;
}

TEST(ServiceErrorText, OnlyTheProvidersInvalidGrantIsAnExpiredSignIn) {
    EXPECT_TRUE(ServiceErrorText::isExpiredSignIn(
        status(400, {{QLatin1String(kNetOAuth2ErrorJSONKey), QVariantMap{{"error", "invalid_grant"}}}})));
    EXPECT_TRUE(ServiceErrorText::isExpiredSignIn(
        platform::Error(kNetOAuth2ErrorDomain, kNetOAuth2ErrorAuthorizationFailed,
                        {{QLatin1String(kNetOAuth2ErrorMessageKey), "invalid_grant"}})));
    // The service's own text sits under the same key: a server that answers "invalid_grant" signs no one out.
    EXPECT_FALSE(ServiceErrorText::isExpiredSignIn(status(400, serverSaid("invalid_grant"))));
    EXPECT_FALSE(ServiceErrorText::isExpiredSignIn(status(400)));
}

} // namespace
