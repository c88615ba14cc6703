#pragma once

#include "platform/media/MediaTime.h"

#include <QString>
#include <cstdint>
#include <memory>

namespace platform::media {

// Decodes one audio stream of a file (the first unless told otherwise), whatever its codec, rate and channel
// layout, into interleaved float at the output format (stereo at 44.1 kHz unless told otherwise), a chunk at
// a time. Time 0 is the first audible sample: priming and padding that the file declares are left out. Not
// thread-safe: one reader belongs to one thread at a time.
class AudioReader {
public:
    static constexpr int kSampleRate = 44100;
    static constexpr int kChannels = 2;

    struct OutputFormat {
        int sampleRate = kSampleRate;
        int channels = kChannels;
    };

    AudioReader();
    // An output format outside 1..8 channels or 1 Hz..384 kHz falls back to the default.
    explicit AudioReader(OutputFormat format);
    ~AudioReader();
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    // Opens the file's audio stream number `audioStream` (counted among its audio streams from 0) and
    // positions the reader at start. False with errorString() when the file cannot be read or holds no such
    // stream.
    bool open(const QString& path, const MediaTime& start = MediaTime::zero(), int audioStream = 0);
    // The same for the regular file open at fd, which the reader reaches through a duplicate of its own and
    // never by a name (so with or without /proc); `name` stands for it in messages.
    bool open(int fd, const QString& name);
    void close();
    bool isOpen() const;

    // The next read starts at this time (in the output's frames, rounded to the nearest).
    bool seek(const MediaTime& time);
    // Index, in output frames, of the next frame a read returns.
    int64_t position() const;

    // Up to maxFrames frames (a frame is one sample per output channel). Returns the frames written, 0 at
    // the end of the sound, -1 on a decoding failure (errorString() tells why).
    int read(float* interleaved, int maxFrames);
    int read(int16_t* interleaved, int maxFrames);
    bool atEnd() const;

    // A stretch of the sound that the file lost (refused packets, or bytes a raw stream's reader resynced
    // over) is heard as silence of its own length, so that what follows plays at its own time; so is a jump
    // of its timestamps with nothing lost before it, a pause the file declares. Once the stretches lost add
    // up to more than `seconds`, the read fails instead (0, the default: never). Kept across opens.
    void setLongestSpoiltStretch(double seconds);
    // The seconds of sound the file lost so far, each stretch counted once however often it is read.
    double spoiltSeconds() const;
    // Whether the last read failed on what the file lost: it is damaged rather than gone or unreadable.
    bool isDamaged() const;

    QString errorString() const;
    // Coded packets of the stream the decoder refused so far, which a read skips.
    int refusedPackets() const;
    int sampleRate() const { return format.sampleRate; }
    int channels() const { return format.channels; }
    // How many audio streams the open file holds (0 when none is open).
    int audioStreamCount() const;
    // The stream as stored.
    int sourceSampleRate() const;
    int sourceChannels() const;

    // Whether the file's sound can be read from its very start: it opens, and its first samples decode
    // with no coded packet before them refused (a read would skip those, and the sound would start late).
    static bool firstSoundDecodes(const QString& path);

private:
    struct Impl;
    OutputFormat format;
    double longestSpoilt = 0.0;
    std::unique_ptr<Impl> d;
};

} // namespace platform::media
