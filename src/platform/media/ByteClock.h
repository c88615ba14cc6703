#pragma once

// Part of the media classes' plumbing over the FFmpeg libraries; not part of the public interface.

#include "platform/media/LibavSupport.h"

#include <array>
#include <cstdint>
#include <optional>

namespace platform::media::detail {

// Where, within a coded packet of a raw stream, the one frame it declares lies.
struct FrameSpan {
    int offset = 0;
    int length = 0; // 0: no frame of the stream's kind is found in it
};

// The frame of an MP3 (MPEG audio), ADTS AAC or (E-)AC-3 packet. A parser that resyncs over spoilt bytes
// folds them into a packet, before its frame (MP3) or after it (AAC, AC-3): found where its declared length
// ends the packet, else at its start. `sampleRate` (0: any) keeps bytes that only look like a header out.
FrameSpan findFrame(AVCodecID codec, const uint8_t* data, int size, int sampleRate);

// Stamps the packets of a raw stream (MP3, ADTS AAC, AC-3) by what they hold. Its demuxer stamps each packet
// by adding up the frames before it, so the bytes it resyncs over leave no jump in the stamps and all that
// follows would play early. Here the bytes lost count as time at the stream's byte rate so far, so that the
// next stamp lies where that stretch ends: those a packet holds beyond the frame it declares (the parser
// folded them in), and those the demuxer skipped between two packets on its own (ADTS), told by where the
// packet lies or by how far the input was read.
class ByteClock {
public:
    // Whether the input's stamps are counted rather than stored.
    static bool applies(const AVFormatContext* input);

    // The table of contents at the start of a VBR MP3 stream, which maps its bytes to its time.
    struct Contents {
        int64_t start = 0; // of the frame holding it, in the file
        int64_t bytes = 0; // of the stream from there
        double seconds = 0.0;
        std::array<uint8_t, 100> table{};
        double secondsAt(int64_t position) const;
    };
    // That of the file read by `file`, read from its start without moving its reader.
    static std::optional<Contents> readContents(AVIOContext* file);

    // The stream read from `file`. An MP3 stream whose file holds a table of contents times the bytes it
    // lost by it; others (and one without) at their byte rate so far.
    explicit ByteClock(const AVStream* stream = nullptr, AVIOContext* file = nullptr);
    // After an open or a seek: the next packet keeps the stamp its demuxer gave it.
    void restart();
    enum class Packet {
        Whole,   // one frame and nothing else
        Spoilt,  // a frame, with bytes beyond it: a stretch of the stream is lost there
        Garbage, // no frame of the stream's kind: not to be decoded, its bytes are lost time
    };
    // Rewrites the stamps of the stream's next packet, just read from `file`, before it goes to the decoder.
    Packet restamp(AVPacket* packet);
    // The decoder took (or refused) the packet last restamped.
    void settle(bool decoded);

private:
    // Ticks of the stream's time base that `bytes` stand for.
    int64_t ticksOf(int64_t bytes) const;
    // Ticks from byte `from` of the file to byte `to` (-1: where is not known).
    int64_t ticksBetween(int64_t from, int64_t to) const;
    // The bytes the demuxer skipped before this packet without handing them on.
    int64_t skippedBefore(const AVPacket* packet, int64_t readTo);

    const AVStream* stream = nullptr;
    AVIOContext* file = nullptr;   // how far it was read tells the bytes its demuxer skipped
    int64_t next = AV_NOPTS_VALUE; // the stamp of the next packet's frame
    int64_t frameBytes = 0;        // of the frames decoded, for the byte rate
    int64_t frameTicks = 0;
    std::optional<Contents> contents;
    int64_t pendingPos = -1; // of the frame of the packet last restamped
    int pendingBytes = 0;
    int64_t pendingTicks = 0;
    int64_t nextPos = -1; // where the packet after the last one should lie
    // How far the input was read beyond the packets handed on since the last restart, after the last one
    // (-1: not known yet), and how far it was read then.
    int64_t unread = -1;
    int64_t readBefore = -1;
    int64_t handedOn = 0;
    bool frameByFrame = false; // the demuxer reads a frame for each packet
    bool chunked = false;      // it reads ahead in chunks after all
};

} // namespace platform::media::detail
