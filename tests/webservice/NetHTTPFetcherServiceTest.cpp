#include "FetcherTestSupport.h"

#include "webservice/HTTPFetcher/NetHTTPFetcherService.h"

#include <algorithm>

using namespace fetcher_test;

namespace {

class NetHTTPFetcherServiceTest : public FetcherTest {
protected:
    NetHTTPFetcherServiceTest() {
        server.route("/held", [](const ServerRequest&) {
            return ServerResponse::hold(ServerResponse::text(200, "x"));
        });
    }
    std::vector<std::shared_ptr<NetHTTPFetcher>> beginHeld(int count, std::vector<Outcome>& outcomes) {
        std::vector<std::shared_ptr<NetHTTPFetcher>> fetchers;
        outcomes.resize(size_t(count));
        for (int i = 0; i < count; ++i) {
            fetchers.push_back(service->fetcherWithURL(server.url(QStringLiteral("/held"))));
            EXPECT_TRUE(fetchers.back()->beginFetchWithDelegate(nullptr, recordInto(outcomes[size_t(i)])));
        }
        return fetchers;
    }

    std::shared_ptr<NetHTTPFetcherService> service = NetHTTPFetcherService::create();
};

TEST_F(NetHTTPFetcherServiceTest, TenFetchersRunPerHostAndTheEleventhWaitsItsTurn) {
    std::vector<Outcome> outcomes;
    const auto fetchers = beginHeld(11, outcomes);
    ASSERT_TRUE(server.waitForHeld(10));
    test_support::spinFor(100);
    EXPECT_EQ(server.heldCount(), 10);
    EXPECT_EQ(service->numberOfRunningFetchers(), 10u);
    EXPECT_EQ(service->numberOfDelayedFetchers(), 1u);
    EXPECT_TRUE(service->isDelayingFetcher(*fetchers[10]));
    EXPECT_TRUE(fetchers[10]->isFetching());

    server.releaseHeld();
    // The ten have their replies once each has been told; only then is the one held request the eleventh.
    ASSERT_TRUE(test_support::spinUntil([&] {
        const bool tenDone = std::all_of(outcomes.begin(), outcomes.begin() + 10,
                                         [](const Outcome& o) { return o.calls == 1; });
        return tenDone && server.requests().size() == 11 && server.heldCount() == 1;
    }));
    EXPECT_FALSE(service->isDelayingFetcher(*fetchers[10]));
    server.releaseHeld();
    ASSERT_TRUE(test_support::spinUntil([&] { return outcomes[10].calls == 1; }));
    for (const Outcome& outcome : outcomes)
        EXPECT_EQ(outcome.calls, 1);
    EXPECT_EQ(service->numberOfFetchers(), 0u);
}

TEST_F(NetHTTPFetcherServiceTest, WaitingFetchersStartByPriorityThenByArrival) {
    service->setMaxRunningFetchersPerHost(1);
    serve("/p5", 200, "");
    serve("/p0a", 200, "");
    serve("/p0b", 200, "");
    std::vector<Outcome> outcomes;
    beginHeld(1, outcomes);
    ASSERT_TRUE(server.waitForHeld(1));
    std::vector<Outcome> waiting(3);
    const std::pair<const char*, int> queued[] = {{"/p5", 5}, {"/p0a", 0}, {"/p0b", 0}};
    for (size_t i = 0; i < 3; ++i) {
        auto fetcher = service->fetcherWithURL(server.url(queued[i].first));
        fetcher->setServicePriority(queued[i].second);
        fetcher->beginFetchWithDelegate(nullptr, recordInto(waiting[i]));
    }
    EXPECT_EQ(service->numberOfDelayedFetchers(), 3u);
    server.releaseHeld();
    ASSERT_TRUE(test_support::spinUntil([&] { return waiting[0].calls == 1; }));
    QStringList order;
    for (const ServerRequest& request : server.requests())
        order << request.path;
    EXPECT_EQ(order, QStringList({"/held", "/p0a", "/p0b", "/p5"}));
}

TEST_F(NetHTTPFetcherServiceTest, WithoutALimitEveryFetcherStartsAtOnce) {
    service->setMaxRunningFetchersPerHost(0);
    std::vector<Outcome> outcomes;
    beginHeld(11, outcomes);
    EXPECT_TRUE(server.waitForHeld(11));
    EXPECT_EQ(service->numberOfDelayedFetchers(), 0u);
    server.releaseHeld();
    EXPECT_TRUE(test_support::spinUntil([&] {
        return std::all_of(outcomes.begin(), outcomes.end(),
                           [](const Outcome& outcome) { return outcome.calls == 1; });
    }));
}

} // namespace
