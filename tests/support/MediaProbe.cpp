#include "support/MediaProbe.h"

#include <QFile>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

namespace {

QString errorText(int err) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, text, sizeof text);
    return QString::fromUtf8(text);
}

MediaProbe::Stream describe(const AVStream* stream) {
    MediaProbe::Stream info;
    info.type = QString::fromUtf8(av_get_media_type_string(stream->codecpar->codec_type));
    info.codec = QString::fromUtf8(avcodec_get_name(stream->codecpar->codec_id));
    if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
        const char* format = av_get_pix_fmt_name(AVPixelFormat(stream->codecpar->format));
        info.pixelFormat = format ? QString::fromUtf8(format) : QString();
    }
    info.width = stream->codecpar->width;
    info.height = stream->codecpar->height;
    info.sampleRate = stream->codecpar->sample_rate;
    info.channels = stream->codecpar->ch_layout.nb_channels;
    if (stream->avg_frame_rate.num > 0 && stream->avg_frame_rate.den > 0)
        info.frameRate = av_q2d(stream->avg_frame_rate);
    else if (stream->r_frame_rate.num > 0 && stream->r_frame_rate.den > 0)
        info.frameRate = av_q2d(stream->r_frame_rate);
    if (info.width > 0 && info.height > 0) {
        AVRational pixel = stream->sample_aspect_ratio;
        if (pixel.num <= 0 || pixel.den <= 0)
            pixel = stream->codecpar->sample_aspect_ratio;
        const double pixelAspect = pixel.num > 0 && pixel.den > 0 ? av_q2d(pixel) : 1.0;
        info.displayAspect = pixelAspect * info.width / info.height;
    }
    info.profile = stream->codecpar->profile;
    info.level = stream->codecpar->level;
    info.colourMatrix = QString::fromUtf8(av_color_space_name(stream->codecpar->color_space));
    info.colourPrimaries = QString::fromUtf8(av_color_primaries_name(stream->codecpar->color_primaries));
    info.colourTransfer = QString::fromUtf8(av_color_transfer_name(stream->codecpar->color_trc));
    if (stream->duration != AV_NOPTS_VALUE)
        info.durationSeconds = static_cast<double>(stream->duration) * av_q2d(stream->time_base);
    return info;
}

} // namespace

MediaProbe MediaProbe::probe(const QString& path) {
    MediaProbe result;
    AVFormatContext* context = nullptr;
    int err = avformat_open_input(&context, QFile::encodeName(path).constData(), nullptr, nullptr);
    if (err >= 0)
        err = avformat_find_stream_info(context, nullptr);
    if (err < 0) {
        result.error = errorText(err);
        avformat_close_input(&context);
        return result;
    }
    result.formatName = QString::fromUtf8(context->iformat->name);
    if (context->duration != AV_NOPTS_VALUE)
        result.durationSeconds = static_cast<double>(context->duration) / AV_TIME_BASE;
    const AVDictionaryEntry* tag = nullptr;
    while ((tag = av_dict_get(context->metadata, "", tag, AV_DICT_IGNORE_SUFFIX)))
        result.tags.insert(QString::fromUtf8(tag->key), QString::fromUtf8(tag->value));
    for (unsigned i = 0; i < context->nb_streams; ++i)
        result.streams.push_back(describe(context->streams[i]));
    std::vector<bool> seen(context->nb_streams, false);
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(context, packet) >= 0) {
        const auto index = static_cast<size_t>(packet->stream_index);
        Stream& stream = result.streams[index];
        if (!seen[index] && packet->pts != AV_NOPTS_VALUE) {
            stream.firstPtsSeconds =
                static_cast<double>(packet->pts) * av_q2d(context->streams[index]->time_base);
            seen[index] = true;
        }
        if (packet->flags & AV_PKT_FLAG_KEY)
            stream.keyFrames.push_back(stream.packets);
        stream.packetSizes.push_back(packet->size);
        ++stream.packets;
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&context);
    result.ok = true;
    return result;
}

std::optional<std::array<int, 3>> MediaProbe::firstFrameYCbCr(const QString& path, QPoint at) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return std::nullopt;
    std::optional<std::array<int, 3>> result;
    const int index = avformat_find_stream_info(format, nullptr) < 0
                          ? -1
                          : av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const AVCodec* codec =
        index < 0 ? nullptr : avcodec_find_decoder(format->streams[index]->codecpar->codec_id);
    AVCodecContext* decoder = codec ? avcodec_alloc_context3(codec) : nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    if (decoder && avcodec_parameters_to_context(decoder, format->streams[index]->codecpar) >= 0 &&
        avcodec_open2(decoder, codec, nullptr) >= 0) {
        bool flushed = false;
        while (!result && !flushed) {
            const bool more = av_read_frame(format, packet) >= 0;
            if (more && packet->stream_index != index) {
                av_packet_unref(packet);
                continue;
            }
            avcodec_send_packet(decoder, more ? packet : nullptr);
            flushed = !more;
            av_packet_unref(packet);
            if (avcodec_receive_frame(decoder, frame) < 0)
                continue;
            // Planar 4:2:0 or 4:4:4, eight bits a sample.
            const int sx = frame->format == AV_PIX_FMT_YUV444P ? at.x() : at.x() / 2;
            const int sy = frame->format == AV_PIX_FMT_YUV444P ? at.y() : at.y() / 2;
            result = std::array<int, 3>{frame->data[0][at.y() * frame->linesize[0] + at.x()],
                                        frame->data[1][sy * frame->linesize[1] + sx],
                                        frame->data[2][sy * frame->linesize[2] + sx]};
        }
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
    return result;
}

const MediaProbe::Stream* MediaProbe::firstOfType(const QString& type) const {
    for (const Stream& stream : streams)
        if (stream.type == type)
            return &stream;
    return nullptr;
}
