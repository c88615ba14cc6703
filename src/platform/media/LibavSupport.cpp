#include "platform/media/LibavSupport.h"

#include "platform/foundation/FileUtils.h"
#include "platform/foundation/UniqueFd.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <memory>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavutil/display.h>
}

namespace platform::media::detail {

namespace {
constexpr int kMaxConsecutiveBadPackets = 64;
constexpr int kReadBufferSize = 1 << 16;

// The one file an input reads, through a descriptor of ours. It reads at a place of its own, so that it may
// share its open file with others (a duplicate of a caller's descriptor shares the offset).
struct FileSource {
    UniqueFd fd;
    int64_t position = 0;
    AVIOContext* io = nullptr;

    ~FileSource() {
        if (io)
            av_freep(&io->buffer);
        avio_context_free(&io);
    }

    static int read(void* opaque, uint8_t* buffer, int size) {
        auto* source = static_cast<FileSource*>(opaque);
        ssize_t got;
        do
            got = ::pread(source->fd.get(), buffer, std::size_t(size), off_t(source->position));
        while (got < 0 && errno == EINTR);
        if (got < 0)
            return AVERROR(errno);
        source->position += got;
        return got == 0 ? AVERROR_EOF : int(got);
    }

    static int64_t seek(void* opaque, int64_t offset, int whence) {
        auto* source = static_cast<FileSource*>(opaque);
        const auto size = [source]() -> int64_t {
            struct stat st {};
            return ::fstat(source->fd.get(), &st) == 0 ? int64_t(st.st_size) : AVERROR(errno);
        };
        if (whence & AVSEEK_SIZE)
            return size();
        int64_t to = offset;
        switch (whence & ~AVSEEK_FORCE) {
        case SEEK_SET:
            break;
        case SEEK_CUR:
            to += source->position;
            break;
        case SEEK_END: {
            const int64_t end = size();
            if (end < 0)
                return end;
            to += end;
            break;
        }
        default:
            return AVERROR(EINVAL);
        }
        if (to < 0)
            return AVERROR(EINVAL);
        return source->position = to;
    }
};

// A clip or a song is one file: a playlist or a reference inside it opens nothing more.
int refuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
    return AVERROR(EPERM);
}

// A source reading the descriptor, which it owns.
std::unique_ptr<FileSource> makeSource(UniqueFd fd) {
    auto source = std::make_unique<FileSource>();
    source->fd = std::move(fd);
    auto* buffer = static_cast<unsigned char*>(av_malloc(kReadBufferSize));
    source->io = buffer ? avio_alloc_context(buffer, kReadBufferSize, 0, source.get(), &FileSource::read,
                                             nullptr, &FileSource::seek)
                        : nullptr;
    if (!source->io) {
        av_free(buffer);
        throw std::bad_alloc();
    }
    return source;
}

} // namespace

void InputCloser::operator()(AVFormatContext* context) const {
    std::unique_ptr<FileSource> source(static_cast<FileSource*>(context->opaque));
    avformat_close_input(&context);
}

int64_t seekDescriptor(int fd, int64_t offset, int whence) {
    if (whence & AVSEEK_SIZE) {
        struct stat st {};
        return ::fstat(fd, &st) == 0 ? int64_t(st.st_size) : AVERROR(errno);
    }
    const off_t at = ::lseek(fd, off_t(offset), whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : int64_t(at);
}

QString avErrorText(int err) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, text, sizeof text);
    return QString::fromUtf8(text);
}

QString avFailure(const QString& what, int err) {
    return what + QStringLiteral(": ") + avErrorText(err);
}

void initLibav() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_ERROR); });
}

FramePtr makeFrame() {
    FramePtr frame(av_frame_alloc());
    if (!frame)
        throw std::bad_alloc();
    return frame;
}

PacketPtr makePacket() {
    PacketPtr packet(av_packet_alloc());
    if (!packet)
        throw std::bad_alloc();
    return packet;
}

namespace {

InputPtr openInputOn(std::unique_ptr<FileSource> source, const QString& path, QString* error) {
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw)
        throw std::bad_alloc();
    raw->pb = source->io;
    raw->io_open = refuseNestedOpen;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    // The name only helps to tell the format by its extension.
    const QByteArray name = QFile::encodeName(path);
    int err = avformat_open_input(&raw, name.constData(), nullptr, &options);
    av_dict_free(&options);
    if (err >= 0)
        raw->opaque = source.release(); // closed with the input
    if (err < 0) {
        if (error)
            *error = avFailure(QStringLiteral("Cannot open \"%1\"").arg(path), err);
        return nullptr;
    }
    InputPtr input(raw);
    err = avformat_find_stream_info(input.get(), nullptr);
    if (err < 0) {
        if (error)
            *error = avFailure(QStringLiteral("Cannot read the streams of \"%1\"").arg(path), err);
        return nullptr;
    }
    return input;
}

} // namespace

InputPtr openInput(const QString& path, QString* error) {
    initLibav();
    // A regular file only: a FIFO or a device is never opened at all.
    UniqueFd fd = platform::openRegularFile(path, error);
    return fd ? openInputOn(makeSource(std::move(fd)), path, error) : nullptr;
}

InputPtr openInput(int fd, const QString& name, QString* error) {
    initLibav();
    struct stat st {};
    UniqueFd own(fd >= 0 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1);
    if (!own || ::fstat(own.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        if (error)
            *error = QStringLiteral("Cannot open \"%1\": it is not a readable file").arg(name);
        return nullptr;
    }
    return openInputOn(makeSource(std::move(own)), name, error);
}

CodecContextPtr makeCodecContext(const AVCodec* codec) {
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context)
        throw std::bad_alloc();
    return context;
}

CodecContextPtr openDecoder(const AVStream* stream, QString* error) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) {
        if (error)
            *error = QStringLiteral("No decoder for the codec \"%1\"")
                         .arg(QString::fromUtf8(avcodec_get_name(stream->codecpar->codec_id)));
        return nullptr;
    }
    CodecContextPtr context = makeCodecContext(codec);
    int err = avcodec_parameters_to_context(context.get(), stream->codecpar);
    if (err >= 0) {
        context->pkt_timebase = stream->time_base;
        context->thread_count = 0;
        err = avcodec_open2(context.get(), codec, nullptr);
    }
    if (err < 0) {
        if (error)
            *error = avFailure(
                QStringLiteral("Cannot open the %1 decoder").arg(QString::fromUtf8(codec->name)), err);
        return nullptr;
    }
    return context;
}

FeedResult feedDecoder(AVFormatContext* input, AVCodecContext* decoder, AVPacket* packet, int streamIndex,
                       int& badPackets, const std::function<bool(AVPacket*)>& prepare) {
    FeedResult result;
    const int err = av_read_frame(input, packet);
    if (err < 0) {
        result.readError = err;
        avcodec_send_packet(decoder, nullptr);
        return result;
    }
    if (packet->stream_index == streamIndex) {
        const int sent =
            !prepare || prepare(packet) ? avcodec_send_packet(decoder, packet) : AVERROR_INVALIDDATA;
        const bool refused = sent < 0 && sent != AVERROR(EAGAIN);
        badPackets = refused ? badPackets + 1 : 0;
        if (refused)
            result.refusedDuration = std::max<int64_t>(packet->duration, 0);
        if (badPackets > kMaxConsecutiveBadPackets)
            result.refused = sent;
    }
    av_packet_unref(packet);
    return result;
}

bool encodeFrame(AVCodecContext* encoder, const AVFrame* frame, AVPacket* packet, const QString& failure,
                 QString* error, const std::function<bool(AVPacket*)>& take) {
    int err = avcodec_send_frame(encoder, frame);
    if (err < 0) {
        *error = avFailure(failure, err);
        return false;
    }
    while ((err = avcodec_receive_packet(encoder, packet)) >= 0) {
        const bool taken = take(packet);
        av_packet_unref(packet);
        if (!taken)
            return false;
    }
    if (err != AVERROR(EAGAIN) && err != AVERROR_EOF) {
        *error = avFailure(failure, err);
        return false;
    }
    return true;
}

double streamSeconds(const AVStream* stream, int64_t timestamp) {
    const int64_t origin = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    return static_cast<double>(timestamp - origin) * av_q2d(stream->time_base);
}

int streamRotation(const AVStream* stream) {
    double counterClockwise = 0.0;
    const uint8_t* matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (matrix) {
        counterClockwise = av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
        if (std::isnan(counterClockwise))
            counterClockwise = 0.0;
    } else if (const AVDictionaryEntry* tag = av_dict_get(stream->metadata, "rotate", nullptr, 0)) {
        counterClockwise = -QString::fromUtf8(tag->value).toDouble();
    }
    const int clockwise = static_cast<int>(std::lround(-counterClockwise)) % 360;
    return clockwise < 0 ? clockwise + 360 : clockwise;
}

} // namespace platform::media::detail
