#include "platform/media/Muxer.h"

#include "platform/media/LibavSupport.h"

#include "platform/foundation/FileUtils.h"
#include "platform/foundation/NamedPipe.h"

#include <QFile>
#include <QFileInfo>

extern "C" {
#include <libavutil/opt.h>
}

namespace platform::media {

using namespace detail;

namespace {
constexpr int kWriteBufferSize = 1 << 16;
} // namespace

Muxer::~Muxer() {
    abort();
}

bool Muxer::open(const QString& path, const char* formatName, QString* error) {
    abort();
    initLibav();
    filePath = path;
    const QByteArray name = QFile::encodeName(path);
    const int err = avformat_alloc_output_context2(&context, nullptr, formatName, name.constData());
    if (err < 0 || !context) {
        *error =
            avFailure(QStringLiteral("Cannot make a \"%1\" file").arg(QString::fromUtf8(formatName)), err);
        context = nullptr;
        return false;
    }
    written.reset();
    loss = PartialLoss::None;
    if (const QFileInfo at(path); at.isDir() && !at.isSymLink())
        *error = QStringLiteral("Cannot create \"%1\": a folder is in the way").arg(path);
    else
        own = platform::openUnnamedFileBeside(path, &partialPath, error);
    if (!own) {
        avformat_free_context(context);
        context = nullptr;
        return false;
    }
    auto* buffer = static_cast<unsigned char*>(av_malloc(kWriteBufferSize));
    context->pb = buffer ? avio_alloc_context(buffer, kWriteBufferSize, 1, this, nullptr, &Muxer::writeOut,
                                              &Muxer::seekOut)
                         : nullptr;
    if (!context->pb) {
        av_free(buffer);
        abort();
        throw std::bad_alloc();
    }
    return true;
}

int Muxer::writeOut(void* opaque, uint8_t* data, int size) {
    return platform::writeFully(static_cast<Muxer*>(opaque)->own.get(), data, std::size_t(size))
               ? size
               : AVERROR(errno ? errno : EIO);
}

int64_t Muxer::seekOut(void* opaque, int64_t offset, int whence) {
    return seekDescriptor(static_cast<Muxer*>(opaque)->own.get(), offset, whence);
}

bool Muxer::wantsGlobalHeader() const {
    return context && (context->oformat->flags & AVFMT_GLOBALHEADER);
}

AVStream* Muxer::addStream(const AVCodecContext* encoder, QString* error) {
    AVStream* stream = avformat_new_stream(context, nullptr);
    if (!stream) {
        *error = QStringLiteral("Cannot add a stream to \"%1\"").arg(filePath);
        return nullptr;
    }
    const int err = avcodec_parameters_from_context(stream->codecpar, encoder);
    if (err < 0) {
        *error = avFailure(QStringLiteral("Cannot describe a stream of \"%1\"").arg(filePath), err);
        return nullptr;
    }
    stream->time_base = encoder->time_base;
    return stream;
}

void Muxer::setMetadata(const QString& key, const QString& value) {
    if (context)
        av_dict_set(&context->metadata, key.toUtf8().constData(), value.toUtf8().constData(), 0);
}

void Muxer::setOption(const QString& key, const QString& value) {
    options.insert(key, value);
}

bool Muxer::writeHeader(QString* error) {
    // Edit lists are kept in the movie's timescale; at the default 1000 a start at 1/30 s would be
    // stored as 33 ms. 600 holds every multiple of 1/30 s exactly.
    AVDictionary* dictionary = nullptr;
    if (av_opt_find(context->priv_data, "movie_timescale", nullptr, 0, 0))
        av_dict_set(&dictionary, "movie_timescale", "600", 0);
    for (auto it = options.cbegin(); it != options.cend(); ++it)
        av_dict_set(&dictionary, it.key().toUtf8().constData(), it.value().toString().toUtf8().constData(),
                    0);
    const int err = avformat_write_header(context, &dictionary);
    av_dict_free(&dictionary);
    if (err < 0) {
        *error = avFailure(QStringLiteral("Cannot start writing \"%1\"").arg(filePath), err);
        return false;
    }
    headerWritten = true;
    return true;
}

bool Muxer::writePacket(AVPacket* packet, AVRational encoderTimeBase, const AVStream* stream,
                        QString* error) {
    av_packet_rescale_ts(packet, encoderTimeBase, stream->time_base);
    packet->stream_index = stream->index;
    const int err = av_interleaved_write_frame(context, packet);
    if (err < 0) {
        *error = avFailure(QStringLiteral("Cannot write to \"%1\"").arg(filePath), err);
        return false;
    }
    return true;
}

bool Muxer::finish(QString* error) {
    if (!context || !headerWritten) {
        *error = QStringLiteral("\"%1\" was never started").arg(filePath);
        abort();
        return false;
    }
    int err = av_write_trailer(context);
    avio_flush(context->pb);
    if (err >= 0 && context->pb->error < 0)
        err = context->pb->error;
    if (err < 0) {
        *error = avFailure(QStringLiteral("Cannot finish \"%1\"").arg(filePath), err);
        abort();
        return false;
    }
    if (!platform::placePartialFile(own.get(), partialPath, filePath, error, &loss)) {
        abort();
        return false;
    }
    partialPath.clear();
    written = platform::FileIdentity::ofDescriptor(own.get());
    release();
    return true;
}

void Muxer::abort() {
    if (!context && !own)
        return;
    platform::removePartialFile(own.get(), partialPath);
    partialPath.clear();
    release();
}

void Muxer::release() {
    if (context && context->pb) {
        av_freep(&context->pb->buffer);
        avio_context_free(&context->pb);
    }
    own.reset();
    avformat_free_context(context);
    context = nullptr;
    headerWritten = false;
}

} // namespace platform::media
