#include "FetcherTestSupport.h"

#include "webservice/HTTPFetcher/NetHTTPFetcherService.h"

using namespace fetcher_test;
using platform::net::Cookie;

namespace {

class NetHTTPFetchHistoryTest : public FetcherTest {
protected:
    NetHTTPFetchHistoryTest() {
        server.route("/feed", [](const ServerRequest& request) {
            if (request.header("If-None-Match") == "\"v1\"")
                return ServerResponse::text(304, QByteArray());
            return ServerResponse::text(200, "feed, version one").withHeader("etag", "\"v1\"");
        });
    }
};

TEST_F(NetHTTPFetchHistoryTest, ASecondGetAsksWithTheETagAndA304IsAnsweredFromTheCacheWhenItCan) {
    struct Case {
        bool cacheBodies;
        quint64 capacity;
        QByteArray secondIfNoneMatch;
        qint64 secondError;
        QByteArray secondData;
    } cases[] = {
        {true, 1000, "\"v1\"", 0, "feed, version one"},
        {false, 1000, "\"v1\"", 304, ""},
        {true, 10, "", 0, "feed, version one"}, // too long to cache: neither body nor ETag is kept
    };
    for (const Case& c : cases) {
        server.clearLog();
        auto service = NetHTTPFetcherService::create();
        service->setShouldRememberETags(true);
        service->setShouldCacheETaggedData(c.cacheBodies);
        service->setETaggedDataCacheCapacity(c.capacity);
        EXPECT_EQ(fetch(service->fetcherWithURL(server.url("/feed"))).data, "feed, version one");
        const Outcome second = fetch(service->fetcherWithURL(server.url("/feed")));
        ASSERT_EQ(server.requests().size(), 2u);
        EXPECT_EQ(server.requests()[1].header("If-None-Match"), c.secondIfNoneMatch)
            << c.cacheBodies << c.capacity;
        EXPECT_EQ(second.errorCode(), c.secondError);
        EXPECT_EQ(second.data, c.secondData);
    }
}

TEST_F(NetHTTPFetchHistoryTest, TurningETagMemoryOffForgetsWhatWasKept) {
    auto service = NetHTTPFetcherService::create();
    service->setShouldCacheETaggedData(true);
    fetch(service->fetcherWithURL(server.url("/feed")));
    EXPECT_EQ(service->fetchHistory()->etaggedDataCache().responses().size(), 1);
    service->setShouldRememberETags(false);
    service->setShouldRememberETags(true);
    EXPECT_EQ(service->fetchHistory()->etaggedDataCache().totalDataSize(), 0u);
    fetch(service->fetcherWithURL(server.url("/feed")));
    EXPECT_FALSE(server.requests().back().headers.contains("If-None-Match"));
}

TEST(NetCookieStorageTest, SendsEachCookieOnlyWhereItBelongs) {
    NetCookieStorage jar;
    Cookie secure = makeCookie("secure", "1", ".example.com");
    secure.isSecure = true;
    jar.setCookies({secure, makeCookie("underA", "1", ".example.com", "/a"),
                    makeCookie("domain", "1", ".example.com"), makeCookie("hostOnly", "1", "example.com"),
                    makeCookie("ample", "1", ".ample.com"), makeCookie("local", "1", "localhost"),
                    makeCookie("localLocal", "1", "localhost.local"),
                    makeCookie("numeric", "1", "127.0.0.1")});
    const auto names = [&](const char* url) {
        QStringList found;
        for (const Cookie& cookie : jar.cookiesForURL(QUrl(url)))
            found << cookie.name;
        return found;
    };
    EXPECT_EQ(names("http://example.com/"), QStringList({"domain", "hostOnly"}));
    EXPECT_EQ(names("https://example.com/"), QStringList({"secure", "domain", "hostOnly"}));
    EXPECT_EQ(names("http://www.example.com/ab"), QStringList({"underA", "domain"}));
    EXPECT_EQ(names("http://www.example.com/a/b"), QStringList({"underA", "domain"}));
    EXPECT_EQ(names("http://www.example.com/b"), QStringList({"domain"}));
    EXPECT_EQ(names("http://sample.com/"), QStringList());
    EXPECT_EQ(names("http://ample.com/"), QStringList({"ample"}));
    EXPECT_EQ(names("http://localhost:8080/"), QStringList({"local", "localLocal"}));
    EXPECT_EQ(names("http://127.0.0.1/"), QStringList({"numeric"}));

    Cookie expired = makeCookie("domain", "", ".example.com");
    expired.expiresDate = QDateTime::currentDateTimeUtc().addSecs(-60);
    jar.setCookies({expired});
    EXPECT_EQ(names("http://example.com/"), QStringList({"hostOnly"}));
}

} // namespace
