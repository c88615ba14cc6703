#pragma once

#include "platform/media/LibavSupport.h"

#include <QString>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace platform::media::detail {

// What the lanes report to the encoder that feeds them: the first failure of any of them.
class LaneFailure {
public:
    void set(const QString& message);
    bool failed(QString* message = nullptr) const;

private:
    mutable std::mutex mutex;
    QString first;
};

// Puts the packets of the lanes back into one stream. The frames are dealt out in groups of consecutive
// frames, each coded by one lane as a closed group of pictures; the groups go out in the order their frames
// came, each packet's decode time numbered as a single encoder numbers it (the time of the frame that many
// frames earlier, the reorder delay), so the joined stream is one stream to every reader.
class PacketJoiner {
public:
    using Sink = std::function<bool(AVPacket*, QString* error)>;

    PacketJoiner(int groupFrames, int reorderDelay, int64_t frameDuration, Sink sink);

    // Before the frame goes to its lane, in the order of the frames.
    void frameQueued(int64_t pts);
    // From a lane, in the order it codes; the packet is left to the caller.
    bool take(int64_t group, AVPacket* packet, QString* error);
    // Every queued frame's packet has gone out.
    bool complete() const;

private:
    bool write(AVPacket* packet, QString* error);

    const int groupFrames;
    const int reorderDelay;
    const int64_t frameDuration;
    const Sink sink;
    mutable std::mutex mutex;
    std::vector<int64_t> framePts;
    std::map<int64_t, std::vector<PacketPtr>> early; // packets of later groups, kept until their turn
    int64_t currentGroup = 0;
    int writtenOfGroup = 0;
    int64_t written = 0;
};

// One encoder on its own thread, converting the BGRA frames it is handed and coding them with stamps of
// its own (one frame after another, whatever the frames' real times), which its packets get back on the
// way out.
class EncoderLane {
public:
    // `queueDepth`: the frames it takes before push() waits.
    EncoderLane(CodecContextPtr encoder, ScalerPtr scaler, int64_t frameDuration, PacketJoiner& joiner,
                LaneFailure& failure, std::size_t queueDepth);
    ~EncoderLane(); // stops at once, dropping what is still queued
    EncoderLane(const EncoderLane&) = delete;
    EncoderLane& operator=(const EncoderLane&) = delete;

    const AVCodecContext* context() const { return encoder.get(); }
    // Waits while the lane is busy with the frames it already has. False once the lanes have failed.
    bool push(FramePtr frame, int64_t group, bool startsGroup);
    // Codes what is queued, flushes the encoder and ends the thread.
    void finish();
    // Asks the thread to stop after what it is coding now, dropping what is still queued; join() waits for
    // it. Lanes that share a sink are all asked before any is waited for, so that none goes on alone.
    void requestStop();
    void join();
    // A spare BGRA frame, or null; the caller copies into it.
    FramePtr takeSpare();

private:
    struct Item {
        FramePtr frame; // null: the end
        int64_t group = 0;
        bool startsGroup = false;
    };

    void run();
    bool code(Item& item);
    bool converted(const AVFrame* bgra);
    bool drain(const AVFrame* frame);

    CodecContextPtr encoder;
    ScalerPtr scaler;
    FramePtr picture; // the converted frame, which the encoder copies
    const int64_t frameDuration;
    const std::size_t queueDepth;
    PacketJoiner& joiner;
    LaneFailure& failure;
    PacketPtr packet;
    std::vector<int64_t> realPts;    // by the lane's own frame number
    std::deque<int64_t> groupOfNext; // the group of each frame whose packet is still to come
    int64_t laneFrames = 0;

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Item> queue;
    std::vector<FramePtr> spares;
    bool stopping = false;
    std::thread thread;
};

} // namespace platform::media::detail
