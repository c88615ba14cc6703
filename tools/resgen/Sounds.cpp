// The sounds of the application through the FFmpeg libraries: "silence1s.mp3" (one second of silence, the
// filler of a mix without songs), "default.mp3" (a short tune of our own that a new project gets as its
// music; a soft pad, an arpeggio and a small melody) and the audio-layer test sounds "audio1.caf" and
// "audio2.caf" (ALAC in CAF), all synthesised here.
#include "Resgen.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <QFile>

#include <algorithm>
#include <cmath>
#include <memory>

namespace resgen {

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

struct Pcm {
    std::vector<float> left, right;
    explicit Pcm(double seconds) : left(std::size_t(std::lround(seconds * kRate))), right(left.size()) {}
    std::size_t frames() const { return left.size(); }
};

// --- encoding ---

struct FormatCloser {
    void operator()(AVFormatContext* context) const {
        if (context && context->pb)
            avio_closep(&context->pb);
        avformat_free_context(context);
    }
};
struct CodecFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

const AVCodec* mp3Encoder() {
    if (const AVCodec* lame = avcodec_find_encoder_by_name("libmp3lame"))
        return lame;
    return avcodec_find_encoder(AV_CODEC_ID_MP3);
}

AVSampleFormat planarFormat(const AVCodec* codec) {
    for (const AVSampleFormat* f = codec->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == AV_SAMPLE_FMT_FLTP)
            return *f;
    return AV_SAMPLE_FMT_S16P;
}

bool drain(AVCodecContext* codec, AVFormatContext* format, AVStream* stream, AVPacket* packet) {
    for (;;) {
        const int received = avcodec_receive_packet(codec, packet);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            return true;
        if (received < 0)
            return false;
        av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        if (av_interleaved_write_frame(format, packet) < 0)
            return false;
    }
}

void fillFrame(AVFrame* frame, const Pcm& pcm, std::size_t offset) {
    for (int channel = 0; channel < 2; ++channel) {
        const std::vector<float>& source = channel == 0 ? pcm.left : pcm.right;
        for (int i = 0; i < frame->nb_samples; ++i) {
            const float sample = std::clamp(source[offset + std::size_t(i)], -1.0f, 1.0f);
            if (frame->format == AV_SAMPLE_FMT_FLTP)
                reinterpret_cast<float*>(frame->data[channel])[i] = sample;
            else
                reinterpret_cast<std::int16_t*>(frame->data[channel])[i] =
                    std::int16_t(std::lround(sample * 32767));
        }
    }
}

bool encodeFrames(const Pcm& pcm, AVCodecContext* codec, AVFormatContext* format, AVStream* stream) {
    std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFreer> frame(av_frame_alloc());
    if (!packet || !frame)
        return false;
    const int frameSize = codec->frame_size > 0 ? codec->frame_size : 1152;
    for (std::size_t offset = 0; offset < pcm.frames(); offset += std::size_t(frameSize)) {
        frame->nb_samples = int(std::min<std::size_t>(std::size_t(frameSize), pcm.frames() - offset));
        frame->format = codec->sample_fmt;
        frame->sample_rate = codec->sample_rate;
        if (av_channel_layout_copy(&frame->ch_layout, &codec->ch_layout) < 0 ||
            av_frame_get_buffer(frame.get(), 0) < 0)
            return false;
        fillFrame(frame.get(), pcm, offset);
        frame->pts = std::int64_t(offset);
        if (avcodec_send_frame(codec, frame.get()) < 0 || !drain(codec, format, stream, packet.get()))
            return false;
        av_frame_unref(frame.get());
    }
    return avcodec_send_frame(codec, nullptr) >= 0 && drain(codec, format, stream, packet.get());
}

// A sound file of one encoder in one container: MP3 ("mp3"), or ALAC in CAF ("caf").
struct Encoding {
    const char* muxer;
    const AVCodec* encoder;
    int bitRate;
};

bool encodeSound(const Pcm& pcm, const QString& path, const Encoding& encoding) {
    const AVCodec* encoder = encoding.encoder;
    if (!encoder)
        return fail(QStringLiteral("this FFmpeg has no encoder for %1").arg(path));
    AVFormatContext* rawFormat = nullptr;
    const QByteArray file = QFile::encodeName(path);
    if (avformat_alloc_output_context2(&rawFormat, nullptr, encoding.muxer, file.constData()) < 0)
        return fail(QStringLiteral("no %1 muxer").arg(QString::fromLatin1(encoding.muxer)));
    std::unique_ptr<AVFormatContext, FormatCloser> format(rawFormat);
    // No version strings in the file, so that every build writes the same bytes.
    format->flags |= AVFMT_FLAG_BITEXACT;
    std::unique_ptr<AVCodecContext, CodecFreer> codec(avcodec_alloc_context3(encoder));
    AVStream* stream = avformat_new_stream(format.get(), nullptr);
    if (!codec || !stream)
        return fail("out of memory encoding " + path);
    codec->sample_rate = kRate;
    codec->sample_fmt = planarFormat(encoder);
    codec->bit_rate = encoding.bitRate;
    codec->time_base = AVRational{1, kRate};
    codec->flags |= AV_CODEC_FLAG_BITEXACT;
    av_channel_layout_default(&codec->ch_layout, 2);
    if (avcodec_open2(codec.get(), encoder, nullptr) < 0 ||
        avcodec_parameters_from_context(stream->codecpar, codec.get()) < 0)
        return fail("cannot open the encoder for " + path);
    stream->time_base = codec->time_base;
    if (avio_open(&format->pb, file.constData(), AVIO_FLAG_WRITE) < 0)
        return fail("cannot write " + path);
    if (avformat_write_header(format.get(), nullptr) < 0 ||
        !encodeFrames(pcm, codec.get(), format.get(), stream) || av_write_trailer(format.get()) < 0)
        return fail("cannot encode " + path);
    return true;
}

bool writeSound(const Pcm& pcm, const QDir& out, const QString& name, const Encoding& encoding) {
    // Encode beside the final name and move into place, so a failed run leaves no half file behind.
    const QString part = out.filePath(name + ".part"), final = out.filePath(name);
    QFile::remove(part);
    if (!encodeSound(pcm, part, encoding)) {
        QFile::remove(part);
        return false;
    }
    QFile::remove(final);
    return QFile::rename(part, final) || fail("cannot move " + part);
}

bool writeMp3(const Pcm& pcm, const QDir& out, const QString& name, int bitRate) {
    return writeSound(pcm, out, name, {"mp3", mp3Encoder(), bitRate});
}

bool writeCaf(const Pcm& pcm, const QDir& out, const QString& name) {
    return writeSound(pcm, out, name, {"caf", avcodec_find_encoder(AV_CODEC_ID_ALAC), 0});
}

// --- the tune ---

double frequency(int midiNote) {
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

// Adds one note: `partials` are (harmonic, weight); the envelope rises over `attack` seconds and falls
// exponentially with time constant `decay`; `release` fades the note out after `length` seconds.
struct Voice {
    std::vector<std::pair<double, double>> partials;
    double attack, decay, release;
};

void addNote(Pcm& pcm, const Voice& voice, double start, double length, int note, double gain, double pan,
             double detuneCents = 0) {
    const double base = frequency(note) * std::pow(2.0, detuneCents / 1200);
    const std::size_t first = std::size_t(std::max(0.0, start) * kRate);
    const double end = start + length + voice.release * 8;
    const std::size_t last = std::min(pcm.frames(), std::size_t(end * kRate));
    const double leftGain = gain * std::cos((pan + 1) * kPi / 4),
                 rightGain = gain * std::sin((pan + 1) * kPi / 4);
    // Each partial turns a phasor by a fixed step per sample: far cheaper than a sine per sample.
    struct Phasor {
        double re, im, stepRe, stepIm, weight;
    };
    std::vector<Phasor> phasors;
    const double t0 = double(first) / kRate - start;
    for (const auto& [harmonic, weight] : voice.partials) {
        const double omega = 2 * kPi * base * harmonic;
        phasors.push_back({std::cos(omega * t0), std::sin(omega * t0), std::cos(omega / kRate),
                           std::sin(omega / kRate), weight});
    }
    for (std::size_t i = first; i < last; ++i) {
        const double t = double(i) / kRate - start;
        double envelope = std::min(1.0, std::max(0.0, t) / voice.attack) * std::exp(-t / voice.decay);
        if (t > length)
            envelope *= std::exp(-(t - length) / voice.release);
        // The last 10 ms bring what is left of the note to zero: a cut would click.
        envelope *= std::min(1.0, (end - start - t) / 0.01);
        double sample = 0;
        for (Phasor& p : phasors) {
            sample += p.weight * p.im;
            const double re = p.re * p.stepRe - p.im * p.stepIm;
            p.im = p.re * p.stepIm + p.im * p.stepRe;
            p.re = re;
        }
        pcm.left[i] += float(sample * envelope * leftGain);
        pcm.right[i] += float(sample * envelope * rightGain);
    }
}

constexpr double kBeat = 0.75; // 80 beats a minute
constexpr double kBar = 4 * kBeat;

struct Chord {
    int bass;
    std::array<int, 4> tones;
};

// Dmaj7, Bm7, Gmaj7, A6 twice; the last bar rests on D.
const std::array<Chord, 8> kChords = {{{38, {50, 54, 57, 61}},
                                       {35, {47, 50, 54, 57}},
                                       {31, {43, 47, 50, 54}},
                                       {33, {45, 49, 52, 54}},
                                       {38, {50, 54, 57, 61}},
                                       {35, {47, 50, 54, 57}},
                                       {31, {43, 47, 50, 54}},
                                       {38, {50, 54, 57, 62}}}};

struct MelodyNote {
    double beat, beats;
    int note;
};

const std::vector<MelodyNote> kMelody = {
    {0, 2, 78},      {2, 1, 76},  {3, 1, 74},  {4, 1.5, 74}, {5.5, 0.5, 73}, {6, 2, 71},  {8, 1, 74},
    {9, 1, 76},      {10, 2, 78}, {12, 3, 76}, {16, 2, 78},  {18, 1, 81},    {19, 1, 78}, {20, 1.5, 76},
    {21.5, 0.5, 74}, {22, 2, 71}, {24, 1, 74}, {25, 1, 76},  {26, 1, 78},    {27, 1, 76}, {28, 4, 74},
};

void addPadAndBass(Pcm& pcm) {
    const Voice pad{{{1, 1.0}, {2, 0.25}, {3, 0.08}}, 0.7, 6.0, 0.6};
    const Voice bass{{{1, 1.0}, {2, 0.35}}, 0.04, 1.6, 0.3};
    for (std::size_t bar = 0; bar < kChords.size(); ++bar) {
        const double start = double(bar) * kBar;
        const bool last = bar + 1 == kChords.size();
        const double length = last ? kBar + 1.0 : kBar;
        for (int tone : kChords[bar].tones) {
            // Two slightly detuned copies, one to each side, give the pad its width.
            addNote(pcm, pad, start, length, tone, 0.035, -0.5, -4);
            addNote(pcm, pad, start, length, tone, 0.035, 0.5, 4);
        }
        addNote(pcm, bass, start, length - 0.1, kChords[bar].bass, 0.16, 0);
    }
}

void addArpeggio(Pcm& pcm) {
    const Voice pluck{{{1, 1.0}, {2, 0.3}, {4, 0.05}}, 0.006, 0.45, 0.12};
    static const int pattern[8] = {0, 1, 2, 3, 2, 1, 2, 3};
    for (std::size_t bar = 0; bar + 1 < kChords.size(); ++bar)
        for (int step = 0; step < 8; ++step) {
            const double start = double(bar) * kBar + step * kBeat / 2;
            const int note = kChords[bar].tones[std::size_t(pattern[step])] + 12;
            addNote(pcm, pluck, start, kBeat / 2, note, step % 4 == 0 ? 0.075 : 0.055,
                    step % 2 ? 0.35 : -0.35);
        }
}

void addMelody(Pcm& pcm) {
    const Voice bell{{{1, 1.0}, {2, 0.12}, {3, 0.1}, {4.2, 0.02}}, 0.01, 1.4, 0.25};
    for (const MelodyNote& m : kMelody)
        addNote(pcm, bell, m.beat * kBeat, m.beats * kBeat, m.note, 0.11, 0.1);
}

// A soft stereo echo: three quarters of a beat, crossing sides, as a stand-in for room.
void addEcho(Pcm& pcm) {
    const std::size_t delay = std::size_t(kBeat * 0.75 * kRate);
    for (std::size_t i = delay; i < pcm.frames(); ++i) {
        pcm.left[i] += 0.28f * pcm.right[i - delay];
        pcm.right[i] += 0.28f * pcm.left[i - delay];
    }
}

void finish(Pcm& pcm, double peak) {
    const double total = double(pcm.frames()) / kRate;
    float loudest = 0;
    for (std::size_t i = 0; i < pcm.frames(); ++i)
        loudest = std::max({loudest, std::abs(pcm.left[i]), std::abs(pcm.right[i])});
    const double scale = loudest > 0 ? peak / loudest : 1;
    for (std::size_t i = 0; i < pcm.frames(); ++i) {
        const double t = double(i) / kRate;
        const double fade = std::min(1.0, t / 0.05) * std::min(1.0, std::max(0.0, (total - t) / 3.0));
        pcm.left[i] = float(pcm.left[i] * scale * fade);
        pcm.right[i] = float(pcm.right[i] * scale * fade);
    }
}

Pcm defaultTune() {
    Pcm pcm(kChords.size() * kBar + 2.0);
    addPadAndBass(pcm);
    addArpeggio(pcm);
    addMelody(pcm);
    addEcho(pcm);
    finish(pcm, 0.7);
    return pcm;
}

// The audio-layer test sounds: a rising chime of five bell notes, and a low pad that swells and fades.
Pcm testChime() {
    Pcm pcm(6.0);
    const Voice bell{{{1, 1.0}, {2.76, 0.3}, {5.4, 0.1}}, 0.005, 1.2, 0.4};
    const int notes[] = {72, 76, 79, 84, 88};
    for (int i = 0; i < 5; ++i)
        addNote(pcm, bell, 0.2 + 0.6 * i, 0.5, notes[i], 0.2, -0.6 + 0.3 * i);
    finish(pcm, 0.6);
    return pcm;
}

Pcm testPad() {
    Pcm pcm(5.0);
    const Voice pad{{{1, 1.0}, {2, 0.4}, {3, 0.15}}, 1.5, 8.0, 0.8};
    for (int note : {45, 52, 57, 60})
        addNote(pcm, pad, 0.0, 3.5, note, 0.12, note % 2 ? 0.4 : -0.4);
    finish(pcm, 0.5);
    return pcm;
}

} // namespace

bool makeSounds(const QDir& out) {
    return parallelFor(4, [&](int which) {
        switch (which) {
        case 0:
            return writeMp3(Pcm(1.0), out, QStringLiteral("silence1s.mp3"), 128000);
        case 1:
            return writeMp3(defaultTune(), out, QStringLiteral("default.mp3"), 160000);
        case 2:
            return writeCaf(testChime(), out, QStringLiteral("audio1.caf"));
        default:
            return writeCaf(testPad(), out, QStringLiteral("audio2.caf"));
        }
    });
}

} // namespace resgen
