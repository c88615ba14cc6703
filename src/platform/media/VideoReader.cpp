#include "platform/media/VideoReader.h"

#include "platform/gl/DriverLock.h"
#include "platform/media/LibavSupport.h"

#include <QTransform>
#include <algorithm>
#include <cmath>
#include <deque>
#include <optional>

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace platform::media {

using namespace detail;

namespace {

// The converter makes every pixel opaque from pictures without transparency (YUV and grey); from the others
// it carries over their alpha, or whatever their padding byte held.
bool mayLeaveTransparency(AVPixelFormat format) {
    const AVPixFmtDescriptor* description = av_pix_fmt_desc_get(format);
    return !description ||
           (description->flags & (AV_PIX_FMT_FLAG_ALPHA | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_RGB)) != 0;
}

// A decoder joins its threads as it closes: a join, checked as every other against the lock order.
void checkFreeToClose(bool decoding) {
    if (decoding)
        gl::DriverLock::checkFreeToJoin("a clip decoder's threads");
}

// How far the last frame may stand before the pictures' length: the longer of these.
constexpr double kShortEndSlackSeconds = 0.5;
constexpr double kShortEndSlackFrames = 3.0;

void makeOpaque(uchar* bgra, int bytesPerLine, int width, int height) {
    for (int y = 0; y < height; ++y) {
        uchar* row = bgra + qsizetype(y) * bytesPerLine;
        for (int x = 0; x < width; ++x)
            row[x * 4 + 3] = 0xFF;
    }
}

} // namespace

struct VideoReader::Impl {
    QString path;
    QString error;
    InputPtr input;
    CodecContextPtr decoder;
    SwsContext* scaler = nullptr; // kept by sws_getCachedContext, freed here
    PacketPtr packet;
    const AVStream* stream = nullptr;
    std::deque<FramePtr> ready; // decoded frames to hand out before decoding more
    bool inputEnded = false;
    bool ended = false;
    bool failed = false;
    int badPackets = 0;
    MediaTime lastTime; // of the last frame handed out, when it had one

    ~Impl() { sws_freeContext(scaler); }

    bool fail(const QString& message) {
        error = message;
        failed = true;
        return false;
    }

    bool openFile() {
        error.clear();
        failed = ended = inputEnded = false;
        badPackets = 0;
        lastTime = MediaTime::invalid();
        ready.clear();
        input = openInput(path, &error);
        if (!input)
            return fail(error);
        stream = nullptr;
        for (unsigned i = 0; i < input->nb_streams && !stream; ++i) {
            const AVStream* candidate = input->streams[i];
            if (candidate->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
                !(candidate->disposition & AV_DISPOSITION_ATTACHED_PIC))
                stream = candidate;
        }
        if (!stream)
            return fail(QStringLiteral("\"%1\" holds no pictures").arg(path));
        if (stream->codecpar->width <= 0 || stream->codecpar->height <= 0)
            return fail(QStringLiteral("The pictures of \"%1\" have no size").arg(path));
        decoder = openDecoder(stream, &error);
        if (!decoder)
            return fail(error);
        packet = makePacket();
        return true;
    }

    MediaTime timeOf(const AVFrame* decoded) const {
        const int64_t stamp = decoded->best_effort_timestamp;
        if (stamp == AV_NOPTS_VALUE)
            return MediaTime::invalid();
        if (stream->time_base.num == 1)
            return {stamp, stream->time_base.den};
        return {av_rescale_q(stamp, stream->time_base, AVRational{1, 90000}), 90000};
    }

    bool feedDecoder() {
        const FeedResult fed =
            detail::feedDecoder(input.get(), decoder.get(), packet.get(), stream->index, badPackets);
        if (fed.readError < 0) // the end, or a damaged tail: the pictures end where the file breaks
            inputEnded = true;
        if (fed.refused < 0)
            return fail(
                avFailure(QStringLiteral("Cannot decode the pictures of \"%1\"").arg(path), fed.refused));
        return true;
    }

    // The next decoded frame in presentation order, or null at the end or on failure.
    FramePtr decodeNext() {
        FramePtr decoded = makeFrame();
        while (!ended && !failed) {
            const int err = avcodec_receive_frame(decoder.get(), decoded.get());
            if (err == 0)
                return decoded;
            if (err == AVERROR_EOF) {
                ended = true;
            } else if (err != AVERROR(EAGAIN)) {
                fail(avFailure(QStringLiteral("Cannot decode the pictures of \"%1\"").arg(path), err));
            } else if (inputEnded) {
                ended = true; // a decoder that wants input after the end has nothing more to give
            } else {
                feedDecoder();
            }
        }
        return nullptr;
    }

    FramePtr nextFrame() {
        FramePtr next;
        if (!ready.empty()) {
            next = std::move(ready.front());
            ready.pop_front();
        } else if (input && !failed) {
            next = decodeNext();
        }
        if (const MediaTime time = next ? timeOf(next.get()) : MediaTime::invalid(); time.isValid())
            lastTime = time;
        return next;
    }

    // The time of the last packet of the pictures that the file's index lists: every packet in an MPEG-4
    // or QuickTime file, some key frames in others. Unlike the length the file tells, it never lies past a
    // last frame that lasts long, nor past the sound.
    std::optional<double> lastListedSeconds() const {
        AVStream* indexed = input->streams[stream->index];
        const int count = avformat_index_get_entries_count(indexed);
        const AVIndexEntry* last = count > 0 ? avformat_index_get_entry(indexed, count - 1) : nullptr;
        if (!last)
            return std::nullopt;
        return double(last->timestamp) * av_q2d(stream->time_base);
    }

    bool convert(const AVFrame* decoded, uchar* bgra, int bytesPerLine) {
        const int width = stream->codecpar->width;
        const int height = stream->codecpar->height;
        const auto format = static_cast<AVPixelFormat>(decoded->format);
        scaler = sws_getCachedContext(scaler, decoded->width, decoded->height, format, width, height,
                                      AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!scaler)
            return fail(QStringLiteral("Cannot convert the pictures of \"%1\"").arg(path));
        const bool fullRange = decoded->color_range == AVCOL_RANGE_JPEG || format == AV_PIX_FMT_YUVJ420P ||
                               format == AV_PIX_FMT_YUVJ422P || format == AV_PIX_FMT_YUVJ444P;
        const int space = decoded->colorspace == AVCOL_SPC_UNSPECIFIED ? SWS_CS_DEFAULT : decoded->colorspace;
        sws_setColorspaceDetails(scaler, sws_getCoefficients(space), fullRange ? 1 : 0,
                                 sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
        uint8_t* planes[4] = {bgra, nullptr, nullptr, nullptr};
        const int strides[4] = {bytesPerLine, 0, 0, 0};
        const int rows =
            sws_scale(scaler, decoded->data, decoded->linesize, 0, decoded->height, planes, strides);
        if (rows <= 0)
            return fail(QStringLiteral("Cannot convert the pictures of \"%1\"").arg(path));
        if (mayLeaveTransparency(format))
            makeOpaque(bgra, bytesPerLine, width, height);
        return true;
    }

    bool seekTo(const MediaTime& time) {
        if (!input && !openFile())
            return false;
        const double seconds = time.isValid() ? std::max(time.seconds(), 0.0) : 0.0;
        // Frame times are those of the file's own timeline, so the target needs no shift by the start.
        const int64_t stamp =
            av_rescale_q(std::llround(seconds * 1000000.0), AVRational{1, 1000000}, stream->time_base);
        ready.clear();
        if (av_seek_frame(input.get(), stream->index, stamp, AVSEEK_FLAG_BACKWARD) >= 0) {
            avcodec_flush_buffers(decoder.get());
            failed = ended = inputEnded = false;
        } else if (!openFile()) {
            return false;
        }
        return decodeUpTo(time);
    }

    // Decodes forward and leaves the frame shown at time, then its successor, at the front of the queue.
    bool decodeUpTo(const MediaTime& time) {
        FramePtr shown;
        while (FramePtr decoded = decodeNext()) {
            if (shown && timeOf(decoded.get()) > time) {
                ready.push_back(std::move(shown));
                ready.push_back(std::move(decoded));
                return true;
            }
            shown = std::move(decoded);
        }
        if (shown)
            ready.push_back(std::move(shown));
        return !failed;
    }
};

VideoReader::VideoReader() : d(std::make_unique<Impl>()) {}

VideoReader::~VideoReader() {
    checkFreeToClose(d->decoder != nullptr);
}

bool VideoReader::open(const QString& path) {
    close();
    d->path = path;
    return d->openFile() || closeKeepingError(d);
}

void VideoReader::close() {
    checkFreeToClose(d->decoder != nullptr);
    d = std::make_unique<Impl>();
}

bool VideoReader::isOpen() const {
    return d->input != nullptr;
}

QSize VideoReader::size() const {
    return d->stream ? QSize(d->stream->codecpar->width, d->stream->codecpar->height) : QSize();
}

int VideoReader::rotation() const {
    return d->stream ? streamRotation(d->stream) : 0;
}

double VideoReader::frameRate() const {
    if (!d->stream)
        return 0.0;
    const AVRational rate =
        d->stream->avg_frame_rate.num > 0 ? d->stream->avg_frame_rate : d->stream->r_frame_rate;
    return rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0.0;
}

MediaTime VideoReader::duration() const {
    if (!d->stream)
        return MediaTime::invalid();
    if (d->stream->duration != AV_NOPTS_VALUE && d->stream->duration > 0)
        return MediaTime::fromSeconds(static_cast<double>(d->stream->duration) *
                                      av_q2d(d->stream->time_base));
    if (d->input->duration != AV_NOPTS_VALUE)
        return MediaTime::fromSeconds(static_cast<double>(d->input->duration) / AV_TIME_BASE);
    return MediaTime::invalid();
}

bool VideoReader::readFrame(VideoFrame& frame) {
    FramePtr decoded = d->nextFrame();
    if (!decoded)
        return false;
    QImage image(size(), QImage::Format_ARGB32);
    if (image.isNull())
        return d->fail(QStringLiteral("Not enough memory for a picture of \"%1\"").arg(d->path));
    if (!d->convert(decoded.get(), image.bits(), static_cast<int>(image.bytesPerLine())))
        return false;
    frame.image = std::move(image);
    frame.time = d->timeOf(decoded.get());
    return true;
}

bool VideoReader::readFrame(uchar* bgra, int bytesPerLine, MediaTime* time) {
    if (bytesPerLine < size().width() * 4)
        return d->fail(QStringLiteral("The rows of the buffer are too short for the pictures"));
    FramePtr decoded = d->nextFrame();
    if (!decoded || !d->convert(decoded.get(), bgra, bytesPerLine))
        return false;
    if (time)
        *time = d->timeOf(decoded.get());
    return true;
}

bool VideoReader::seek(const MediaTime& time) {
    if (d->path.isEmpty())
        return d->fail(QStringLiteral("No file is open"));
    return d->seekTo(time);
}

QImage VideoReader::frameAt(double seconds) {
    VideoFrame frame;
    if (!seek(MediaTime::fromSeconds(seconds, 90000)) || !readFrame(frame))
        return {};
    return frame.image;
}

bool VideoReader::atEnd() const {
    return !d->input || d->failed || (d->ended && d->ready.empty());
}

bool VideoReader::endedShort() const {
    if (!d->input || !atEnd())
        return false;
    if (d->failed)
        return true;
    std::optional<double> end = d->lastListedSeconds();
    if (!end && duration().isValid())
        end = duration().seconds();
    if (!end || !d->lastTime.isValid())
        return false;
    const double rate = frameRate();
    const double slack = std::max(kShortEndSlackSeconds, rate > 0.0 ? kShortEndSlackFrames / rate : 0.0);
    return d->lastTime.seconds() < *end - slack;
}

QString VideoReader::errorString() const {
    return d->error;
}

QImage VideoReader::thumbnailAt(const QString& path, double seconds, QString* error) {
    VideoReader reader;
    QImage picture;
    if (reader.open(path))
        picture = reader.frameAt(seconds);
    if (picture.isNull()) {
        if (error)
            *error = reader.errorString().isEmpty()
                         ? QStringLiteral("\"%1\" has no picture at %2 s").arg(path).arg(seconds)
                         : reader.errorString();
        return {};
    }
    if (reader.rotation() != 0)
        picture = picture.transformed(QTransform().rotate(reader.rotation()));
    return picture;
}

} // namespace platform::media
