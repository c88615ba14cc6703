#include "platform/media/Muxer.h"

#include "platform/media/LibavSupport.h"

#include "platform/foundation/FileUtils.h"

#include <QFile>

extern "C" {
#include <libavutil/opt.h>
}

namespace platform::media {

using namespace detail;

Muxer::~Muxer() {
    abort();
}

bool Muxer::open(const QString& path, const char* formatName, QString* error) {
    abort();
    initLibav();
    filePath = path;
    const QByteArray name = QFile::encodeName(path);
    int err = avformat_alloc_output_context2(&context, nullptr, formatName, name.constData());
    if (err < 0 || !context) {
        *error =
            avFailure(QStringLiteral("Cannot make a \"%1\" file").arg(QString::fromUtf8(formatName)), err);
        context = nullptr;
        return false;
    }
    // A fresh file of ours: a link planted at the name is replaced, never written through, and the name is
    // taken as a file's, never as a network address.
    QString reason;
    written.reset();
    own = platform::openFreshFile(path, &reason, 0644);
    err = own ? avio_open(&context->pb, QByteArray("file:" + name).constData(), AVIO_FLAG_WRITE)
              : AVERROR(EEXIST);
    if (err < 0 && !reason.isEmpty()) {
        *error = reason;
        avformat_free_context(context);
        context = nullptr;
        return false;
    }
    if (err < 0) {
        *error = avFailure(QStringLiteral("Cannot create \"%1\"").arg(path), err);
        avformat_free_context(context);
        context = nullptr;
        return false;
    }
    return true;
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
    if (err >= 0 && context->pb->error < 0)
        err = context->pb->error;
    const int closed = avio_closep(&context->pb);
    if (err >= 0)
        err = closed;
    if (err < 0) {
        *error = avFailure(QStringLiteral("Cannot finish \"%1\"").arg(filePath), err);
        abort();
        return false;
    }
    written = platform::FileIdentity::ofDescriptor(own.get());
    release();
    return true;
}

void Muxer::abort() {
    if (!context)
        return;
    avio_closep(&context->pb);
    release();
    QFile::remove(filePath);
}

void Muxer::release() {
    if (context && context->pb)
        avio_closep(&context->pb);
    own.reset();
    avformat_free_context(context);
    context = nullptr;
    headerWritten = false;
}

} // namespace platform::media
