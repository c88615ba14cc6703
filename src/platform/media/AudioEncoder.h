#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

struct AVCodecContext;
struct AVPacket;

namespace platform::media {

// Encodes interleaved stereo 44.1 kHz samples (16-bit or float) with one of the libraries' audio encoders
// ("aac", "libmp3lame", ...): converted to the encoder's sample format by libswresample and gathered in
// an audio FIFO into frames of the encoder's size. Each packet goes to the sink. Not thread-safe.
class AudioEncoder {
public:
    static constexpr int kSampleRate = 44100;
    static constexpr int kChannels = 2;
    // Takes a finished packet (stamped in the encoder's time base); false stops the encoding.
    using PacketSink = std::function<bool(AVPacket*, QString* error)>;

    AudioEncoder();
    ~AudioEncoder();
    AudioEncoder(const AudioEncoder&) = delete;
    AudioEncoder& operator=(const AudioEncoder&) = delete;

    bool open(const char* codecName, int64_t bitRate, bool globalHeader, QString* error);
    const AVCodecContext* context() const;
    void setPacketSink(PacketSink sink);

    bool write(const float* interleaved, int frames, QString* error);
    bool write(const int16_t* interleaved, int frames, QString* error);
    // Encodes the frames still gathered and drains the encoder.
    bool finish(QString* error);
    // Frames handed in so far: the time, in 1/44100 s, up to which the stream is written.
    int64_t framesWritten() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace platform::media
