#include "support/ToneMaker.h"

#include "platform/media/AudioEncoder.h"
#include "platform/media/AudioFileWriter.h"
#include "platform/media/Muxer.h"
#include "support/WavFile.h"

#include <QFile>
#include <QProcess>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <random>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

std::vector<float> ToneMaker::sine(double frequency, double seconds, float amplitude, int channels,
                                   int sampleRate) {
    const size_t frames = static_cast<size_t>(std::llround(seconds * sampleRate));
    std::vector<float> samples(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i) {
        const float value = amplitude * static_cast<float>(std::sin(2.0 * std::numbers::pi * frequency *
                                                                    static_cast<double>(i) / sampleRate));
        for (int c = 0; c < channels; ++c)
            samples[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] = value;
    }
    return samples;
}

std::vector<int16_t> ToneMaker::toInt16(const std::vector<float>& samples) {
    std::vector<int16_t> out(samples.size());
    std::transform(samples.begin(), samples.end(), out.begin(), [](float s) {
        return static_cast<int16_t>(std::clamp(std::lround(s * 32767.0f), -32768L, 32767L));
    });
    return out;
}

bool ToneMaker::writeWav(const QString& path, double frequency, double seconds, float amplitude, int channels,
                         int sampleRate) {
    return WavFile::write(path, toInt16(sine(frequency, seconds, amplitude, channels, sampleRate)), channels,
                          sampleRate);
}

bool ToneMaker::writeLevels(const QString& path, double seconds, float left, float right) {
    std::vector<int16_t> samples(std::size_t(seconds * 44100 + 0.5) * 2, int16_t(left * 32768.0f));
    for (std::size_t i = 1; i < samples.size(); i += 2)
        samples[i] = int16_t(right * 32768.0f);
    return WavFile::write(path, samples, 2, 44100);
}

namespace {

bool encode(const QString& path, const QString& container, const QString& codec,
            const std::vector<float>& samples, const QVariantMap& metadata, QString* error) {
    platform::media::AudioFileWriter::Settings settings;
    settings.path = path;
    settings.container = container;
    settings.codec = codec;
    settings.metadata = metadata;
    platform::media::AudioFileWriter writer(settings);
    const bool ok = writer.start() && writer.write(samples.data(), static_cast<int>(samples.size() / 2)) &&
                    writer.finish();
    if (!ok && error)
        *error = writer.errorString();
    return ok;
}

} // namespace

bool ToneMaker::writeEncoded(const QString& path, const QString& container, const QString& codec,
                             double frequency, double seconds, float amplitude, const QVariantMap& metadata,
                             QString* error) {
    return encode(path, container, codec, sine(frequency, seconds, amplitude), metadata, error);
}

bool ToneMaker::writeEncoded(const QString& path, const QString& container, const QString& codec,
                             const std::vector<float>& samples, QString* error) {
    return encode(path, container, codec, samples, {}, error);
}

int ToneMaker::spoilSoundPackets(const QString& path, double from, double seconds) {
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return -1;
    const int audio = avformat_find_stream_info(input, nullptr) >= 0
                          ? av_find_best_stream(input, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0)
                          : -1;
    std::vector<std::pair<int64_t, int>> spans; // where each packet to spoil lies in the file, and its size
    AVPacket* packet = av_packet_alloc();
    while (audio >= 0 && packet && av_read_frame(input, packet) >= 0) {
        const AVStream* stream = input->streams[audio];
        const int64_t origin = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
        const double at = double(packet->pts - origin) * av_q2d(stream->time_base);
        if (packet->stream_index == audio && packet->pts != AV_NOPTS_VALUE && packet->pos >= 0 &&
            at >= from && at < from + seconds)
            spans.emplace_back(packet->pos, packet->size);
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&input);
    QFile file(path);
    if (audio < 0 || !file.open(QIODevice::ReadWrite))
        return -1;
    for (const auto& [at, size] : spans)
        if (!file.seek(at) || file.write(QByteArray(size, char(0xFF))) != size)
            return -1;
    return int(spans.size());
}

std::vector<float> ToneMaker::beeps(double seconds, double first, float bed) {
    std::vector<float> samples = bed > 0.0f
                                     ? sine(110.0, seconds, bed)
                                     : std::vector<float>(std::size_t(std::llround(seconds * 44100)) * 2);
    const std::vector<float> beep = sine(880.0, 0.05, 0.5f);
    for (double at = first; at < seconds; at += 1.0) {
        const std::size_t from = std::min(std::size_t(std::llround(at * 44100)) * 2, samples.size());
        const std::size_t count = std::min(beep.size(), samples.size() - from);
        for (std::size_t i = 0; i < count; ++i)
            samples[from + i] += beep[i];
    }
    return samples;
}

bool ToneMaker::writeByFfmpeg(const QString& path, const std::vector<float>& samples,
                              const QStringList& codecArguments) {
    const QString wav = path + QStringLiteral(".source.wav");
    if (!WavFile::write(wav, toInt16(samples), 2, 44100))
        return false;
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 QStringList{"-v", "error", "-y", "-i", wav} + codecArguments + QStringList{path});
    const bool ok =
        ffmpeg.waitForFinished(-1) && ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
    QFile::remove(wav);
    return ok;
}

bool ToneMaker::spoilStretch(const QString& path, double from, double seconds, bool zeros) {
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return false;
    const int audio = avformat_find_stream_info(input, nullptr) >= 0
                          ? av_find_best_stream(input, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0)
                          : -1;
    int64_t start = -1;
    int64_t end = -1;
    AVPacket* packet = av_packet_alloc();
    while (audio >= 0 && packet && end < 0 && av_read_frame(input, packet) >= 0) {
        const AVStream* stream = input->streams[audio];
        const int64_t origin = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
        const double at = double(packet->pts - origin) * av_q2d(stream->time_base);
        if (packet->stream_index == audio && packet->pos >= 0 && at >= from && start < 0)
            start = packet->pos;
        if (packet->stream_index == audio && packet->pos >= 0 && at >= from + seconds)
            end = packet->pos;
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&input);
    QFile file(path);
    if (start < 0 || end <= start || !file.open(QIODevice::ReadWrite) || !file.seek(start))
        return false;
    QByteArray bytes(end - start, '\0');
    std::mt19937 random(20240611u);
    if (!zeros)
        for (char& byte : bytes)
            byte = char(random() & 0xff);
    return file.write(bytes) == bytes.size();
}

std::vector<int64_t> ToneMaker::beepOnsets(const std::vector<float>& interleaved) {
    std::vector<int64_t> onsets;
    int64_t quietSince = -88200;
    for (std::size_t i = 0; i + 1 < interleaved.size(); i += 2) {
        const auto frame = int64_t(i / 2);
        if (std::fabs(interleaved[i]) < 0.25f)
            continue;
        if (frame - quietSince >= 8820)
            onsets.push_back(frame);
        quietSince = frame;
    }
    return onsets;
}

bool ToneMaker::spoilEncodedFrom(const QString& path, double share, double until) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    QByteArray bytes = file.readAll();
    // The top-level boxes: a 32-bit size (1: a 64-bit one follows the type; 0: up to the end) and a type.
    for (qint64 at = 0; at + 8 <= bytes.size();) {
        const auto word = [&](qint64 from) { return qFromBigEndian<quint32>(bytes.constData() + from); };
        qint64 size = word(at);
        qint64 header = 8;
        if (size == 1 && at + 16 <= bytes.size()) {
            size = qint64(qFromBigEndian<quint64>(bytes.constData() + at + 8));
            header = 16;
        } else if (size == 0) {
            size = bytes.size() - at;
        }
        if (size < header || at + size > bytes.size())
            return false;
        if (bytes.mid(at + 4, 4) == "mdat") {
            const auto offset = [&](double part) {
                return at + header + qint64(double(size - header) * std::clamp(part, 0.0, 1.0));
            };
            std::fill(bytes.begin() + offset(share), bytes.begin() + std::max(offset(share), offset(until)),
                      char(0xFF));
            return file.seek(0) && file.write(bytes) == bytes.size();
        }
        at += size;
    }
    return false;
}

bool ToneMaker::moveIndexFirst(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const QByteArray bytes = file.readAll();
    QByteArray index, rest;
    for (qint64 at = 0; at + 8 <= bytes.size();) {
        const qint64 size = qFromBigEndian<quint32>(bytes.constData() + at);
        if (size < 8 || at + size > bytes.size())
            return false; // 64-bit and open-ended boxes are not written for a short tone
        (bytes.mid(at + 4, 4) == "moov" ? index : rest).append(bytes.mid(at, size));
        at += size;
    }
    const qint64 typeSize = qFromBigEndian<quint32>(rest.constData());
    if (index.isEmpty() || rest.mid(4, 4) != "ftyp")
        return false;
    // Every sample now lies the index's size further on.
    for (qint64 table = index.indexOf("stco"); table > 0; table = index.indexOf("stco", table + 4)) {
        const quint32 count = qFromBigEndian<quint32>(index.constData() + table + 8);
        for (quint32 i = 0; i < count; ++i) {
            char* entry = index.data() + table + 12 + 4 * i;
            qToBigEndian<quint32>(qFromBigEndian<quint32>(entry) + quint32(index.size()), entry);
        }
    }
    const QByteArray moved = rest.left(typeSize) + index + rest.mid(typeSize);
    return file.seek(0) && file.write(moved) == moved.size();
}

bool ToneMaker::writeTracks(const QString& path, const std::vector<double>& frequencies, double seconds,
                            float amplitude, QString* error) {
    using platform::media::AudioEncoder;
    QString failure;
    platform::media::Muxer muxer;
    std::vector<std::unique_ptr<AudioEncoder>> encoders;
    std::vector<std::vector<float>> tones;
    bool ok = muxer.open(path, "ipod", &failure);
    for (size_t i = 0; ok && i < frequencies.size(); ++i) {
        auto encoder = std::make_unique<AudioEncoder>();
        ok = encoder->open("aac", 128000, muxer.wantsGlobalHeader(), &failure);
        const AVStream* stream = ok ? muxer.addStream(encoder->context(), &failure) : nullptr;
        ok = stream != nullptr;
        AudioEncoder* raw = encoder.get();
        encoder->setPacketSink([&muxer, raw, stream](AVPacket* packet, QString* sinkError) {
            return muxer.writePacket(packet, raw->context()->time_base, stream, sinkError);
        });
        encoders.push_back(std::move(encoder));
        tones.push_back(sine(frequencies[i], seconds, amplitude));
    }
    ok = ok && muxer.writeHeader(&failure);
    // A second at a time per stream, so that the muxer interleaves them.
    const size_t frames = tones.empty() ? 0 : tones.front().size() / 2;
    for (size_t from = 0; ok && from < frames; from += 44100)
        for (size_t i = 0; ok && i < encoders.size(); ++i)
            ok = encoders[i]->write(tones[i].data() + from * 2,
                                    static_cast<int>(std::min<size_t>(44100, frames - from)), &failure);
    for (size_t i = 0; ok && i < encoders.size(); ++i)
        ok = encoders[i]->finish(&failure);
    ok = ok && muxer.finish(&failure);
    if (!ok && error)
        *error = failure;
    return ok;
}

double ToneMaker::rms(const std::vector<float>& interleaved, int channels, int channel, size_t from,
                      size_t count) {
    const size_t frames = interleaved.size() / static_cast<size_t>(channels);
    const size_t end = count == SIZE_MAX ? frames : std::min(frames, from + count);
    double sum = 0.0;
    size_t n = 0;
    for (size_t i = from; i < end; ++i) {
        for (int c = 0; c < channels; ++c) {
            if (channel >= 0 && c != channel)
                continue;
            const double s = interleaved[i * static_cast<size_t>(channels) + static_cast<size_t>(c)];
            sum += s * s;
            ++n;
        }
    }
    return n ? std::sqrt(sum / static_cast<double>(n)) : 0.0;
}
