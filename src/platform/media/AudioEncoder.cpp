#include "platform/media/AudioEncoder.h"

#include "platform/media/LibavSupport.h"

namespace platform::media {

using namespace detail;

struct AudioEncoder::Impl {
    CodecContextPtr encoder;
    ResamplerPtr fromFloat;
    ResamplerPtr fromInt16;
    AudioFifoPtr fifo;
    PacketPtr packet;
    PacketSink sink;
    int frameSize = 1024;
    bool padLastFrame = false;
    int64_t nextPts = 0;
    int64_t written = 0;

    ResamplerPtr makeResampler(AVSampleFormat from, QString* error) {
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        SwrContext* raw = nullptr;
        int err = swr_alloc_set_opts2(&raw, &stereo, encoder->sample_fmt, kSampleRate, &stereo, from,
                                      kSampleRate, 0, nullptr);
        ResamplerPtr resampler(raw);
        if (err >= 0)
            err = swr_init(resampler.get());
        if (err < 0) {
            *error = avFailure(QStringLiteral("Cannot prepare the sound for the encoder"), err);
            return nullptr;
        }
        return resampler;
    }

    bool queue(const void* interleaved, int frames, AVSampleFormat format, QString* error) {
        ResamplerPtr& resampler = format == AV_SAMPLE_FMT_FLT ? fromFloat : fromInt16;
        if (!resampler && !(resampler = makeResampler(format, error)))
            return false;
        uint8_t** planes = nullptr;
        int err =
            av_samples_alloc_array_and_samples(&planes, nullptr, kChannels, frames, encoder->sample_fmt, 0);
        if (err < 0) {
            *error = avFailure(QStringLiteral("Cannot hold the sound"), err);
            return false;
        }
        const auto* input = static_cast<const uint8_t*>(interleaved);
        const int converted = swr_convert(resampler.get(), planes, frames, &input, frames);
        err = converted < 0 ? converted
                            : av_audio_fifo_write(fifo.get(), reinterpret_cast<void**>(planes), converted);
        av_freep(&planes[0]);
        av_freep(&planes);
        if (err < 0) {
            *error = avFailure(QStringLiteral("Cannot prepare the sound for the encoder"), err);
            return false;
        }
        written += frames;
        return encodeQueued(false, error);
    }

    bool encodeQueued(bool all, QString* error) {
        while (av_audio_fifo_size(fifo.get()) >= frameSize || (all && av_audio_fifo_size(fifo.get()) > 0)) {
            const int available = std::min(av_audio_fifo_size(fifo.get()), frameSize);
            FramePtr frame = makeFrame();
            frame->nb_samples = padLastFrame ? frameSize : available;
            frame->format = encoder->sample_fmt;
            frame->sample_rate = kSampleRate;
            av_channel_layout_copy(&frame->ch_layout, &encoder->ch_layout);
            int err = av_frame_get_buffer(frame.get(), 0);
            if (err >= 0 && padLastFrame)
                err = av_samples_set_silence(frame->extended_data, 0, frameSize, kChannels,
                                             encoder->sample_fmt);
            if (err >= 0)
                err =
                    av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(frame->extended_data), available);
            if (err < 0) {
                *error = avFailure(QStringLiteral("Cannot prepare the sound for the encoder"), err);
                return false;
            }
            frame->pts = nextPts;
            nextPts += available;
            if (!send(frame.get(), error))
                return false;
        }
        return true;
    }

    bool send(const AVFrame* frame, QString* error) {
        return encodeFrame(encoder.get(), frame, packet.get(), QStringLiteral("Cannot encode the sound"),
                           error, [&](AVPacket* ready) { return !sink || sink(ready, error); });
    }
};

AudioEncoder::AudioEncoder() : d(std::make_unique<Impl>()) {}

AudioEncoder::~AudioEncoder() = default;

bool AudioEncoder::open(const char* codecName, int64_t bitRate, bool globalHeader, QString* error) {
    initLibav();
    const AVCodec* codec = avcodec_find_encoder_by_name(codecName);
    if (!codec) {
        *error =
            QStringLiteral("The audio encoder \"%1\" is not available").arg(QString::fromUtf8(codecName));
        return false;
    }
    d->encoder = makeCodecContext(codec);
    AVCodecContext* context = d->encoder.get();
    context->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    context->sample_rate = kSampleRate;
    context->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
    context->bit_rate = bitRate;
    context->time_base = AVRational{1, kSampleRate};
    if (globalHeader)
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int err = avcodec_open2(context, codec, nullptr);
    if (err < 0) {
        *error = avFailure(
            QStringLiteral("Cannot open the audio encoder \"%1\"").arg(QString::fromUtf8(codecName)), err);
        return false;
    }
    const bool variable = codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE;
    d->frameSize = context->frame_size > 0 && !variable ? context->frame_size : 1024;
    d->padLastFrame = !variable && !(codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME);
    d->fifo.reset(av_audio_fifo_alloc(context->sample_fmt, kChannels, d->frameSize * 4));
    d->packet = makePacket();
    if (!d->fifo)
        throw std::bad_alloc();
    return true;
}

const AVCodecContext* AudioEncoder::context() const {
    return d->encoder.get();
}

void AudioEncoder::setPacketSink(PacketSink sink) {
    d->sink = std::move(sink);
}

bool AudioEncoder::write(const float* interleaved, int frames, QString* error) {
    return frames <= 0 || d->queue(interleaved, frames, AV_SAMPLE_FMT_FLT, error);
}

bool AudioEncoder::write(const int16_t* interleaved, int frames, QString* error) {
    return frames <= 0 || d->queue(interleaved, frames, AV_SAMPLE_FMT_S16, error);
}

bool AudioEncoder::finish(QString* error) {
    return d->encodeQueued(true, error) && d->send(nullptr, error);
}

int64_t AudioEncoder::framesWritten() const {
    return d->written;
}

} // namespace platform::media
