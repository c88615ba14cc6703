#include "support/MovieDecoder.h"

#include <QFile>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

namespace {

struct Decoder {
    AVCodecContext* context = nullptr;
    int stream = -1;
    ~Decoder() { avcodec_free_context(&context); }

    bool open(AVFormatContext* format, AVMediaType type) {
        stream = av_find_best_stream(format, type, -1, -1, nullptr, 0);
        if (stream < 0)
            return false;
        const AVCodecParameters* parameters = format->streams[stream]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
        context = avcodec_alloc_context3(codec);
        return context && avcodec_parameters_to_context(context, parameters) >= 0 &&
               avcodec_open2(context, codec, nullptr) >= 0;
    }
};

QImage toImage(const AVFrame* frame) {
    QImage image(frame->width, frame->height, QImage::Format_RGB32);
    SwsContext* scaler =
        sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), frame->width, frame->height,
                       AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    // Read with the matrix and range the stream is labelled with, as players read it.
    const int* matrix =
        sws_getCoefficients(frame->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT);
    sws_setColorspaceDetails(scaler, matrix, frame->color_range == AVCOL_RANGE_JPEG ? 1 : 0, matrix, 1, 0,
                             1 << 16, 1 << 16);
    uint8_t* planes[1] = {image.bits()};
    const int strides[1] = {int(image.bytesPerLine())};
    sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
    sws_freeContext(scaler);
    return image;
}

struct Collector {
    DecodedMovie& movie;
    const std::set<int>& keep;
    AVFormatContext* format;
    SwrContext* resampler = nullptr;

    ~Collector() { swr_free(&resampler); }

    void video(const AVFrame* frame, const Decoder& decoder) {
        if (frame->decode_error_flags || (frame->flags & AV_FRAME_FLAG_CORRUPT))
            ++movie.decodeErrors;
        // Decoders hand frames out in presentation order.
        const double time =
            double(frame->best_effort_timestamp) * av_q2d(format->streams[decoder.stream]->time_base);
        const int index = int(movie.frameTimes.size());
        movie.frameTimes.push_back(time);
        if (keep.count(index))
            movie.frames[index] = toImage(frame);
    }

    void audio(const AVFrame* frame) {
        if (!resampler) {
            AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
            swr_alloc_set_opts2(&resampler, &stereo, AV_SAMPLE_FMT_FLT, 44100,
                                const_cast<AVChannelLayout*>(&frame->ch_layout),
                                AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr);
            swr_init(resampler);
            movie.audioRate = 44100;
        }
        std::vector<float> out(size_t(frame->nb_samples + 256) * 2);
        auto* target = reinterpret_cast<uint8_t*>(out.data());
        const int got = swr_convert(resampler, &target, frame->nb_samples + 256,
                                    const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
        if (got > 0)
            movie.audio.insert(movie.audio.end(), out.begin(), out.begin() + got * 2);
    }
};

void drain(AVCodecContext* context, AVFrame* frame, const std::function<void(const AVFrame*)>& take) {
    while (avcodec_receive_frame(context, frame) >= 0) {
        take(frame);
        av_frame_unref(frame);
    }
}

} // namespace

DecodedMovie DecodedMovie::decode(const QString& path, const std::set<int>& keepFrames) {
    DecodedMovie movie;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, QFile::encodeName(path).constData(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(format, nullptr) < 0) {
        movie.error = QStringLiteral("cannot open %1").arg(path);
        avformat_close_input(&format);
        return movie;
    }
    Decoder video, audio;
    const bool hasVideo = video.open(format, AVMEDIA_TYPE_VIDEO);
    const bool hasAudio = audio.open(format, AVMEDIA_TYPE_AUDIO);
    Collector collector{movie, keepFrames, format};
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const auto takeVideo = [&](const AVFrame* f) { collector.video(f, video); };
    const auto takeAudio = [&](const AVFrame* f) { collector.audio(f); };
    const auto send = [&](const Decoder& decoder, const std::function<void(const AVFrame*)>& take) {
        if (avcodec_send_packet(decoder.context, packet) >= 0)
            drain(decoder.context, frame, take);
        else
            ++movie.decodeErrors;
    };
    while (av_read_frame(format, packet) >= 0) {
        if (hasVideo && packet->stream_index == video.stream)
            send(video, takeVideo);
        if (hasAudio && packet->stream_index == audio.stream)
            send(audio, takeAudio);
        av_packet_unref(packet);
    }
    if (hasVideo && avcodec_send_packet(video.context, nullptr) >= 0)
        drain(video.context, frame, takeVideo);
    if (hasAudio && avcodec_send_packet(audio.context, nullptr) >= 0)
        drain(audio.context, frame, takeAudio);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avformat_close_input(&format);
    movie.ok = true;
    return movie;
}

double DecodedMovie::audioLevel(double from, double length) const {
    const auto first = size_t(std::max(0.0, from) * 44100) * 2;
    const auto last = std::min(audio.size(), size_t(std::max(0.0, from + length) * 44100) * 2);
    if (first >= last)
        return 0.0;
    double sum = 0.0;
    for (size_t i = first; i < last; ++i)
        sum += double(audio[i]) * audio[i];
    return std::sqrt(sum / double(last - first));
}
