#include "ReqTestSupport.h"

#include "http/ReqDownloadCache.h"
#include "support/TempDir.h"

using namespace req_test;

namespace {

class ReqDownloadCacheTest : public ReqRequestTest {
protected:
    void SetUp() override {
        cache->setStoragePath(folder.path());
        server.route("/etag", [](const ServerRequest& request) {
            if (request.header("If-None-Match") == "\"v1\"")
                return ServerResponse::text(304, "");
            return ServerResponse::text(200, "stored body").withHeader("ETag", "\"v1\"");
        });
    }
    ReqHTTPRequest::Ptr fetch(const QString& path, int policy = ReqUseDefaultCachePolicy) {
        const auto request = ReqHTTPRequest::requestWithURL(server.url(path), cache, policy);
        request->setShouldRedirect(false);
        request->startSynchronous();
        return request;
    }

    TempDir folder;
    std::shared_ptr<ReqDownloadCache> cache = std::make_shared<ReqDownloadCache>();
};

TEST_F(ReqDownloadCacheTest, KeysAndDataFileNames) {
    const QString key = ReqDownloadCache::keyForURL(QUrl("http://www.example.com/index.html"));
    EXPECT_EQ(key, "14DD0F15E926472FC3A98C8B9210FE37");
    EXPECT_EQ(ReqDownloadCache::keyForURL(QUrl("http://www.example.com/index.html/")), key);
    EXPECT_EQ(ReqDownloadCache::keyForURL(QUrl()), "");
    const struct {
        const char* path;
        const char* extension;
    } cases[] = {{"/page.php", "html"}, {"/folder/", "html"}, {"/none", "html"}, {"/PIC.JPG", "JPG"}};
    for (const auto& c : cases) {
        const auto request = ReqHTTPRequest::requestWithURL(QUrl(QStringLiteral("http://h") + c.path));
        EXPECT_TRUE(cache->pathToStoreCachedResponseDataForRequest(*request).endsWith(
            QStringLiteral("/SessionStore/") + ReqDownloadCache::keyForURL(request->url()) + u'.' +
            c.extension))
            << c.path;
    }
}

TEST_F(ReqDownloadCacheTest, OnlyGoodResponsesTheServerAllowsAreStored) {
    const struct {
        const char* path;
        int status;
        QByteArray field, value;
        bool stored;
    } cases[] = {
        {"/ok", 200, "X-None", "", true},
        {"/missing", 404, "X-None", "", false},
        {"/moved", 302, "Location", "/ok", true},
        {"/private", 200, "Cache-Control", "private, no-store", false},
        {"/pragma", 200, "Pragma", "no-cache", false},
        {"/aged", 200, "Cache-Control", "public, max-age=60", true},
    };
    for (const auto& c : cases) {
        server.route(c.path, [c](const ServerRequest&) {
            return ServerResponse::text(c.status, "body").withHeader(c.field, c.value);
        });
        fetch(c.path);
        EXPECT_EQ(cache->cachedResponseHeadersForURL(server.url(c.path)).has_value(), c.stored) << c.path;
    }
    const auto headers = cache->cachedResponseHeadersForURL(server.url("/moved"));
    EXPECT_EQ(headers->value("X-ReqHTTPRequest-Response-Status-Code"), "302");
    EXPECT_FALSE(headers->contains("X-ReqHTTPRequest-Expires"));
    EXPECT_TRUE(
        cache->cachedResponseHeadersForURL(server.url("/aged"))->contains("X-ReqHTTPRequest-Expires"));
}

TEST_F(ReqDownloadCacheTest, PoliciesDecideWhetherTheNetworkIsAsked) {
    const auto offline = fetch("/etag", ReqDontLoadCachePolicy);
    EXPECT_TRUE(offline->isFinished());
    EXPECT_FALSE(offline->error());
    EXPECT_TRUE(offline->responseData().isEmpty());
    EXPECT_EQ(server.connectionCount(), 0);

    const auto first = fetch("/etag");
    EXPECT_EQ(first->cachePolicy(), ReqAskServerIfModifiedWhenStaleCachePolicy);
    EXPECT_EQ(first->responseString(), "stored body");

    // Stored without an expiry it is never current: the server is asked and its 304 serves the copy.
    const auto revalidated = fetch("/etag");
    EXPECT_EQ(server.requests().back().header("If-None-Match"), "\"v1\"");
    EXPECT_EQ(revalidated->responseStatusCode(), 200);
    EXPECT_TRUE(revalidated->didUseCachedResponse());
    EXPECT_EQ(revalidated->responseString(), "stored body");

    const size_t asked = server.requests().size();
    EXPECT_EQ(fetch("/etag", ReqOnlyLoadIfNotCachedCachePolicy)->responseString(), "stored body");
    EXPECT_EQ(server.requests().size(), asked);
}

TEST_F(ReqDownloadCacheTest, ASessionEntryHidesAPermanentOneAndClearingRemovesIt) {
    server.route("/r", [](const ServerRequest&) { return ServerResponse::text(200, "fresh"); });
    const auto permanent = ReqHTTPRequest::requestWithURL(server.url("/r"), cache);
    permanent->setCacheStoragePolicy(ReqCachePermanentlyCacheStoragePolicy);
    permanent->startSynchronous();
    EXPECT_TRUE(cache->pathToCachedResponseDataForURL(server.url("/r")).contains("/PermanentStore/"));
    fetch("/r");
    EXPECT_TRUE(cache->pathToCachedResponseDataForURL(server.url("/r")).contains("/SessionStore/"));
    cache->clearCachedResponsesForStoragePolicy(ReqCacheForSessionDurationCacheStoragePolicy);
    EXPECT_TRUE(cache->pathToCachedResponseDataForURL(server.url("/r")).contains("/PermanentStore/"));
    cache->setDefaultCachePolicy(0);
    EXPECT_EQ(cache->defaultCachePolicy(), ReqAskServerIfModifiedWhenStaleCachePolicy);

    QFile blocker(folder.file("blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    try {
        cache->setStoragePath(folder.file("blocked"));
        ADD_FAILURE() << "a file where the folder should be is no cache";
    } catch (const ReqException& refused) {
        EXPECT_EQ(refused.name, "FileExistsAtCachePath");
    }
}

} // namespace
