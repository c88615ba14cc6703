#include "platform/media/EncoderLanes.h"
#include "platform/media/VideoEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <gtest/gtest.h>

#include <vector>

using namespace platform::media;
using namespace platform::media::detail;

namespace {

struct Stamps {
    int64_t pts, dts;
    bool operator==(const Stamps& o) const { return pts == o.pts && dts == o.dts; }
};

} // namespace

TEST(PacketJoiner, GroupsGoOutInFrameOrderStampedAsOneEncoderWould) {
    std::vector<Stamps> out;
    PacketJoiner joiner(2, 1, 1, [&](AVPacket* packet, QString*) {
        out.push_back({packet->pts, packet->dts});
        return true;
    });
    for (int64_t pts = 10; pts <= 14; ++pts)
        joiner.frameQueued(pts);
    PacketPtr packet = makePacket();
    QString error;
    const auto take = [&](int64_t group, int64_t pts) {
        packet->pts = pts;
        ASSERT_TRUE(joiner.take(group, packet.get(), &error));
    };
    take(1, 12); // a later group's lane ran ahead
    take(1, 13);
    EXPECT_TRUE(out.empty());
    take(0, 11); // coded out of display order
    take(0, 10);
    EXPECT_FALSE(joiner.complete());
    take(2, 14);
    EXPECT_TRUE(joiner.complete());
    EXPECT_EQ(out, (std::vector<Stamps>{{11, 9}, {10, 10}, {12, 11}, {13, 12}, {14, 13}}));
}

TEST(VideoEncoder, AFailedWriteEndsTheEncodingWithItsReason) {
    VideoEncoder encoder;
    VideoEncoder::Settings settings;
    settings.frameSize = QSize(64, 48);
    settings.gopSize = 5;
    settings.lanes = 2;
    QString error;
    ASSERT_TRUE(encoder.open(settings, &error)) << error.toStdString();
    int written = 0;
    encoder.setPacketSink([&](AVPacket*, QString* why) {
        if (++written < 3)
            return true;
        *why = QStringLiteral("The disc is full");
        return false;
    });
    const std::vector<uint8_t> grey(64 * 48 * 4, 0x80);
    bool refused = false;
    for (int n = 0; n < 200 && !refused; ++n)
        refused = !encoder.encode(grey.data(), 64 * 4, n, &error);
    if (!refused) {
        EXPECT_FALSE(encoder.finish(&error));
    }
    EXPECT_EQ(error, "The disc is full");
}

// How many encoders code side by side and on how many threads: a second lane only where frames are small
// enough for its frames in flight to cost little, and a single lane on fewer threads than the encoder would
// choose itself (1.5 x cores), each of which holds a frame in flight.
TEST(VideoEncoder, LanesAndThreadsKeepTheFramesInFlightBounded) {
    struct Case {
        unsigned cores;
        QSize frame;
        int lanes;
    };
    for (const Case& c :
         {Case{8, QSize(1920, 1080), 1}, Case{16, QSize(1920, 1080), 1}, Case{8, QSize(1280, 720), 2},
          Case{8, QSize(), 2}, Case{4, QSize(1280, 720), 1}, Case{4, QSize(1920, 1080), 1}}) {
        const int lanes = VideoEncoder::lanesForCores(c.cores, c.frame);
        EXPECT_EQ(lanes, c.lanes) << c.cores << " cores, " << c.frame.width() << "x" << c.frame.height();
        const int threads = VideoEncoder::threadsPerLane(c.cores, lanes);
        if (lanes == 1)
            EXPECT_TRUE(threads > 0 && threads <= int(c.cores)) << c.cores << " cores: " << threads;
        else
            EXPECT_EQ(threads, 0) << "two lanes keep the encoder's own choice";
    }
}
