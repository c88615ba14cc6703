#include "platform/media/VideoEncoder.h"

#include "platform/media/LibavSupport.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <algorithm>
#include <limits>

namespace platform::media {

using namespace detail;

namespace {

struct ColourDescription {
    AVColorSpace matrix;
    int swscaleCoefficients;
};

// HD pictures are converted as players read HD (BT.709), smaller ones as they read SD (BT.601); either way
// the stream says which.
ColourDescription colourFor(const QSize& size) {
    if (size.height() >= 720)
        return {AVCOL_SPC_BT709, SWS_CS_ITU709};
    return {AVCOL_SPC_SMPTE170M, SWS_CS_SMPTE170M};
}

// The conversion runs on the thread that feeds the encoder, one of an export's serial stages; slices on
// a few threads keep it off the critical path.
constexpr int kConversionThreads = 2;

ScalerPtr makeScaler(const QSize& size) {
    ScalerPtr scaler(sws_alloc_context());
    if (!scaler)
        return scaler;
    SwsContext* c = scaler.get();
    av_opt_set_int(c, "srcw", size.width(), 0);
    av_opt_set_int(c, "srch", size.height(), 0);
    av_opt_set_int(c, "src_format", AV_PIX_FMT_BGRA, 0);
    av_opt_set_int(c, "dstw", size.width(), 0);
    av_opt_set_int(c, "dsth", size.height(), 0);
    av_opt_set_int(c, "dst_format", AV_PIX_FMT_YUV420P, 0);
    av_opt_set_int(c, "sws_flags", SWS_BILINEAR, 0);
    av_opt_set_int(c, "threads", kConversionThreads, 0);
    if (sws_init_context(c, nullptr, nullptr) < 0)
        return nullptr;
    const int* coefficients = sws_getCoefficients(colourFor(size).swscaleCoefficients);
    // Full-range R'G'B' in, limited-range Y'CbCr out, neither brightness nor contrast changed.
    sws_setColorspaceDetails(c, coefficients, 1, coefficients, 0, 0, 1 << 16, 1 << 16);
    return scaler;
}

} // namespace

struct VideoEncoder::Impl {
    CodecContextPtr encoder;
    ScalerPtr scaler;
    FramePtr picture;
    FramePtr source; // wraps the caller's pixels for the conversion
    PacketPtr packet;
    PacketSink sink;
    int64_t frameDuration = 1; // in the encoder's time base
    int64_t previousPts = std::numeric_limits<int64_t>::min();
    int64_t frames = 0;

    bool send(const AVFrame* frame, QString* error) {
        return encodeFrame(encoder.get(), frame, packet.get(), QStringLiteral("Cannot encode the pictures"),
                           error, [&](AVPacket* ready) {
                               // The muxer needs every sample's length, the last one's included.
                               if (ready->duration <= 0)
                                   ready->duration = frameDuration;
                               return !sink || sink(ready, error);
                           });
    }

    bool openCodec(const Settings& settings, QString* error) {
        const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
        if (!codec) {
            *error = QStringLiteral("The H.264 encoder \"libx264\" is not available");
            return false;
        }
        encoder = makeCodecContext(codec);
        AVCodecContext* context = encoder.get();
        context->width = settings.frameSize.width();
        context->height = settings.frameSize.height();
        context->pix_fmt = AV_PIX_FMT_YUV420P;
        context->time_base = AVRational{1, settings.timescale};
        context->framerate = AVRational{settings.frameRate, 1};
        context->bit_rate = settings.bitRate;
        // Without a peak rate the encoder spends the bits that still pictures saved on the next busy
        // seconds, far beyond what the level it declares (chosen from these two) lets a decoder buffer.
        context->rc_max_rate = 2 * settings.bitRate;
        context->rc_buffer_size =
            int(std::min<int64_t>(2 * settings.bitRate, std::numeric_limits<int>::max()));
        const ColourDescription colour = colourFor(settings.frameSize);
        context->colorspace = colour.matrix;
        context->color_primaries = AVCOL_PRI_BT709; // our pictures' own colours
        context->color_trc = AVCOL_TRC_BT709;
        context->color_range = AVCOL_RANGE_MPEG;
        context->gop_size = settings.gopSize;
        context->thread_count = 0;
        if (settings.globalHeader)
            context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        av_opt_set(context->priv_data, "preset", settings.preset.toUtf8().constData(), 0);
        const int err = avcodec_open2(context, codec, nullptr);
        if (err < 0) {
            *error = avFailure(QStringLiteral("Cannot open the H.264 encoder"), err);
            return false;
        }
        return true;
    }
};

VideoEncoder::VideoEncoder() : d(std::make_unique<Impl>()) {}

VideoEncoder::~VideoEncoder() = default;

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
    if (!d->openCodec(settings, error))
        return false;
    d->frameDuration = std::max<int64_t>(1, settings.timescale / settings.frameRate);
    d->scaler = makeScaler(size);
    d->source = makeFrame();
    d->picture = makeFrame();
    d->picture->format = AV_PIX_FMT_YUV420P;
    d->picture->width = size.width();
    d->picture->height = size.height();
    const int err = av_frame_get_buffer(d->picture.get(), 0);
    if (!d->scaler || !d->source || err < 0) {
        *error = avFailure(QStringLiteral("Cannot prepare the picture conversion"),
                           err < 0 ? err : AVERROR(ENOMEM));
        return false;
    }
    d->packet = makePacket();
    return true;
}

const AVCodecContext* VideoEncoder::context() const {
    return d->encoder.get();
}

void VideoEncoder::setPacketSink(PacketSink sink) {
    d->sink = std::move(sink);
}

bool VideoEncoder::encode(const uint8_t* bgra, int bytesPerLine, int64_t pts, QString* error) {
    if (pts <= d->previousPts) {
        *error = QStringLiteral("A frame's time (%1) is not after the previous frame's (%2)")
                     .arg(pts)
                     .arg(d->previousPts);
        return false;
    }
    if (bytesPerLine < d->encoder->width * 4) {
        *error = QStringLiteral("The frame's rows are shorter than its width");
        return false;
    }
    // The encoder may still hold the last picture; a fresh buffer is taken then.
    int err = av_frame_make_writable(d->picture.get());
    if (err < 0) {
        *error = avFailure(QStringLiteral("Cannot prepare a picture"), err);
        return false;
    }
    AVFrame* source = d->source.get();
    source->format = AV_PIX_FMT_BGRA;
    source->width = d->encoder->width;
    source->height = d->encoder->height;
    source->data[0] = const_cast<uint8_t*>(bgra);
    source->linesize[0] = bytesPerLine;
    err = sws_scale_frame(d->scaler.get(), d->picture.get(), source);
    source->data[0] = nullptr;
    if (err < 0) {
        *error = avFailure(QStringLiteral("Cannot convert a picture"), err);
        return false;
    }
    d->picture->pts = pts;
    d->previousPts = pts;
    ++d->frames;
    return d->send(d->picture.get(), error);
}

bool VideoEncoder::finish(QString* error) {
    return d->send(nullptr, error);
}

int64_t VideoEncoder::framesEncoded() const {
    return d->frames;
}

int64_t VideoEncoder::lastPts() const {
    return d->previousPts;
}

} // namespace platform::media
