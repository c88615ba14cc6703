#include "platform/media/ByteClock.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

namespace platform::media::detail {

namespace {

struct Header {
    int length = 0; // the frame's bytes, header included; 0: no header here
    int sampleRate = 0;
};

Header mpegAudioHeader(const uint8_t* b) {
    const uint32_t h = uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
    if ((h & 0xffe00000u) != 0xffe00000u)
        return {};
    const int version = int(h >> 19) & 3; // 0: 2.5, 1: reserved, 2: 2, 3: 1
    const int layer = 4 - (int(h >> 17) & 3);
    const int rateIndex = int(h >> 12) & 15;
    const int srIndex = int(h >> 10) & 3;
    if (version == 1 || layer == 4 || rateIndex == 0 || rateIndex == 15 || srIndex == 3)
        return {};
    static constexpr std::array<std::array<int, 15>, 5> kKbps{{
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}, // 1, I
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},    // 1, II
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},     // 1, III
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},    // 2 and 2.5, I
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},         // 2 and 2.5, II and III
    }};
    static constexpr std::array<int, 3> kRates{44100, 48000, 32000};
    const bool first = version == 3;
    const int kbps = kKbps[std::size_t(first ? layer - 1 : (layer == 1 ? 3 : 4))][std::size_t(rateIndex)];
    const int rate = kRates[std::size_t(srIndex)] >> (first ? 0 : version == 2 ? 1 : 2);
    const int padding = int(h >> 9) & 1;
    if (layer == 1)
        return {(12000 * kbps / rate + padding) * 4, rate};
    const int perKbps = layer == 3 && !first ? 72000 : 144000;
    return {perKbps * kbps / rate + padding, rate};
}

Header adtsHeader(const uint8_t* b) {
    if (b[0] != 0xff || (b[1] & 0xf6) != 0xf0)
        return {};
    static constexpr std::array<int, 13> kRates{96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                                22050, 16000, 12000, 11025, 8000,  7350};
    const int srIndex = (b[2] >> 2) & 15;
    const int length = (b[3] & 3) << 11 | b[4] << 3 | b[5] >> 5;
    if (srIndex >= int(kRates.size()) || length < 7)
        return {};
    return {length, kRates[std::size_t(srIndex)]};
}

Header ac3Header(const uint8_t* b) {
    if (b[0] != 0x0b || b[1] != 0x77)
        return {};
    const int bsid = b[5] >> 3;
    const int fscod = b[4] >> 6;
    if (bsid > 10 && bsid <= 16) { // E-AC-3 tells its length outright
        static constexpr std::array<int, 3> kRates{48000, 44100, 32000};
        const int rate =
            fscod == 3 ? kRates[std::size_t((b[4] >> 4) & 3) % 3] / 2 : kRates[std::size_t(fscod)];
        return {(((b[2] & 7) << 8 | b[3]) + 1) * 2, rate};
    }
    const int sizeCode = b[4] & 63;
    if (bsid > 10 || fscod == 3 || sizeCode >= 38)
        return {};
    static constexpr std::array<int, 19> kKbps{32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                               192, 224, 256, 320, 384, 448, 512, 576, 640};
    const int kbps = kKbps[std::size_t(sizeCode / 2)];
    static constexpr std::array<int, 3> kRates{48000, 44100, 32000};
    const int words = fscod == 0   ? 2 * kbps
                      : fscod == 2 ? 3 * kbps
                                   : kbps * 1536000 / 44100 / 16 + (sizeCode & 1);
    return {words * 2, kRates[std::size_t(fscod)]};
}

Header headerAt(AVCodecID codec, const uint8_t* data, int available) {
    switch (codec) {
    case AV_CODEC_ID_MP1:
    case AV_CODEC_ID_MP2:
    case AV_CODEC_ID_MP3:
        return available >= 4 ? mpegAudioHeader(data) : Header{};
    case AV_CODEC_ID_AAC:
        return available >= 7 ? adtsHeader(data) : Header{};
    case AV_CODEC_ID_AC3:
    case AV_CODEC_ID_EAC3:
        return available >= 6 ? ac3Header(data) : Header{};
    default:
        return {};
    }
}

// The table of contents an MP3 encoder writes into the first frame of a VBR stream: where each hundredth of
// the sound starts, in 256ths of the stream's bytes from that frame. A CBR stream's ("Info") is left alone:
// its bytes tell its time more finely than the table.
std::optional<ByteClock::Contents> contentsAt(const uint8_t* data, int size, int64_t at) {
    for (int offset = 0; offset + 4 <= size; ++offset) {
        const Header header = mpegAudioHeader(data + offset);
        if (header.length == 0)
            continue;
        const uint8_t* b = data + offset;
        const int version = (b[1] >> 3) & 3;
        const int layer = 4 - ((b[1] >> 1) & 3);
        const bool mono = (b[3] >> 6) == 3;
        if (layer != 3)
            return std::nullopt;
        const int sideInfo = version == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17);
        const int tag = offset + 4 + sideInfo;
        if (tag + 120 > size || std::memcmp(data + tag, "Xing", 4) != 0)
            return std::nullopt;
        const auto word = [&](int from) {
            return int64_t(data[from]) << 24 | int64_t(data[from + 1]) << 16 | int64_t(data[from + 2]) << 8 |
                   int64_t(data[from + 3]);
        };
        if ((word(tag + 4) & 7) != 7) // frames, bytes and the table, all of them
            return std::nullopt;
        ByteClock::Contents contents;
        contents.start = at + offset;
        contents.bytes = word(tag + 12);
        contents.seconds = double(word(tag + 8)) * (version == 3 ? 1152 : 576) / header.sampleRate;
        std::memcpy(contents.table.data(), data + tag + 16, contents.table.size());
        if (contents.bytes <= 0 || !(contents.seconds > 0.0))
            return std::nullopt;
        return contents;
    }
    return std::nullopt;
}

} // namespace

std::optional<ByteClock::Contents> ByteClock::readContents(AVIOContext* file) {
    const int64_t back = file ? avio_tell(file) : -1;
    if (back < 0 || avio_seek(file, 0, SEEK_SET) < 0)
        return std::nullopt;
    std::array<uint8_t, 4096> data{};
    int64_t at = 0;
    // A tag before the sound (ID3v2) tells its own size.
    if (avio_read(file, data.data(), 10) == 10 && std::memcmp(data.data(), "ID3", 3) == 0)
        at = 10 +
             (int64_t(data[6] & 0x7f) << 21 | int64_t(data[7] & 0x7f) << 14 | int64_t(data[8] & 0x7f) << 7 |
              int64_t(data[9] & 0x7f)) +
             ((data[5] & 0x10) ? 10 : 0);
    const int read = avio_seek(file, at, SEEK_SET) >= 0 ? avio_read(file, data.data(), int(data.size())) : -1;
    avio_seek(file, back, SEEK_SET);
    return read > 0 ? contentsAt(data.data(), read, at) : std::nullopt;
}

double ByteClock::Contents::secondsAt(int64_t position) const {
    const double share = std::clamp(double(position - start) / double(bytes), 0.0, 1.0) * 256.0;
    std::size_t part = 0;
    while (part + 1 < table.size() && table[part + 1] <= share)
        ++part;
    const double from = table[part];
    const double to = part + 1 < table.size() ? table[part + 1] : 256.0;
    const double within = to > from ? std::clamp((share - from) / (to - from), 0.0, 1.0) : 0.0;
    return (double(part) + within) / double(table.size()) * seconds;
}

FrameSpan findFrame(AVCodecID codec, const uint8_t* data, int size, int sampleRate) {
    const auto fits = [&](const Header& header) {
        return header.length > 0 && (sampleRate <= 0 || header.sampleRate == sampleRate);
    };
    for (int offset = 0; offset < size; ++offset) {
        const Header header = headerAt(codec, data + offset, size - offset);
        if (fits(header) && offset + header.length == size)
            return {offset, header.length};
    }
    const Header first = headerAt(codec, data, size);
    if (fits(first) && first.length <= size)
        return {0, first.length};
    return {};
}

bool ByteClock::applies(const AVFormatContext* input) {
    static constexpr std::array<const char*, 4> kCounted{"mp3", "aac", "ac3", "eac3"};
    const char* name = input && input->iformat ? input->iformat->name : nullptr;
    for (const char* counted : kCounted)
        if (name && std::strcmp(name, counted) == 0)
            return true;
    return false;
}

ByteClock::ByteClock(const AVStream* stream, AVIOContext* file) : stream(stream), file(file) {
    if (stream && stream->codecpar->codec_id == AV_CODEC_ID_MP3)
        contents = readContents(file);
}

int64_t ByteClock::ticksBetween(int64_t from, int64_t to) const {
    if (to <= from)
        return 0;
    if (!contents || from < 0)
        return ticksOf(to - from);
    const double seconds = contents->secondsAt(to) - contents->secondsAt(from);
    return std::llround(seconds / av_q2d(stream->time_base));
}

void ByteClock::restart() {
    next = AV_NOPTS_VALUE;
    pendingPos = -1;
    pendingBytes = 0;
    pendingTicks = 0;
    nextPos = -1;
    unread = -1;
    handedOn = 0;
}

int64_t ByteClock::ticksOf(int64_t bytes) const {
    if (bytes <= 0)
        return 0;
    if (frameBytes > 0 && frameTicks > 0)
        return av_rescale(bytes, frameTicks, frameBytes);
    const int64_t bitRate = stream->codecpar->bit_rate;
    if (bitRate <= 0)
        return 0;
    // bytes * 8 / bit rate seconds, in the stream's ticks
    return av_rescale_q(av_rescale(bytes, 8 * 1000000, bitRate), AVRational{1, 1000000}, stream->time_base);
}

int64_t ByteClock::skippedBefore(const AVPacket* packet, int64_t readTo) {
    int64_t skipped = packet->pos >= 0 && nextPos >= 0 ? std::max<int64_t>(packet->pos - nextPos, 0) : 0;
    nextPos = packet->pos >= 0 ? packet->pos + packet->size : -1;
    if (readTo < 0) {
        unread = -1;
        return skipped;
    }
    // Some demuxers give a packet a place counted from the packets before it, not where it was read: how
    // far the input was read beyond the packets handed on tells the bytes skipped all the same. It holds
    // still from packet to packet when the demuxer reads frame by frame (once the packets it read ahead on
    // opening are handed on); one that reads in chunks makes it swing, and folds what it skips into a packet.
    handedOn += packet->size;
    const int64_t nowUnread = readTo - handedOn;
    if (unread != -1) {
        if (frameByFrame && nowUnread < unread)
            chunked = true;
        else if (frameByFrame && !chunked)
            skipped = std::max(skipped, nowUnread - unread);
        frameByFrame = frameByFrame || (nowUnread == unread && readTo > readBefore);
    }
    unread = nowUnread;
    readBefore = readTo;
    return skipped;
}

ByteClock::Packet ByteClock::restamp(AVPacket* packet) {
    const FrameSpan frame =
        findFrame(stream->codecpar->codec_id, packet->data, packet->size, stream->codecpar->sample_rate);
    const int64_t skipped = skippedBefore(packet, file ? avio_tell(file) : -1);
    if (next == AV_NOPTS_VALUE)
        next = packet->pts != AV_NOPTS_VALUE ? packet->pts : 0;
    else
        next += ticksOf(skipped);
    pendingBytes = 0;
    pendingTicks = 0;
    const int64_t pos = packet->pos;
    const auto at = [pos](int64_t offset) { return pos >= 0 ? pos + offset : -1; };
    if (frame.length == 0) {
        packet->pts = packet->dts = next;
        next += ticksBetween(at(0), at(packet->size));
        return Packet::Garbage;
    }
    const int trailing = packet->size - frame.offset - frame.length;
    const int64_t stamp = next + ticksBetween(at(0), at(frame.offset));
    packet->pts = packet->dts = stamp;
    const int64_t duration = std::max<int64_t>(packet->duration, 0);
    next = stamp + duration + ticksBetween(at(frame.offset + frame.length), at(packet->size));
    pendingPos = at(frame.offset);
    pendingBytes = frame.length;
    pendingTicks = duration;
    return frame.offset > 0 || trailing > 0 || skipped > 0 ? Packet::Spoilt : Packet::Whole;
}

void ByteClock::settle(bool decoded) {
    if (decoded && pendingTicks > 0) {
        frameBytes += pendingBytes;
        frameTicks += pendingTicks;
    } else if (!decoded) {
        // Random bytes pass a frame header's checks now and then, declaring a frame's time whatever they
        // hold: a refused frame stands for the time of its bytes.
        next += ticksBetween(pendingPos, pendingPos + pendingBytes) - pendingTicks;
    }
    pendingBytes = 0;
    pendingTicks = 0;
}

} // namespace platform::media::detail
