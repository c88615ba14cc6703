#include "webservice/HTTPFetcher/NetGatherInputStream.h"
#include "webservice/HTTPFetcher/NetReadMonitorInputStream.h"

#include "StreamTestSupport.h"
#include "support/TestEnvironment.h"

#include <QBuffer>
#include <QThread>
#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(NetGatherInputStreamTest, ReadsAcrossBuffersAndLetsThemGoOnClose) {
    NetGatherInputStream stream({"ab", "", "cde", "", "f"});
    EXPECT_FALSE(stream.open(QIODevice::ReadWrite));
    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    EXPECT_EQ(stream.bytesAvailable(), 6);
    EXPECT_EQ(stream.read(4), "abcd");
    EXPECT_EQ(stream.bytesAvailable(), 2);
    EXPECT_EQ(stream.read(4), "ef");
    EXPECT_TRUE(stream.atEnd());
    EXPECT_EQ(stream.read(4), "");
    stream.close();
    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    EXPECT_EQ(stream.bytesAvailable(), 0) << "a closed stream has given up its buffers";
}

struct Report {
    QByteArray bytes;
    bool onMonitorThread;
    bool beforeReadReturned;
};

class NetReadMonitorInputStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        inner->setData("0123456789");
        monitor.setReadHandler([this](NetReadMonitorInputStream& stream, const char* bytes, qint64 length) {
            EXPECT_EQ(&stream, &monitor);
            reports.push_back(
                {QByteArray(bytes, length), QThread::currentThread() == monitor.thread(), reading});
        });
        ASSERT_TRUE(monitor.open(QIODevice::ReadOnly));
        ASSERT_TRUE(inner->isOpen());
    }

    std::shared_ptr<QBuffer> inner = std::make_shared<QBuffer>();
    NetReadMonitorInputStream monitor{inner};
    std::vector<Report> reports;
    bool reading = false;
};

TEST_F(NetReadMonitorInputStreamTest, OnItsOwnThreadEachReadIsReportedAtOnce) {
    reading = true;
    EXPECT_EQ(monitor.read(4), "0123");
    EXPECT_EQ(monitor.read(100), "456789");
    EXPECT_EQ(monitor.read(4), "") << "an empty read is not reported";
    reading = false;
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].bytes, "0123");
    EXPECT_EQ(reports[1].bytes, "456789");
    EXPECT_TRUE(reports[0].onMonitorThread && reports[0].beforeReadReturned);
}

TEST_F(NetReadMonitorInputStreamTest, ReadsOnAnotherThreadAreReportedLaterOnTheMonitorsThreadWithACopy) {
    QByteArray read;
    std::thread reader([&] {
        char buffer[3];
        qint64 count = 0;
        while ((count = monitor.read(buffer, sizeof buffer)) > 0) {
            read.append(buffer, count);
            std::fill(std::begin(buffer), std::end(buffer), 'x'); // the reports must not see this
        }
    });
    reader.join();
    EXPECT_EQ(read, "0123456789");
    EXPECT_TRUE(reports.empty()) << "nothing is reported before the monitor's thread turns its loop";
    ASSERT_TRUE(test_support::spinUntil([&] { return reports.size() == 4; }));
    QByteArray reported;
    for (const Report& report : reports) {
        EXPECT_TRUE(report.onMonitorThread);
        reported += report.bytes;
    }
    EXPECT_EQ(reported, "0123456789");
}

} // namespace
