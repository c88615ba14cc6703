#include "ReqTestSupport.h"

#include "platform/foundation/MainThread.h"

using namespace req_test;

namespace {

class ReqCallbackTest : public ReqRequestTest {};

TEST_F(ReqCallbackTest, EachEventReachesDelegateThenBlockThenQueueOnTheMainThread) {
    server.route("/", [](const ServerRequest&) { return ServerResponse::text(200, QByteArray(3000, 'd')); });
    const auto request = ReqHTTPRequest::requestWithURL(server.url("/"));
    QStringList order;
    bool offMain = false;
    const auto note = [&](const QString& what) {
        offMain = offMain || !platform::isMainThread();
        order << what;
    };
    Recorder recorder;
    recorder.delegate->requestStarted = [&](ReqHTTPRequest&) { note("delegate started"); };
    recorder.delegate->requestFinished = [&](ReqHTTPRequest&) { note("delegate finished"); };
    request->setDelegate(recorder.delegate);
    request->setStartedBlock([&] { note("block started"); });
    request->setCompletionBlock([&] { note("block finished"); });
    auto queue = std::make_shared<ReqRequestQueue>();
    queue->requestStarted = [&](ReqHTTPRequest&) { note("queue started"); };
    queue->requestFinished = [&](ReqHTTPRequest&) { note("queue finished"); };
    qint64 received = 0;
    queue->didReceiveBytes = [&](ReqHTTPRequest&, qint64 amount) { received += amount; };
    request->setQueue(queue);
    ASSERT_TRUE(runAsync(request));
    EXPECT_EQ(order, QStringList({"delegate started", "block started", "queue started", "delegate finished",
                                  "block finished", "queue finished"}));
    EXPECT_FALSE(offMain);
    EXPECT_EQ(received, 3000);
    EXPECT_EQ(request->responseData(), QByteArray(3000, 'd'));
}

TEST_F(ReqCallbackTest, NothingIsHeardAfterClearDelegatesAndCancel) {
    server.route("/held", [](const ServerRequest&) {
        return ServerResponse::hold(ServerResponse::text(200, "late"));
    });
    const auto request = ReqHTTPRequest::requestWithURL(server.url("/held"));
    Recorder recorder;
    request->setDelegate(recorder.delegate);
    bool blockCalled = false;
    request->setCompletionBlock([&] { blockCalled = true; });
    request->setFailedBlock([&] { blockCalled = true; });
    request->startAsynchronous();
    ASSERT_TRUE(server.waitForHeld(1));
    ASSERT_TRUE(test_support::spinUntil([&] { return recorder.events.contains("started"); }));
    request->clearDelegatesAndCancel();
    server.releaseHeld();
    ASSERT_TRUE(test_support::spinUntil([&] { return request->isFinished(); }));
    test_support::spinFor(50);
    EXPECT_EQ(recorder.events, QStringList{"started"});
    EXPECT_FALSE(blockCalled);
    EXPECT_TRUE(request->isCancelled());
    EXPECT_EQ(errorCode(request), ReqRequestCancelledErrorType);
}

TEST_F(ReqCallbackTest, TheNetworkThreadStopsAndJoinsAndComesBackWhenNeeded) {
    server.route("/", [](const ServerRequest&) { return ServerResponse::text(200, "again"); });
    ASSERT_TRUE(runAsync(ReqHTTPRequest::requestWithURL(server.url("/"))));
    EXPECT_TRUE(ReqHTTPRequest::isNetworkThreadRunning());
    ReqHTTPRequest::stopNetworkThread();
    EXPECT_FALSE(ReqHTTPRequest::isNetworkThreadRunning());
    const auto request = ReqHTTPRequest::requestWithURL(server.url("/"));
    ASSERT_TRUE(runAsync(request));
    EXPECT_EQ(request->responseString(), "again");
}

} // namespace
