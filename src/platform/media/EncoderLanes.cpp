#include "platform/media/EncoderLanes.h"

#include "platform/foundation/ThreadJoin.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

namespace platform::media::detail {

void LaneFailure::set(const QString& message) {
    std::lock_guard lock(mutex);
    if (first.isEmpty())
        first = message.isEmpty() ? QStringLiteral("Cannot encode the pictures") : message;
}

bool LaneFailure::failed(QString* message) const {
    std::lock_guard lock(mutex);
    if (message && !first.isEmpty())
        *message = first;
    return !first.isEmpty();
}

// ---- the joiner

PacketJoiner::PacketJoiner(int groupFrames, int reorderDelay, int64_t frameDuration, Sink sink)
    : groupFrames(groupFrames), reorderDelay(reorderDelay), frameDuration(frameDuration),
      sink(std::move(sink)) {}

void PacketJoiner::frameQueued(int64_t pts) {
    std::lock_guard lock(mutex);
    framePts.push_back(pts);
}

bool PacketJoiner::take(int64_t group, AVPacket* packet, QString* error) {
    std::lock_guard lock(mutex);
    if (group != currentGroup) {
        PacketPtr kept = makePacket();
        if (!kept || av_packet_ref(kept.get(), packet) < 0) {
            *error = QStringLiteral("Cannot keep a packet of the pictures");
            return false;
        }
        early[group].push_back(std::move(kept));
        return true;
    }
    if (!write(packet, error))
        return false;
    // A group's last packet lets the next group's waiting ones out, and maybe the group after that.
    while (writtenOfGroup == groupFrames) {
        ++currentGroup;
        writtenOfGroup = 0;
        const auto waiting = early.find(currentGroup);
        if (waiting == early.end())
            break;
        for (PacketPtr& next : waiting->second)
            if (!write(next.get(), error))
                return false;
        early.erase(waiting);
    }
    return true;
}

bool PacketJoiner::write(AVPacket* packet, QString* error) {
    const int64_t n = written;
    packet->dts = n >= reorderDelay ? framePts[std::size_t(n - reorderDelay)]
                                    : framePts.front() - (reorderDelay - n) * frameDuration;
    ++written;
    ++writtenOfGroup;
    return sink(packet, error);
}

bool PacketJoiner::complete() const {
    std::lock_guard lock(mutex);
    return early.empty() && written == int64_t(framePts.size());
}

// ---- a lane

EncoderLane::EncoderLane(CodecContextPtr encoder, ScalerPtr scaler, int64_t frameDuration,
                         PacketJoiner& joiner, LaneFailure& failure, std::size_t queueDepth)
    : encoder(std::move(encoder)), scaler(std::move(scaler)), picture(makeFrame()),
      frameDuration(frameDuration), queueDepth(std::max<std::size_t>(queueDepth, 1)), joiner(joiner),
      failure(failure), packet(makePacket()), thread([this] { run(); }) {}

EncoderLane::~EncoderLane() {
    requestStop();
    join();
}

void EncoderLane::requestStop() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
        queue.clear();
    }
    changed.notify_all();
}

void EncoderLane::join() {
    joinUnlessSelf(thread, "an encoder lane");
}

bool EncoderLane::push(FramePtr frame, int64_t group, bool startsGroup) {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return stopping || queue.size() < queueDepth || failure.failed(); });
    if (stopping || failure.failed())
        return false;
    queue.push_back({std::move(frame), group, startsGroup});
    lock.unlock();
    changed.notify_all();
    return true;
}

void EncoderLane::finish() {
    {
        std::unique_lock lock(mutex);
        if (!stopping)
            queue.push_back({});
    }
    changed.notify_all();
    joinUnlessSelf(thread, "an encoder lane");
}

FramePtr EncoderLane::takeSpare() {
    std::lock_guard lock(mutex);
    if (spares.empty())
        return nullptr;
    FramePtr spare = std::move(spares.back());
    spares.pop_back();
    return spare;
}

void EncoderLane::run() {
    for (;;) {
        Item item;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return stopping || !queue.empty(); });
            if (stopping)
                return;
            item = std::move(queue.front());
            queue.pop_front();
        }
        changed.notify_all(); // room for the feeder
        const bool end = !item.frame;
        if (!code(item)) {
            std::lock_guard lock(mutex);
            stopping = true;
            queue.clear();
        }
        changed.notify_all();
        if (end)
            return;
        std::lock_guard lock(mutex);
        spares.push_back(std::move(item.frame));
    }
}

bool EncoderLane::code(Item& item) {
    if (failure.failed())
        return false;
    const AVFrame* bgra = item.frame.get();
    if (!bgra)
        return drain(nullptr);
    if (!converted(bgra))
        return false;
    realPts.push_back(bgra->pts);
    groupOfNext.push_back(item.group);
    picture->pts = laneFrames++ * frameDuration;
    picture->pict_type = item.startsGroup ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    return drain(picture.get());
}

bool EncoderLane::converted(const AVFrame* bgra) {
    AVFrame* yuv = picture.get();
    int err = 0;
    if (!yuv->buf[0]) {
        yuv->format = AV_PIX_FMT_YUV420P;
        yuv->width = encoder->width;
        yuv->height = encoder->height;
        err = av_frame_get_buffer(yuv, 0);
    } else {
        err = av_frame_make_writable(yuv); // the encoder copies its pictures: a copy is never made here
    }
    if (err >= 0)
        err = sws_scale_frame(scaler.get(), yuv, bgra);
    if (err < 0)
        failure.set(avFailure(QStringLiteral("Cannot convert a picture"), err));
    return err >= 0;
}

bool EncoderLane::drain(const AVFrame* frame) {
    QString error;
    const bool ok =
        encodeFrame(encoder.get(), frame, packet.get(), QStringLiteral("Cannot encode the pictures"), &error,
                    [&](AVPacket* ready) {
                        if (groupOfNext.empty()) {
                            error =
                                QStringLiteral("The encoder gave more packets than it was given pictures");
                            return false;
                        }
                        const int64_t group = groupOfNext.front();
                        groupOfNext.pop_front();
                        const int64_t own = ready->pts / frameDuration;
                        if (own < 0 || own >= int64_t(realPts.size())) {
                            error = QStringLiteral("The encoder gave a packet of a picture it was not given");
                            return false;
                        }
                        ready->pts = realPts[std::size_t(own)];
                        // The muxer needs every sample's length, the last one's included.
                        if (ready->duration <= 0)
                            ready->duration = frameDuration;
                        return joiner.take(group, ready, &error);
                    });
    if (!ok)
        failure.set(error);
    return ok;
}

} // namespace platform::media::detail
