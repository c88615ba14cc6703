#include "ReqTestSupport.h"

#include "http/ReqNetworkQueue.h"
#include "support/LoopbackSocket.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace req_test;

namespace {

struct NotARequest : platform::Operation {
    void start() override {}
    void cancel() override {}
    bool isExecuting() const override { return false; }
    bool isFinished() const override { return false; }
    bool isCancelled() const override { return false; }
};

// Takes uploads to /upload. The first attempt's connection is not read until the test says so, so that the
// request's first status check finds only what the connection's buffers took; then its body is read and never
// answered. Later attempts are read at once and answered.
class FirstUploadReadLate {
public:
    ~FirstUploadReadLate() {
        std::lock_guard lock(mutex);
        stopping = true;
        changed.notify_all();
    }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/upload").arg(loop.port())); }
    void readFirst() {
        std::lock_guard lock(mutex);
        reading = true;
        changed.notify_all();
    }
    int attempts() const { return loop.acceptedCount(); }

private:
    void serve(test_support::Connection& connection) {
        std::unique_lock lock(mutex);
        const bool first = !servedOne;
        servedOne = true;
        changed.wait(lock, [&] { return stopping || reading || !first; });
        lock.unlock();
        test_support::MessageReader reader(connection);
        const std::optional<QByteArray> head = reader.readHead();
        if (!head || !reader.readBody(contentLength(*head)))
            return;
        if (!first) {
            connection.writeAll("HTTP/1.1 200 OK\r\nContent-Length: 6\r\nConnection: close\r\n\r\nstored");
            return;
        }
        lock.lock();
        changed.wait(lock, [&] { return stopping; });
    }
    static qint64 contentLength(const QByteArray& head) {
        for (const QByteArray& line : head.split('\n'))
            if (line.toLower().startsWith("content-length:"))
                return line.mid(15).trimmed().toLongLong();
        return 0;
    }

    std::mutex mutex;
    std::condition_variable changed;
    bool servedOne = false;
    bool reading = false;
    bool stopping = false;
    test_support::AcceptLoop loop{
        [this](std::shared_ptr<test_support::Connection> connection) { serve(*connection); }};
};

class ReqNetworkQueueTest : public ReqRequestTest {
protected:
    void SetUp() override { listenTo(*queue); }

    void listenTo(ReqNetworkQueue& listened) {
        delegate->requestFailed = [this](ReqHTTPRequest& request) {
            failures << request.error().value_or(platform::Error()).code;
        };
        delegate->requestFinished = [this](ReqHTTPRequest&) { ++finishes; };
        delegate->queueFinished = [this](ReqNetworkQueue&) { ++queueEnds; };
        listened.setDelegate(delegate);
        listened.requestDidFailSelector.set(&ReqHTTPRequestDelegate::requestFailed);
        listened.requestDidFinishSelector.set(&ReqHTTPRequestDelegate::requestFinished);
        listened.queueDidFinishSelector.set(&ReqNetworkQueueDelegate::queueFinished);
    }

    std::shared_ptr<ReqNetworkQueue> queue = ReqNetworkQueue::queue();
    std::shared_ptr<ReqNetworkQueueDelegate> delegate = std::make_shared<ReqNetworkQueueDelegate>();
    QList<qint64> failures;
    int finishes = 0;
    int queueEnds = 0;
};

TEST_F(ReqNetworkQueueTest, OnlyRequestsMayJoin) {
    try {
        queue->addOperation(std::make_shared<NotARequest>());
        ADD_FAILURE() << "a plain operation joined the queue";
    } catch (const ReqException& refused) {
        EXPECT_EQ(refused.name, "AttemptToAddInvalidRequest");
        EXPECT_EQ(refused.reason,
                  "Attempted to add an object that was not an ReqHTTPRequest to an ReqNetworkQueue");
    }
    EXPECT_EQ(queue->requestsCount(), 0);
}

TEST_F(ReqNetworkQueueTest, OneFailureCancelsTheRestAndTheQueueEndsOnce) {
    server.route("/broken", [](const ServerRequest&) { return ServerResponse::closeAfterRequest(); });
    server.route("/held", [](const ServerRequest&) {
        return ServerResponse::hold(ServerResponse::text(200, "late"));
    });
    for (int i = 0; i < 4; ++i)
        queue->addOperation(ReqHTTPRequest::requestWithURL(server.url("/held")));
    queue->addOperation(ReqHTTPRequest::requestWithURL(server.url("/broken")));
    EXPECT_EQ(queue->requestsCount(), 5);
    queue->setMaxConcurrentOperationCount(5);
    queue->go();
    ASSERT_TRUE(test_support::spinUntil([&] { return queueEnds > 0; }));
    test_support::spinFor(100);
    EXPECT_EQ(queueEnds, 1);
    EXPECT_EQ(finishes, 0);
    std::sort(failures.begin(), failures.end());
    EXPECT_EQ(failures, QList<qint64>({ReqConnectionFailureErrorType, ReqRequestCancelledErrorType,
                                       ReqRequestCancelledErrorType, ReqRequestCancelledErrorType,
                                       ReqRequestCancelledErrorType}));
    EXPECT_EQ(queue->requestsCount(), 0);
}

TEST_F(ReqNetworkQueueTest, AccurateProgressLearnsSizesFirst) {
    server.route("/sized",
                 [](const ServerRequest&) { return ServerResponse::text(200, QByteArray(1000, 's')); });
    float shown = -1;
    const auto indicator = std::make_shared<ReqProgressDelegate>();
    indicator->setProgress = [&](float value) { shown = value; };
    queue->setShowAccurateProgress(true);
    queue->setDownloadProgressDelegate(indicator);
    queue->addOperation(ReqHTTPRequest::requestWithURL(server.url("/sized")));
    queue->go();
    ASSERT_TRUE(test_support::spinUntil([&] { return queueEnds == 1; }));
    test_support::spinFor(50);
    ASSERT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(server.requests()[0].method, "HEAD");
    EXPECT_EQ(server.requests()[1].method, "GET");
    EXPECT_EQ(queue->totalBytesToDownload(), 1000u);
    EXPECT_EQ(queue->bytesDownloadedSoFar(), 1000u);
    EXPECT_FLOAT_EQ(shown, 1.0f);

    // Added to a running queue, a request gets no size probe.
    server.clearLog();
    queue->addOperation(ReqHTTPRequest::requestWithURL(server.url("/sized")));
    ASSERT_TRUE(test_support::spinUntil([&] { return queueEnds == 2; }));
    EXPECT_EQ(server.requests().size(), 1u);
}

// An upload retried after a time-out takes back what that attempt had reported, no more and no less: counted
// as one unit that is nothing, counted in bytes it is the whole body the stalled server read. The time-out
// may come at the first status check after the one that reported the body: the take-back does not wait for
// another check to have seen those bytes.
TEST_F(ReqNetworkQueueTest, AnUploadRetriedAfterATimeOutEndsTheQueuesUploadAtOne) {
    const struct {
        bool accurate;
        int retries;
    } cases[] = {{false, 1}, {false, 2}, {true, 1}, {true, 2}};
    const QByteArray body(200000, 'u');
    const double timeOut = 5.0;
    std::atomic<int> attempts{0};
    QList<float> shown;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.retries << " retries, progress " << (c.accurate ? "in bytes" : "as a unit"));
        HeldRequestTime time;
        attempts = 0;
        shown.clear();
        queue = ReqNetworkQueue::queue();
        listenTo(*queue);
        finishes = queueEnds = 0;
        queue->setShowAccurateProgress(c.accurate);
        server.route("/upload", [&](const ServerRequest&) {
            return ++attempts <= c.retries ? ServerResponse::stall() : ServerResponse::text(200, "stored");
        });
        const auto indicator = std::make_shared<ReqProgressDelegate>();
        indicator->setProgress = [&](float value) { shown << value; };
        queue->setUploadProgressDelegate(indicator);
        const auto request = ReqHTTPRequest::requestWithURL(server.url("/upload"));
        request->appendPostData(body);
        request->setTimeOutSeconds(timeOut);
        request->setNumberOfTimesToRetryOnTimeout(c.retries);
        int reports = 0;
        request->setBytesSentBlock([&](qint64 amount, quint64) { reports += amount > 0 ? 1 : 0; });
        queue->addOperation(request);
        queue->go();
        for (int stalled = 1; stalled <= c.retries; ++stalled) {
            // The server holds the whole body; in bytes, the attempt has reported it.
            ASSERT_TRUE(test_support::spinUntil(
                [&] { return attempts >= stalled && (!c.accurate || reports >= stalled); }));
            time.passTimeOut(timeOut);
        }
        ASSERT_TRUE(test_support::spinUntil([&] { return queueEnds == 1; }));
        test_support::spinFor(50);
        EXPECT_EQ(attempts.load(), c.retries + 1);
        EXPECT_EQ(finishes, 1);
        const quint64 size = c.accurate ? quint64(body.size()) : 1u;
        EXPECT_EQ(queue->totalBytesToUpload(), size);
        EXPECT_EQ(queue->bytesUploadedSoFar(), size);
        ASSERT_FALSE(shown.isEmpty());
        EXPECT_FLOAT_EQ(shown.back(), 1.0f);
        EXPECT_GE(*std::min_element(shown.begin(), shown.end()), 0.0f);
        EXPECT_LE(*std::max_element(shown.begin(), shown.end()), 1.0f);
    }
}

// What the connection took at once stays out of the queue's total, so every attempt leaves it out of its
// progress: a retry whose first status check finds the whole body sent shows the whole, not more.
TEST_F(ReqNetworkQueueTest, AnUploadWhoseFirstCheckFoundOnlyItsSendBufferNeverShowsMoreThanTheWhole) {
    HeldRequestTime time;
    FirstUploadReadLate late;
    const QByteArray body(16 << 20, 'u');
    // Each attempt sends 16 MB: a loaded machine takes seconds over them.
    const int attemptBoundMs = 120000;
    const double timeOut = 5.0;
    QList<float> shown;
    const auto indicator = std::make_shared<ReqProgressDelegate>();
    indicator->setProgress = [&](float value) { shown << value; };
    queue->setShowAccurateProgress(true);
    queue->setUploadProgressDelegate(indicator);
    const auto request = ReqHTTPRequest::requestWithURL(late.url());
    request->appendPostData(body);
    request->setTimeOutSeconds(timeOut);
    request->setNumberOfTimesToRetryOnTimeout(1);
    queue->addOperation(request);
    queue->go();
    // The first check took what the buffers hold for the buffer, and out of the total.
    ASSERT_TRUE(test_support::spinUntil([&] { return queue->totalBytesToUpload() < quint64(body.size()); }));
    late.readFirst();
    ASSERT_TRUE(test_support::spinUntil(
        [&] { return queue->bytesUploadedSoFar() == queue->totalBytesToUpload(); }, attemptBoundMs));
    time.passTimeOut(timeOut);
    ASSERT_TRUE(test_support::spinUntil([&] { return queueEnds == 1; }, attemptBoundMs));
    EXPECT_EQ(late.attempts(), 2);
    EXPECT_EQ(finishes, 1);
    EXPECT_EQ(queue->bytesUploadedSoFar(), queue->totalBytesToUpload());
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_FLOAT_EQ(shown.back(), 1.0f);
    EXPECT_LE(*std::max_element(shown.begin(), shown.end()), 1.0f);
}

TEST_F(ReqNetworkQueueTest, CountersHoldWithRequestsAddedFromManyThreads) {
    std::vector<std::thread> adders;
    for (int t = 0; t < 4; ++t)
        adders.emplace_back([this] {
            for (int i = 0; i < 25; ++i)
                queue->addOperation(ReqHTTPRequest::requestWithURL(server.url("/never")));
        });
    for (std::thread& adder : adders)
        adder.join();
    EXPECT_EQ(queue->requestsCount(), 100);
    EXPECT_EQ(queue->totalBytesToDownload(), 100u);
    EXPECT_EQ(queue->totalBytesToUpload(), 100u);
    EXPECT_EQ(queue->operationCount(), 100);
    queue->cancelAllOperations();
    EXPECT_TRUE(test_support::spinUntil([&] { return queue->requestsCount() == 0; }));
    EXPECT_EQ(queueEnds, 1);
    EXPECT_EQ(queue->totalBytesToDownload(), 0u);
    // The ended requests stay in the suspended queue but hold it no more: it goes with its owner.
    const std::weak_ptr<ReqNetworkQueue> held = queue;
    queue.reset();
    EXPECT_TRUE(held.expired());
}

} // namespace
