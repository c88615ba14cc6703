#include "ReqTestSupport.h"

#include "http/ReqBandwidthThrottle.h"

#include <QElapsedTimer>

using namespace req_test;

namespace {

class ReqThrottlingTest : public ReqRequestTest {
protected:
    void SetUp() override { ReqBandwidthThrottle::resetForTesting(); }
    void TearDown() override {
        ReqBandwidthThrottle::resetForTesting();
        ReqRequestTest::TearDown();
    }
};

TEST_F(ReqThrottlingTest, FiftyThousandBytesAtTwentyThousandASecondTakeTwoSeconds) {
    server.route("/big",
                 [](const ServerRequest&) { return ServerResponse::text(200, QByteArray(50000, 't')); });
    ReqHTTPRequest::setMaxBandwidthPerSecond(20000);
    const auto request = ReqHTTPRequest::requestWithURL(server.url("/big"));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(runAsync(request));
    EXPECT_GE(clock.elapsed(), 2000);
    EXPECT_EQ(request->responseData().size(), 50000);
    EXPECT_GT(ReqHTTPRequest::averageBandwidthUsedPerSecond(), 0u);
}

} // namespace
