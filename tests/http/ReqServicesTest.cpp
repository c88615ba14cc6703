#include "ReqTestSupport.h"

#include "http/ReqHTTPRequest.h"
#include "platform/net/SharedCookieStorage.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

TEST(ReqServicesTest, Base64PadsToWholeGroups) {
    EXPECT_EQ(ReqHTTPRequest::base64forData("a"), "YQ==");
    EXPECT_EQ(ReqHTTPRequest::base64forData("ab"), "YWI=");
    EXPECT_EQ(ReqHTTPRequest::base64forData("abc"), "YWJj");
    EXPECT_EQ(ReqHTTPRequest::base64forData(QByteArray()), "");
}

TEST(ReqServicesTest, HttpDatesFollowTheirCommaAndColons) {
    const QDateTime expected(QDate(1994, 11, 6), QTime(8, 49, 37), Qt::UTC);
    EXPECT_EQ(ReqHTTPRequest::dateFromRFC1123String("Sun, 06 Nov 1994 08:49:37 GMT"), expected);
    EXPECT_EQ(ReqHTTPRequest::dateFromRFC1123String("06 Nov 1994 08:49 GMT"), expected.addSecs(-37));
    EXPECT_EQ(ReqHTTPRequest::dateFromRFC1123String("Sun, 06 Nov 1994 09:49:37 +0100"), expected);
    EXPECT_FALSE(ReqHTTPRequest::dateFromRFC1123String("06 Nov 1994 08:49:37 GMT, late"));
    EXPECT_FALSE(ReqHTTPRequest::dateFromRFC1123String("yesterday"));
}

TEST(ReqServicesTest, ContentTypesGiveTypeAndKnownCharsets) {
    struct Case {
        QString contentType;
        QString mimeType;
        QByteArray encoding;
    } cases[] = {
        {" text/html ; charset=UTF-8", "text/html", "UTF-8"},
        {"text/plain;charset=\"utf-16le\"; x=y", "text/plain", "UTF-16LE"},
        {"application/json", "application/json", "kept"},
        {"text/plain; charset=klingon", "text/plain", "kept"},
    };
    for (const Case& c : cases) {
        QString mimeType;
        QByteArray encoding = "kept";
        ReqHTTPRequest::parseMimeType(&mimeType, &encoding, c.contentType);
        EXPECT_EQ(mimeType, c.mimeType) << c.contentType.toStdString();
        EXPECT_EQ(encoding, c.encoding) << c.contentType.toStdString();
    }
}

TEST(ReqServicesTest, SessionCredentialsMatchByUrlThenByServerAndSurviveBySameness) {
    req_test::clearSessionStores();
    const auto credentials = [](const char* user) {
        return std::make_shared<const QVariantMap>(QVariantMap{{kReqAuthenticationUsername, user}});
    };
    const ReqCredentials first = credentials("u");
    const ReqCredentials equalButOther = credentials("u");
    const auto entry = [](const ReqCredentials& given, const char* url) {
        ReqSessionCredentials made;
        made.credentials = given;
        made.url = QUrl(url);
        return made;
    };
    ReqHTTPRequest::storeAuthenticationCredentialsInSessionStore(entry(first, "http://a.test/x"));
    ReqHTTPRequest::storeAuthenticationCredentialsInSessionStore(entry(equalButOther, "http://a.test/y"));
    ReqHTTPRequest::storeAuthenticationCredentialsInSessionStore(entry(first, "http://a.test:80/z"));
    EXPECT_EQ(ReqHTTPRequest::sessionCredentialsStore().size(), 2); // the same dictionary was stored again
    ReqSessionCredentials proxy = entry(first, "");
    proxy.host = "proxy.test";
    proxy.port = 3128;
    ReqHTTPRequest::storeProxyAuthenticationCredentialsInSessionStore(proxy);

    const auto find = [](const char* url) {
        const auto entry = ReqHTTPRequest::requestWithURL(QUrl(url))->findSessionAuthenticationCredentials();
        return entry ? entry->url.toString() : QString();
    };
    EXPECT_EQ(find("http://a.test/y"), "http://a.test/y");
    EXPECT_EQ(find("http://a.test/other"), "http://a.test/y"); // the first entry of the same server
    EXPECT_EQ(find("http://a.test:80/other"), "http://a.test:80/z");
    EXPECT_EQ(find("https://a.test/y"), "");

    ReqHTTPRequest::clearSession();
    EXPECT_TRUE(ReqHTTPRequest::sessionCredentialsStore().isEmpty());
    EXPECT_EQ(ReqHTTPRequest::sessionProxyCredentialsStore().size(), 1);
    ReqHTTPRequest::removeProxyAuthenticationCredentialsFromSessionStore(first);
}

TEST(ReqServicesTest, SessionCookiesReplaceTheirNamesakesAndLeaveTheSharedStoreWithTheSession) {
    using platform::net::Cookie;
    auto& shared = platform::net::SharedCookieStorage::shared();
    shared.removeAllCookies();
    Cookie a;
    a.name = "a";
    a.value = "1";
    a.domain = "a.test";
    a.path = "/";
    Cookie newerA = a;
    newerA.value = "2";
    shared.setCookies({a});
    ReqHTTPRequest::addSessionCookie(a);
    ReqHTTPRequest::addSessionCookie(newerA);
    EXPECT_EQ(ReqHTTPRequest::sessionCookies(), QList<Cookie>{newerA});
    ReqHTTPRequest::clearSession();
    EXPECT_TRUE(ReqHTTPRequest::sessionCookies().isEmpty());
    EXPECT_TRUE(shared.cookies().isEmpty());
}

TEST(ReqServicesTest, TheUserAgentNamesTheProgramAndTheSystem) {
    ReqHTTPRequest::setDefaultUserAgentString(QString());
    QCoreApplication::setApplicationVersion("2.5");
    const QString agent = ReqHTTPRequest::defaultUserAgentString();
    const QRegularExpression form(QStringLiteral("^%1 2\\.5 \\(X11; Linux \\d+\\.\\d+\\.\\d+; \\w+\\)$")
                                      .arg(QRegularExpression::escape(QCoreApplication::applicationName())));
    EXPECT_TRUE(form.match(agent).hasMatch()) << agent.toStdString();
    ReqHTTPRequest::setDefaultUserAgentString("Custom/1");
    EXPECT_EQ(ReqHTTPRequest::defaultUserAgentString(), "Custom/1");
    ReqHTTPRequest::setDefaultUserAgentString(QString());
    QCoreApplication::setApplicationVersion(QString());
}

TEST(ReqServicesTest, FilesGetTheirMimeTypeByExtension) {
    TempDir dir;
    for (const char* name : {"a.png", "b.unknownextension"}) {
        QFile file(dir.file(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(ReqHTTPRequest::mimeTypeForFileAtPath(dir.file("a.png")), "image/png");
    EXPECT_EQ(ReqHTTPRequest::mimeTypeForFileAtPath(dir.file("b.unknownextension")),
              "application/octet-stream");
    EXPECT_TRUE(ReqHTTPRequest::mimeTypeForFileAtPath(dir.file("missing.png")).isNull());
}

TEST(ReqServicesTest, ExpiryComesFromTheArgumentThenMaxAgeThenExpires) {
    auto request = ReqHTTPRequest::requestWithURL(QUrl("http://a.test/"));
    platform::net::HttpHeaders headers;
    headers.set("Cache-Control", "public, Max-Age = 60");
    headers.set("Expires", "Sun, 06 Nov 1994 08:49:37 GMT");
    request->setResponseHeaders(headers);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    EXPECT_NEAR(now.secsTo(*ReqHTTPRequest::expiryDateForRequest(*request, 0)), 60, 2);
    EXPECT_NEAR(now.secsTo(*ReqHTTPRequest::expiryDateForRequest(*request, 10)), 10, 2);
    headers.set("Cache-Control", "max-age=0");
    request->setResponseHeaders(headers);
    EXPECT_EQ(ReqHTTPRequest::expiryDateForRequest(*request, 0)->date(), QDate(1994, 11, 6));
}

} // namespace
