#include "platform/media/MediaAsset.h"

#include "platform/media/ByteClock.h"
#include "platform/media/LibavSupport.h"

#include <algorithm>
#include <cmath>
#include <optional>

extern "C" {
#include <libavutil/intreadwrite.h>
}

namespace platform::media {

using namespace detail;

namespace {

const AVStream* firstStream(const AVFormatContext* input, AVMediaType type) {
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* stream = input->streams[i];
        if (stream->codecpar->codec_type != type)
            continue;
        // Cover art of a song arrives as a one-picture video stream: it is not a picture track.
        if (type == AVMEDIA_TYPE_VIDEO && (stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
            continue;
        return stream;
    }
    return nullptr;
}

// The container's own figure for a stream's length, in seconds; negative when it gives none.
double declaredSeconds(const AVFormatContext* input, const AVStream* stream) {
    if (stream && stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        return static_cast<double>(stream->duration) * av_q2d(stream->time_base);
    if (input->duration != AV_NOPTS_VALUE && input->duration > 0)
        return static_cast<double>(input->duration) / AV_TIME_BASE;
    return -1.0;
}

// Lengths found by walking the packets of a stream.
struct PacketSpan {
    int64_t durationSum = 0;
    int64_t firstTimestamp = AV_NOPTS_VALUE;
    int64_t lastEnd = AV_NOPTS_VALUE;
    int64_t trimmedSamples = 0;
    bool byStamps = false; // the stamps tell the length (they count what the file lost), not the durations

    void add(const AVPacket* packet) {
        durationSum += packet->duration;
        const int64_t stamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        if (stamp == AV_NOPTS_VALUE)
            return;
        if (firstTimestamp == AV_NOPTS_VALUE || stamp < firstTimestamp)
            firstTimestamp = stamp;
        lastEnd = std::max(lastEnd == AV_NOPTS_VALUE ? stamp : lastEnd, stamp + packet->duration);
        size_t size = 0;
        const uint8_t* skip = av_packet_get_side_data(packet, AV_PKT_DATA_SKIP_SAMPLES, &size);
        if (skip && size >= 8)
            trimmedSamples += AV_RL32(skip) + AV_RL32(skip + 4);
    }

    // Seconds of the stream as played: priming and padding samples named by the packets are left out.
    double seconds(const AVStream* stream) const {
        int64_t ticks = byStamps ? 0 : durationSum;
        if (ticks <= 0 && firstTimestamp != AV_NOPTS_VALUE)
            ticks = lastEnd - firstTimestamp;
        double result = static_cast<double>(ticks) * av_q2d(stream->time_base);
        if (stream->codecpar->sample_rate > 0)
            result -= static_cast<double>(trimmedSamples) / stream->codecpar->sample_rate;
        return std::max(result, 0.0);
    }
};

QVariantMap readTags(const AVFormatContext* input, std::initializer_list<const AVStream*> streams) {
    QVariantMap tags;
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = av_dict_get(input->metadata, "", entry, AV_DICT_IGNORE_SUFFIX)))
        tags.insert(QString::fromUtf8(entry->key).toLower(), QString::fromUtf8(entry->value));
    // Some containers keep the song's tags on the stream; technical stream tags are not wanted.
    static const QStringList common = {"title",   "artist", "album",    "album_artist", "genre",      "date",
                                       "comment", "track",  "composer", "copyright",    "description"};
    for (const AVStream* stream : streams) {
        if (!stream)
            continue;
        for (const QString& key : common) {
            const AVDictionaryEntry* tag =
                av_dict_get(stream->metadata, key.toUtf8().constData(), nullptr, 0);
            if (tag && !tags.contains(key))
                tags.insert(key, QString::fromUtf8(tag->value));
        }
    }
    return tags;
}

} // namespace

// Fills an asset from an open input; a friend of the asset so that the asset stays a plain value.
class MediaAssetProbe {
public:
    static void probe(MediaAsset& asset, AVFormatContext* input, bool preciseDuration) {
        const AVStream* audio = firstStream(input, AVMEDIA_TYPE_AUDIO);
        const AVStream* video = firstStream(input, AVMEDIA_TYPE_VIDEO);
        asset.format = QString::fromUtf8(input->iformat->name);
        asset.tags = readTags(input, {audio, video});
        double audioSeconds = audio ? declaredSeconds(input, audio) : 0.0;
        double videoSeconds = video ? declaredSeconds(input, video) : 0.0;
        const bool estimated = input->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
        // MPEG-4 and QuickTime files index every sample: their lengths are exact without a pass over a
        // file that may be a long film.
        const bool indexed = asset.format.startsWith(QLatin1String("mov,"));
        if (audio && ((preciseDuration && !indexed) || estimated || audioSeconds < 0)) {
            PacketSpan span = measure(input, audio->index);
            if (span.firstTimestamp != AV_NOPTS_VALUE || span.durationSum > 0)
                audioSeconds = span.seconds(audio);
        }
        if (audio)
            describeAudio(asset, audio, std::max(audioSeconds, 0.0));
        if (video)
            describeVideo(asset, video, std::max(videoSeconds, 0.0));
        asset.totalDuration = MediaTime::fromSeconds(
            std::max(asset.audioRange.duration.seconds(), asset.videoRange.duration.seconds()));
        asset.valid = audio || video;
        if (!asset.valid)
            asset.error = QStringLiteral("\"%1\" holds no sound and no picture").arg(asset.filePath);
    }

private:
    // A raw stream that lost a stretch is as long as its bytes tell, as its reader plays it.
    static PacketSpan measure(AVFormatContext* input, int streamIndex) {
        PacketSpan span;
        std::optional<detail::ByteClock> clock;
        if (detail::ByteClock::applies(input))
            clock.emplace(input->streams[streamIndex], input->pb);
        span.byStamps = clock.has_value();
        PacketPtr packet = makePacket();
        while (av_read_frame(input, packet.get()) >= 0) {
            if (packet->stream_index == streamIndex) {
                const bool whole =
                    !clock || clock->restamp(packet.get()) != detail::ByteClock::Packet::Garbage;
                if (clock)
                    clock->settle(whole);
                if (whole)
                    span.add(packet.get());
            }
            av_packet_unref(packet.get());
        }
        return span;
    }

    static void describeAudio(MediaAsset& asset, const AVStream* audio, double seconds) {
        asset.audioPresent = true;
        asset.audioRange = {MediaTime::zero(), MediaTime::fromSeconds(seconds)};
        asset.audioSampleRate = audio->codecpar->sample_rate;
        asset.audioChannels = audio->codecpar->ch_layout.nb_channels;
        asset.audioCodec = QString::fromUtf8(avcodec_get_name(audio->codecpar->codec_id));
    }

    static void describeVideo(MediaAsset& asset, const AVStream* video, double seconds) {
        asset.videoPresent = true;
        asset.videoRange = {MediaTime::zero(), MediaTime::fromSeconds(seconds)};
        asset.pictureSize = QSize(video->codecpar->width, video->codecpar->height);
        asset.pictureRotation = streamRotation(video);
        AVRational rate = video->avg_frame_rate.num > 0 ? video->avg_frame_rate : video->r_frame_rate;
        asset.videoFrameRate = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0.0;
        asset.videoCodec = QString::fromUtf8(avcodec_get_name(video->codecpar->codec_id));
        asset.videoFrames = video->nb_frames > 0 ? qint64(video->nb_frames)
                                                 : qint64(std::llround(seconds * asset.videoFrameRate));
    }
};

MediaAsset MediaAsset::open(const QString& path, bool preciseDuration) {
    MediaAsset asset;
    asset.filePath = path;
    InputPtr input = openInput(path, &asset.error);
    if (input)
        MediaAssetProbe::probe(asset, input.get(), preciseDuration);
    return asset;
}

bool endsBeforeItsLength(const QString& path) {
    constexpr double kTailSeconds = 2.0;
    constexpr double kSlackSeconds = 0.5;
    InputPtr input = openInput(path, nullptr);
    if (!input || input->duration == AV_NOPTS_VALUE || input->duration <= 0 ||
        input->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE)
        return false;
    const int64_t start = input->start_time == AV_NOPTS_VALUE ? 0 : input->start_time;
    const double length = double(input->duration) / AV_TIME_BASE;
    const int64_t tail = std::max<int64_t>(0, input->duration - int64_t(kTailSeconds * AV_TIME_BASE));
    // Where the index leads past the end of the data, reading stops there; a failed seek reads it all.
    av_seek_frame(input.get(), -1, start + tail, AVSEEK_FLAG_BACKWARD);
    double reached = 0.0;
    PacketPtr packet = makePacket();
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        const AVStream* stream = input->streams[packet->stream_index];
        const int64_t stamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        if (stamp != AV_NOPTS_VALUE)
            reached = std::max(reached, double(stamp + std::max<int64_t>(packet->duration, 0)) *
                                                av_q2d(stream->time_base) -
                                            double(start) / AV_TIME_BASE);
        av_packet_unref(packet.get());
    }
    return reached < length - kSlackSeconds;
}

QSize MediaAsset::displaySize() const {
    return pictureRotation % 180 == 90 ? pictureSize.transposed() : pictureSize;
}

} // namespace platform::media
