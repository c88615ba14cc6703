#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <cstdint>
#include <vector>

// Synthesised test sounds and measurements of them.
namespace ToneMaker {

// A sine of the given frequency and peak amplitude, interleaved over channels (the same in each).
std::vector<float> sine(double frequency, double seconds, float amplitude, int channels = 2,
                        int sampleRate = 44100);
std::vector<int16_t> toInt16(const std::vector<float>& samples);

// A sine as a 16-bit WAV file of any rate and channel count.
bool writeWav(const QString& path, double frequency, double seconds, float amplitude, int channels = 2,
              int sampleRate = 44100);
// A stereo 44.1 kHz 16-bit WAV file whose channels each hold one value throughout: a reader of it tells which
// file it reads, and a mix of it shows its gains, by the values it gives.
bool writeLevels(const QString& path, double seconds, float left, float right);
// A stereo 44.1 kHz sine encoded with our audio file writer: container "ipod" (M4A) with codec "aac", or
// "mp3" with "libmp3lame".
bool writeEncoded(const QString& path, const QString& container, const QString& codec, double frequency,
                  double seconds, float amplitude, const QVariantMap& metadata = {},
                  QString* error = nullptr);
// The same for any interleaved stereo 44.1 kHz samples.
bool writeEncoded(const QString& path, const QString& container, const QString& codec,
                  const std::vector<float>& samples, QString* error = nullptr);
// Overwrites the coded sound of an M4A file from `share` of its length on, up to `until` of it, with bytes
// that every AAC frame refuses (each reads as a broken ADTS header): to its end, a reader gives the sound
// before that point, then fails; over its start only, a reader skips to the sound after it.
bool spoilEncodedFrom(const QString& path, double share, double until = 1.0);
// Overwrites, with the same bytes, the packets of the file's first audio stream that start within `seconds`
// from `from` seconds of it (any container): found through the demuxer, the damage lies where it is meant to,
// a stretch spoilt in the middle of a song or of a clip's sound, and the rest of the file stays as it was.
// The packets spoilt; -1 when the file cannot be read.
int spoilSoundPackets(const QString& path, double from, double seconds);
// Stereo 44.1 kHz silence of `seconds` with a beep of 50 ms at the start of every second from `first`: what
// a reader gives of it shows, beep by beep, whether each second lies at its own time. Under them a low hum of
// amplitude `bed` (0: none) keeps the coded size of every second alike, as music does.
std::vector<float> beeps(double seconds, double first = 0.0, float bed = 0.0f);
// Samples encoded by the ffmpeg program with the codec arguments given (as "-c:a libmp3lame -b:a 128k"),
// into a file of the format its name's extension tells (MP3, raw ADTS AAC, AC-3...).
bool writeByFfmpeg(const QString& path, const std::vector<float>& samples, const QStringList& codecArguments);
// Overwrites the bytes of the file's first audio stream from the packet at `from` seconds up to the one at
// `from + seconds`, as one stretch, with random bytes (the same every run) or zeros: in a raw stream a reader
// resyncs over them as over a stretch lost in copying.
bool spoilStretch(const QString& path, double from, double seconds, bool zeros = false);
// Where, in output frames at 44.1 kHz, each beep of interleaved stereo samples starts (its first sample
// louder than a quarter of full scale after 0.2 s without one).
std::vector<int64_t> beepOnsets(const std::vector<float>& interleaved);
// Moves the index of an M4A file (its "moov" box) before the coded sound, as files made for streaming have
// it: a copy of it cut short still tells the whole length.
bool moveIndexFirst(const QString& path);
// An M4A file with one stereo 44.1 kHz AAC stream per frequency, each a sine of the same length.
bool writeTracks(const QString& path, const std::vector<double>& frequencies, double seconds, float amplitude,
                 QString* error = nullptr);

// Root mean square of interleaved samples, over all channels or one of them, optionally from frame `from`
// for `count` frames (all frames by default).
double rms(const std::vector<float>& interleaved, int channels = 2, int channel = -1, size_t from = 0,
           size_t count = SIZE_MAX);

} // namespace ToneMaker
