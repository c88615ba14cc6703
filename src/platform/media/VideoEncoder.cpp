#include "platform/media/VideoEncoder.h"

#include "platform/media/EncoderLanes.h"
#include "platform/media/LibavSupport.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <limits>
#include <thread>

namespace platform::media {

using namespace detail;

namespace {

struct ColourDescription {
    AVColorSpace matrix;
    AVColorPrimaries primaries;
    AVColorTransferCharacteristic transfer;
    int swscaleCoefficients;
};

// HD pictures are converted as players read HD (BT.709), smaller ones as they read SD (BT.601); the stream
// names one system whole, so that a player reading the labels and one guessing from the size agree.
ColourDescription colourFor(const QSize& size, bool planarInput) {
    if (size.height() >= 720 && !planarInput) // planar frames come converted already, as SD
        return {AVCOL_SPC_BT709, AVCOL_PRI_BT709, AVCOL_TRC_BT709, SWS_CS_ITU709};
    return {AVCOL_SPC_SMPTE170M, AVCOL_PRI_SMPTE170M, AVCOL_TRC_SMPTE170M, SWS_CS_SMPTE170M};
}

// Each lane converts the frames it codes; slices on two threads keep the conversion off the lane's
// critical path when it has a single lane.
constexpr int kConversionThreads = 2;

ScalerPtr makeScaler(const QSize& size, bool planarInput) {
    ScalerPtr scaler(sws_alloc_context());
    if (!scaler)
        return scaler;
    SwsContext* c = scaler.get();
    av_opt_set_int(c, "srcw", size.width(), 0);
    av_opt_set_int(c, "srch", size.height(), 0);
    av_opt_set_int(c, "src_format", planarInput ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_BGRA, 0);
    av_opt_set_int(c, "dstw", size.width(), 0);
    av_opt_set_int(c, "dsth", size.height(), 0);
    av_opt_set_int(c, "dst_format", AV_PIX_FMT_YUV420P, 0);
    av_opt_set_int(c, "sws_flags", SWS_BILINEAR, 0);
    av_opt_set_int(c, "threads", kConversionThreads, 0);
    if (sws_init_context(c, nullptr, nullptr) < 0)
        return nullptr;
    const int* coefficients = sws_getCoefficients(colourFor(size, planarInput).swscaleCoefficients);
    // Full-range R'G'B' in (or planar frames of the same range, copied), limited-range Y'CbCr out, neither
    // brightness nor contrast changed.
    sws_setColorspaceDetails(c, coefficients, planarInput ? 0 : 1, coefficients, 0, 0, 1 << 16, 1 << 16);
    return scaler;
}

} // namespace

struct VideoEncoder::Impl {
    Settings settings;
    PacketSink sink;
    LaneFailure failure;
    std::unique_ptr<PacketJoiner> joiner;
    std::vector<std::unique_ptr<EncoderLane>> lanes;
    int64_t frameDuration = 1; // in the encoder's time base
    int64_t previousPts = std::numeric_limits<int64_t>::min();
    int64_t frames = 0;
    bool finished = false;

    CodecContextPtr openCodec(int laneCount, QString* error) const {
        const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
        if (!codec) {
            *error = QStringLiteral("The H.264 encoder \"libx264\" is not available");
            return nullptr;
        }
        CodecContextPtr encoder = makeCodecContext(codec);
        AVCodecContext* context = encoder.get();
        context->width = settings.frameSize.width();
        context->height = settings.frameSize.height();
        context->pix_fmt = AV_PIX_FMT_YUV420P;
        context->time_base = AVRational{1, settings.timescale};
        context->framerate = AVRational{settings.frameRate, 1};
        context->bit_rate = settings.bitRate;
        // Without a peak rate the encoder spends the bits that still pictures saved on the next busy
        // seconds, far beyond what the level it declares (chosen from these two) lets a decoder buffer.
        // Lanes share that buffer: a group of each, back to back, must still fit it.
        context->rc_max_rate = 2 * settings.bitRate;
        context->rc_buffer_size =
            int(std::min<int64_t>(2 * settings.bitRate / laneCount, std::numeric_limits<int>::max()));
        const ColourDescription colour = colourFor(settings.frameSize, settings.planarInput);
        context->colorspace = colour.matrix;
        context->color_primaries = colour.primaries;
        context->color_trc = colour.transfer;
        context->color_range = AVCOL_RANGE_MPEG;
        // Lanes start each group with a key frame themselves; the encoder's own count, which runs on
        // across a lane's groups, would add one more at the end of each.
        context->gop_size = laneCount > 1 ? 2 * settings.gopSize : settings.gopSize;
        context->thread_count = threadsPerLane(std::thread::hardware_concurrency(), laneCount);
        if (settings.globalHeader)
            context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        av_opt_set(context->priv_data, "preset", settings.preset.toUtf8().constData(), 0);
        av_opt_set_int(context->priv_data, "forced-idr", 1, 0); // a lane's group is closed
        const int err = avcodec_open2(context, codec, nullptr);
        if (err < 0) {
            *error = avFailure(QStringLiteral("Cannot open the H.264 encoder"), err);
            return nullptr;
        }
        return encoder;
    }

    static bool sameParameters(const AVCodecContext* a, const AVCodecContext* b) {
        return a->extradata_size == b->extradata_size && a->has_b_frames == b->has_b_frames &&
               std::equal(a->extradata, a->extradata + a->extradata_size, b->extradata);
    }

    // Lanes take turns at whole groups: while a lane's queue is short, the feeder waits on it and the lane
    // whose turn comes next stands idle. Queuing most of a group lets the feeder move on to the next lane,
    // within a bound on the memory the copies take.
    std::size_t laneQueueDepth(std::size_t laneCount) const {
        constexpr std::size_t kShortQueue = 2;
        constexpr std::size_t kQueueBytes = std::size_t(64) << 20;
        if (laneCount < 2)
            return kShortQueue;
        const std::size_t frameBytes = std::max<std::size_t>(
            std::size_t(settings.frameSize.width()) * settings.frameSize.height() * 4, 1);
        return std::clamp<std::size_t>(kQueueBytes / frameBytes, kShortQueue,
                                       std::size_t(std::max(settings.gopSize, 2)));
    }

    bool openLanes(QString* error) {
        const int wanted = std::max(1, settings.lanes);
        std::vector<CodecContextPtr> encoders;
        for (int i = 0; i < wanted; ++i) {
            CodecContextPtr encoder = openCodec(wanted, error);
            if (!encoder)
                return false;
            // One stream has one set of parameters: lanes whose differ could not be joined.
            if (!encoders.empty() && !sameParameters(encoders.front().get(), encoder.get())) {
                settings.lanes = 1;
                return openLanes(error);
            }
            encoders.push_back(std::move(encoder));
        }
        joiner = std::make_unique<PacketJoiner>(
            settings.gopSize, encoders.front()->has_b_frames, frameDuration,
            [this](AVPacket* packet, QString* sinkError) { return !sink || sink(packet, sinkError); });
        const std::size_t depth = laneQueueDepth(encoders.size());
        for (CodecContextPtr& encoder : encoders) {
            ScalerPtr scaler = makeScaler(settings.frameSize, settings.planarInput);
            if (!scaler) {
                *error = QStringLiteral("Cannot prepare the picture conversion");
                return false;
            }
            lanes.push_back(std::make_unique<EncoderLane>(std::move(encoder), std::move(scaler),
                                                          frameDuration, *joiner, failure, depth));
        }
        return true;
    }

    // The lanes convert the frames themselves, from a copy: the caller's pixels are its own again once
    // encode() returns.
    FramePtr copyOf(EncoderLane& lane, const uint8_t* pixels, int bytesPerLine, QString* error) const {
        FramePtr copy = lane.takeSpare();
        int err = 0;
        if (!copy) {
            copy = makeFrame();
            if (!copy) {
                err = AVERROR(ENOMEM);
            } else {
                copy->format = settings.planarInput ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_BGRA;
                copy->width = settings.frameSize.width();
                copy->height = settings.frameSize.height();
                err = av_frame_get_buffer(copy.get(), 0);
            }
        }
        if (err < 0) {
            *error = avFailure(QStringLiteral("Cannot prepare a picture"), err);
            return nullptr;
        }
        if (!settings.planarInput) {
            av_image_copy_plane(copy->data[0], copy->linesize[0], pixels, bytesPerLine, copy->width * 4,
                                copy->height);
            return copy;
        }
        const int chromaLine = bytesPerLine / 2;
        const uint8_t* u = pixels + std::size_t(bytesPerLine) * std::size_t(copy->height);
        const uint8_t* v = u + std::size_t(chromaLine) * std::size_t(copy->height / 2);
        av_image_copy_plane(copy->data[0], copy->linesize[0], pixels, bytesPerLine, copy->width,
                            copy->height);
        av_image_copy_plane(copy->data[1], copy->linesize[1], u, chromaLine, copy->width / 2,
                            copy->height / 2);
        av_image_copy_plane(copy->data[2], copy->linesize[2], v, chromaLine, copy->width / 2,
                            copy->height / 2);
        return copy;
    }
};

int VideoEncoder::lanesForCores(unsigned cores, const QSize& frameSize) {
    // x264 alone keeps about six of eight cores busy on small frames, its frame threads waiting on each
    // other's rows; a second encoder, on other frames, uses what the first leaves. Each encoder holds its
    // own frames in flight (about 0.3 GB at 1080p), and frames of 1080p have rows enough for one.
    constexpr qint64 kOneLanePixels = 1920 * 1080;
    if (!frameSize.isEmpty() && qint64(frameSize.width()) * frameSize.height() >= kOneLanePixels)
        return 1;
    return cores >= 8 ? 2 : 1;
}

int VideoEncoder::threadsPerLane(unsigned cores, int lanes) {
    // A single encoder on as many threads as the drawing leaves cores. Its own choice, 1.5 x cores, holds a
    // frame in flight (about 20 MB at 1080p) for every thread beyond that, threads that beside the drawing
    // mostly wait for a core.
    if (lanes > 1 || cores < 4)
        return 0;
    return int(cores * 3 / 4);
}

VideoEncoder::VideoEncoder() : d(std::make_unique<Impl>()) {}

VideoEncoder::~VideoEncoder() {
    stop();
}

bool VideoEncoder::open(const Settings& settings, QString* error) {
    initLibav();
    const QSize size = settings.frameSize;
    if (size.width() <= 0 || size.height() <= 0 || size.width() % 2 || size.height() % 2) {
        *error = QStringLiteral("The frame size %1x%2 is not a positive even size")
                     .arg(size.width())
                     .arg(size.height());
        return false;
    }
    if (settings.timescale <= 0 || settings.frameRate <= 0 || settings.gopSize <= 0 ||
        settings.bitRate <= 0) {
        *error =
            QStringLiteral("The time scale, frame rate, key frame distance and bit rate must be positive");
        return false;
    }
    d->settings = settings;
    d->frameDuration = std::max<int64_t>(1, settings.timescale / settings.frameRate);
    return d->openLanes(error);
}

const AVCodecContext* VideoEncoder::context() const {
    return d->lanes.empty() ? nullptr : d->lanes.front()->context();
}

void VideoEncoder::setPacketSink(PacketSink sink) {
    d->sink = std::move(sink);
}

bool VideoEncoder::encode(const uint8_t* bgra, int bytesPerLine, int64_t pts, QString* error) {
    if (d->failure.failed(error))
        return false;
    if (d->lanes.empty() || d->finished) {
        *error = QStringLiteral("The encoder is not open");
        return false;
    }
    if (pts <= d->previousPts) {
        *error = QStringLiteral("A frame's time (%1) is not after the previous frame's (%2)")
                     .arg(pts)
                     .arg(d->previousPts);
        return false;
    }
    if (bytesPerLine < d->settings.frameSize.width() * (d->settings.planarInput ? 1 : 4)) {
        *error = QStringLiteral("The frame's rows are shorter than its width");
        return false;
    }
    const int64_t group = d->frames / d->settings.gopSize;
    EncoderLane& lane = *d->lanes[std::size_t(group % int64_t(d->lanes.size()))];
    FramePtr copy = d->copyOf(lane, bgra, bytesPerLine, error);
    if (!copy)
        return false;
    copy->pts = pts;
    d->joiner->frameQueued(pts);
    // A single lane keeps the encoder's own choice of key frames.
    const bool startsGroup = d->lanes.size() > 1 && d->frames % d->settings.gopSize == 0;
    if (!lane.push(std::move(copy), group, startsGroup)) {
        if (!d->failure.failed(error))
            *error = QStringLiteral("The encoder stopped");
        return false;
    }
    d->previousPts = pts;
    ++d->frames;
    return true;
}

bool VideoEncoder::finish(QString* error) {
    if (d->lanes.empty() || d->finished) {
        *error = QStringLiteral("The encoder is not open");
        return false;
    }
    d->finished = true;
    for (auto& lane : d->lanes)
        lane->finish();
    if (d->failure.failed(error))
        return false;
    if (!d->joiner->complete()) {
        *error = QStringLiteral("Some pictures did not reach the movie");
        return false;
    }
    return true;
}

void VideoEncoder::stop() {
    // Every lane ends before any goes: a lane still coding would otherwise write into what the others
    // share (the joiner, the sink) while they are taken down.
    for (auto& lane : d->lanes)
        lane->requestStop();
    for (auto& lane : d->lanes)
        lane->join();
    d->lanes.clear();
}

int64_t VideoEncoder::framesEncoded() const {
    return d->frames;
}

int64_t VideoEncoder::lastPts() const {
    return d->previousPts;
}

} // namespace platform::media
