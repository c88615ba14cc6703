#pragma once

#include "platform/media/MediaTime.h"

#include <QString>
#include <cstdint>
#include <memory>

namespace platform::media {

// Decodes the first audio stream of a file, whatever its codec, rate and channel layout, into interleaved
// stereo at 44.1 kHz, a chunk at a time. Time 0 is the first audible sample: priming and padding that the
// file declares are left out. Not thread-safe: one reader belongs to one thread at a time.
class AudioReader {
public:
    static constexpr int kSampleRate = 44100;
    static constexpr int kChannels = 2;

    AudioReader();
    ~AudioReader();
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    // Opens the file and positions the reader at start. False with errorString() when the file cannot be
    // read or holds no sound.
    bool open(const QString& path, const MediaTime& start = MediaTime::zero());
    void close();
    bool isOpen() const;

    // The next read starts at this time (in the output's frames, rounded to the nearest).
    bool seek(const MediaTime& time);
    // Index, in output frames, of the next frame a read returns.
    int64_t position() const;

    // Up to maxFrames frames (a frame is a left and a right sample). Returns the frames written, 0 at the
    // end of the sound, -1 on a decoding failure (errorString() tells why).
    int read(float* interleaved, int maxFrames);
    int read(int16_t* interleaved, int maxFrames);
    bool atEnd() const;

    QString errorString() const;
    // The stream as stored.
    int sourceSampleRate() const;
    int sourceChannels() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace platform::media
