#include "platform/net/Cookie.h"
#include "platform/net/SharedCookieStorage.h"

#include <gtest/gtest.h>

using platform::net::Cookie;
using platform::net::HttpHeaders;
using platform::net::SharedCookieStorage;

namespace {

const QDateTime kNow = QDateTime(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC);

TEST(CookieTest, SetCookieIsReadByTheCookieRules) {
    struct Case {
        const char* url;
        QByteArray header;
        bool stored;
        QString domain;
        QString path;
    } cases[] = {
        {"https://www.example.com/a/b", "id=7", true, "www.example.com", "/a"},
        {"https://www.example.com/a/b", "id=7; Domain=.Example.COM; Path=/", true, ".example.com", "/"},
        {"https://www.example.com/", "id=7; Domain=ample.com", false, {}, {}}, // not the reply's domain
        {"https://www.example.com/", "id=7; Domain=other.org", false, {}, {}},
        {"https://www.example.com/", "id=7; Domain=com", false, {}, {}},         // a whole top-level domain
        {"https://example.com/", "id=7; Domain=www.example.com", false, {}, {}}, // a subdomain of the host
        {"http://127.0.0.1/", "id=7; Domain=0.0.1", false, {}, {}},              // addresses have no domains
        {"http://localhost/x", "id=7; Domain=localhost", true, ".localhost", "/"},
        {"https://www.example.com/", "novalue", false, {}, {}},
        {"https://www.example.com/", "=7", false, {}, {}},
        {"https://www.example.com/", "id=7; Path=relative", true, "www.example.com", "/"},
    };
    for (const Case& c : cases) {
        const auto cookie = Cookie::parseSetCookie(c.header, QUrl(c.url), kNow);
        EXPECT_EQ(cookie.has_value(), c.stored) << c.header.constData();
        if (cookie && c.stored) {
            EXPECT_EQ(cookie->domain, c.domain) << c.header.constData();
            EXPECT_EQ(cookie->path, c.path) << c.header.constData();
        }
    }
}

TEST(CookieTest, ExpiryComesFromMaxAgeBeforeExpires) {
    const QUrl url("https://example.com/");
    const auto dated = Cookie::parseSetCookie("a=1; Expires=Wed, 09 Jun 2027 10:18:14 GMT", url, kNow);
    EXPECT_EQ(dated->expiresDate, QDateTime(QDate(2027, 6, 9), QTime(10, 18, 14), Qt::UTC));
    const auto aged =
        Cookie::parseSetCookie("a=1; Expires=Wed, 09 Jun 2027 10:18:14 GMT; Max-Age=60", url, kNow);
    EXPECT_EQ(aged->expiresDate, kNow.addSecs(60));
    EXPECT_TRUE(Cookie::parseSetCookie("a=1; Max-Age=0", url, kNow)->isExpired(kNow));
    EXPECT_TRUE(Cookie::parseSetCookie("a=1; Expires=nonsense", url, kNow)->isSessionOnly());
    EXPECT_EQ(Cookie::parseCookieDate("Sunday, 06-Nov-94 08:49:37 GMT"),
              QDateTime(QDate(1994, 11, 6), QTime(8, 49, 37), Qt::UTC));
}

TEST(CookieTest, TheSharedStoreSendsByHostPathAndScheme) {
    SharedCookieStorage& store = SharedCookieStorage::shared();
    store.removeAllCookies();
    HttpHeaders headers;
    headers.add("Set-Cookie", "root=1; Path=/");
    headers.add("Set-Cookie", "deep=2; Path=/a");
    headers.add("Set-Cookie", "safe=3; Path=/; Secure");
    headers.add("Set-Cookie", "wide=4; Domain=example.com; Path=/");
    store.setCookiesFromResponse(headers, QUrl("https://www.example.com/a/page"));
    const auto names = [&](const char* url) {
        QStringList found;
        for (const Cookie& cookie : store.cookiesForUrl(QUrl(url)))
            found << cookie.name;
        return found;
    };
    EXPECT_EQ(names("https://www.example.com/a/b"), QStringList({"deep", "root", "safe", "wide"}));
    EXPECT_EQ(names("http://www.example.com/ab"), QStringList({"root", "wide"}));
    EXPECT_EQ(names("https://example.com/a"), QStringList({"wide"}));
    EXPECT_EQ(names("https://ample.com/"), QStringList());
    EXPECT_EQ(Cookie::requestHeaderValue(store.cookiesForUrl(QUrl("http://www.example.com/a"))),
              "deep=2; root=1; wide=4");
    store.removeAllCookies();
}

TEST(HttpHeadersTest, NamesIgnoreCaseAndLineBreaksAreRefused) {
    HttpHeaders headers;
    EXPECT_TRUE(headers.set("ETag", "\"v1\""));
    EXPECT_EQ(headers.value("etag"), "\"v1\"");
    EXPECT_TRUE(headers.set("etag", "\"v2\""));
    EXPECT_EQ(headers.size(), 1);
    EXPECT_FALSE(headers.set("X-Evil", "a\r\nHost: elsewhere"));
    EXPECT_FALSE(headers.add("X-Evil", QByteArray("a\0b", 3)));
    EXPECT_FALSE(headers.set("Bad Name", "x"));
    EXPECT_FALSE(headers.contains("X-Evil"));
    EXPECT_TRUE(headers.value("Missing").isNull());
}

} // namespace
