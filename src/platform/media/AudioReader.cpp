#include "platform/media/AudioReader.h"

#include "platform/foundation/UniqueFd.h"
#include "platform/media/ByteClock.h"
#include "platform/media/LibavSupport.h"
#include "platform/media/SampleFormat.h"

#include <fcntl.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace platform::media {

using namespace detail;

namespace {
constexpr int64_t kNone = std::numeric_limits<int64_t>::min();
// Decoding starts this far before a seek's target so that the decoder has settled when the target comes.
constexpr double kSeekPreroll = 0.25;
// A frame stamped this much later than the sound before it ends follows a stretch the file lost; within it,
// timestamps rounded by their container are taken as they come.
constexpr double kGapTolerance = 0.002;
// A jump of the timestamps this long is no lost sound but a stream whose stamps start again elsewhere.
constexpr double kLongestGap = 10.0;
} // namespace

struct AudioReader::Impl {
    QString path;
    UniqueFd file; // the file when opened through a descriptor, else read by path
    OutputFormat out;
    int audioStream = 0;
    int audioStreams = 0;
    QString error;
    InputPtr input;
    CodecContextPtr decoder;
    ResamplerPtr resampler;
    AVChannelLayout resamplerLayout{};
    int resamplerFormat = -1;
    int resamplerRate = 0;
    PacketPtr packet;
    FramePtr frame;
    const AVStream* stream = nullptr;

    std::vector<float> pending; // converted frames not yet handed out
    size_t pendingOffset = 0;   // in samples
    int64_t position = 0;       // output index of the next frame handed out
    int64_t nextIndex = 0;     // output index of the next frame the resampler yields; kNone: from a timestamp
    int64_t dropUntil = kNone; // frames before this index are discarded (after a seek)
    int64_t produced = 0;
    bool inputEnded = false;
    bool ended = false;
    bool failed = false;
    int readError = 0;
    int badPackets = 0;
    int refused = 0;
    int64_t refusedRun = 0;      // the stream's ticks of the packets refused since the last frame
    bool lostSinceFrame = false; // a packet since the last frame was refused or held bytes beyond its frame
    int64_t stampOrigin = kNone; // the output index the stream's timestamps count from
    std::optional<ByteClock> byteClock; // for a stream whose demuxer counts its stamps
    double spoiltLimit = 0.0;
    bool damaged = false; // the read failed on what the file lost
    // The stretches of the sound the file lost, in output frames [start, end), merged: read again after a
    // seek, a stretch counts once.
    std::map<int64_t, int64_t> spoiltStretches;

    ~Impl() { av_channel_layout_uninit(&resamplerLayout); }

    bool fail(const QString& message) {
        error = message;
        failed = true;
        return false;
    }

    bool openFile() {
        error.clear();
        failed = ended = inputEnded = false;
        readError = badPackets = refused = 0;
        refusedRun = 0;
        lostSinceFrame = false;
        stampOrigin = kNone;
        produced = 0;
        pending.clear();
        pendingOffset = 0;
        resampler.reset();
        input = file ? openInput(file.get(), path, &error) : openInput(path, &error);
        if (!input)
            return fail(error);
        stream = nullptr;
        audioStreams = 0;
        for (unsigned i = 0; i < input->nb_streams; ++i)
            if (input->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO &&
                audioStreams++ == audioStream)
                stream = input->streams[i];
        if (audioStreams == 0)
            return fail(QStringLiteral("\"%1\" holds no sound").arg(path));
        if (!stream)
            return fail(QStringLiteral("\"%1\" has no audio stream %2").arg(path).arg(audioStream + 1));
        decoder = openDecoder(stream, &error);
        if (!decoder)
            return fail(error);
        byteClock.reset();
        if (ByteClock::applies(input.get()))
            byteClock.emplace(stream, input->pb);
        packet = makePacket();
        frame = makeFrame();
        return true;
    }

    bool seekTo(const MediaTime& time) {
        const double seconds = time.isValid() ? std::max(time.seconds(), 0.0) : 0.0;
        if (!openFile())
            return false;
        const int64_t target = std::llround(seconds * out.sampleRate);
        position = target;
        nextIndex = 0;
        dropUntil = target > 0 ? target : kNone;
        if (seconds - kSeekPreroll <= 0.0)
            return true;
        const int64_t origin = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
        const int64_t stamp = origin + av_rescale_q(std::llround((seconds - kSeekPreroll) * 1000000.0),
                                                    AVRational{1, 1000000}, stream->time_base);
        if (av_seek_frame(input.get(), stream->index, stamp, AVSEEK_FLAG_BACKWARD) >= 0) {
            avcodec_flush_buffers(decoder.get());
            nextIndex = kNone;
            if (byteClock)
                byteClock->restart();
        } else if (!openFile()) { // a file that cannot seek is decoded from its start and cut
            return false;
        }
        return true;
    }

    bool configureResampler(const AVFrame* source) {
        const bool same = resampler && resamplerFormat == source->format &&
                          resamplerRate == source->sample_rate &&
                          av_channel_layout_compare(&resamplerLayout, &source->ch_layout) == 0;
        if (same)
            return true;
        AVChannelLayout inLayout{};
        if (source->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || source->ch_layout.nb_channels <= 0)
            av_channel_layout_default(&inLayout, std::max(source->ch_layout.nb_channels, 1));
        else
            av_channel_layout_copy(&inLayout, &source->ch_layout);
        AVChannelLayout outLayout{};
        av_channel_layout_default(&outLayout, out.channels);
        SwrContext* raw = nullptr;
        int err =
            swr_alloc_set_opts2(&raw, &outLayout, AV_SAMPLE_FMT_FLT, out.sampleRate, &inLayout,
                                static_cast<AVSampleFormat>(source->format), source->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&inLayout);
        av_channel_layout_uninit(&outLayout);
        ResamplerPtr created(raw);
        if (err >= 0)
            err = swr_init(created.get());
        if (err < 0)
            return fail(avFailure(QStringLiteral("Cannot convert the sound of \"%1\"").arg(path), err));
        flushResampler(); // what the old one still holds belongs before the new frames
        resampler = std::move(created);
        resamplerFormat = source->format;
        resamplerRate = source->sample_rate;
        av_channel_layout_uninit(&resamplerLayout);
        av_channel_layout_copy(&resamplerLayout, &source->ch_layout);
        return true;
    }

    void append(const float* data, int frames) {
        if (frames <= 0)
            return;
        if (nextIndex == kNone)
            nextIndex = dropUntil == kNone ? 0 : dropUntil;
        const int64_t start = nextIndex;
        nextIndex += frames;
        if (dropUntil != kNone) {
            if (start > dropUntil) // the seek landed after the target: silence stands in for the gap
                pending.insert(pending.end(), static_cast<size_t>(start - dropUntil) * out.channels, 0.0f);
            const int64_t skip = std::clamp<int64_t>(dropUntil - start, 0, frames);
            if (skip == frames)
                return;
            data += skip * out.channels;
            frames -= static_cast<int>(skip);
            dropUntil = kNone;
        }
        pending.insert(pending.end(), data, data + static_cast<size_t>(frames) * out.channels);
        produced += frames;
    }

    // MP4 files mark the padding of the last AAC frame only by that packet's shorter duration.
    int usableSamples(const AVFrame* source) const {
        if (source->pkt_duration <= 0 || source->sample_rate <= 0)
            return source->nb_samples;
        const int64_t declared =
            av_rescale_q(source->pkt_duration, stream->time_base, AVRational{1, source->sample_rate});
        return declared > 0 && declared < source->nb_samples ? static_cast<int>(declared)
                                                             : source->nb_samples;
    }

    // Frames [start, start + frames) of the sound the file should hold and does not give. The stretches
    // of a file add up: past the limit the read fails.
    bool spoilt(int64_t start, int64_t frames) {
        if (frames <= 0)
            return true;
        int64_t end = start + frames;
        auto next = spoiltStretches.upper_bound(start);
        if (next != spoiltStretches.begin() && std::prev(next)->second >= start) {
            --next;
            start = next->first;
        }
        while (next != spoiltStretches.end() && next->first <= end) {
            end = std::max(end, next->second);
            next = spoiltStretches.erase(next);
        }
        spoiltStretches[start] = end;
        const double seconds = spoiltSeconds();
        if (spoiltLimit > 0.0 && seconds > spoiltLimit) {
            damaged = true;
            return fail(QStringLiteral("Cannot decode the sound of \"%1\": %2 s of it are spoilt")
                            .arg(path)
                            .arg(seconds, 0, 'f', 2));
        }
        return true;
    }

    double spoiltSeconds() const {
        int64_t frames = 0;
        for (const auto& [start, end] : spoiltStretches)
            frames += end - start;
        return static_cast<double>(frames) / out.sampleRate;
    }

    // The packets refused after the last frame: the sound ends there, and what they held is lost.
    bool endRefusedRun() {
        const int64_t frames = av_rescale_q(refusedRun, stream->time_base, AVRational{1, out.sampleRate});
        refusedRun = 0;
        const int64_t at = nextIndex == kNone ? position : nextIndex;
        return spoilt(at, frames);
    }

    // Silence as long as the stretch the file lost before this frame, so that the frame and all after it
    // play at their own time. A jump of the stamps with nothing lost before it is a pause the file declares.
    bool fillGapBefore(const AVFrame* source) {
        const bool lost = std::exchange(lostSinceFrame, false);
        refusedRun = 0;
        if (source->best_effort_timestamp == AV_NOPTS_VALUE || nextIndex == kNone)
            return true;
        const int64_t stamp =
            std::llround(streamSeconds(stream, source->best_effort_timestamp) * out.sampleRate);
        const int64_t due = nextIndex + swr_get_delay(resampler.get(), out.sampleRate);
        const int64_t gap = stampOrigin == kNone ? 0 : stamp - stampOrigin - due;
        if (stampOrigin == kNone || gap > std::llround(kLongestGap * out.sampleRate)) {
            stampOrigin = stamp - due; // the first frame, or stamps that start again elsewhere
            return true;
        }
        if (gap <= std::llround(kGapTolerance * out.sampleRate))
            return true;
        if (lost && !spoilt(due, gap))
            return false;
        const std::vector<float> silence(static_cast<size_t>(gap) * out.channels, 0.0f);
        append(silence.data(), static_cast<int>(gap));
        return true;
    }

    bool convert(const AVFrame* source) {
        if (!configureResampler(source))
            return false;
        if (nextIndex == kNone && source->best_effort_timestamp != AV_NOPTS_VALUE)
            nextIndex = std::llround(streamSeconds(stream, source->best_effort_timestamp) * out.sampleRate);
        if (!fillGapBefore(source))
            return false;
        const int usable = usableSamples(source);
        const int capacity = swr_get_out_samples(resampler.get(), usable);
        std::vector<float> converted(static_cast<size_t>(std::max(capacity, 0)) * out.channels);
        auto* out = reinterpret_cast<uint8_t*>(converted.data());
        const int frames = swr_convert(resampler.get(), &out, capacity,
                                       const_cast<const uint8_t**>(source->extended_data), usable);
        if (frames < 0)
            return fail(avFailure(QStringLiteral("Cannot convert the sound of \"%1\"").arg(path), frames));
        append(converted.data(), frames);
        return true;
    }

    void flushResampler() {
        if (!resampler)
            return;
        const int capacity = swr_get_out_samples(resampler.get(), 0);
        if (capacity <= 0)
            return;
        std::vector<float> converted(static_cast<size_t>(capacity) * out.channels);
        auto* out = reinterpret_cast<uint8_t*>(converted.data());
        const int frames = swr_convert(resampler.get(), &out, capacity, nullptr, 0);
        append(converted.data(), frames);
    }

    // Feeds the decoder one packet of the stream, or the end of the input.
    bool feedDecoder() {
        if (inputEnded)
            return true;
        const int badBefore = badPackets;
        bool restamped = false;
        const FeedResult fed = detail::feedDecoder(
            input.get(), decoder.get(), packet.get(), stream->index, badPackets, [&](AVPacket* coded) {
                restamped = true;
                const ByteClock::Packet kind =
                    byteClock ? byteClock->restamp(coded) : ByteClock::Packet::Whole;
                lostSinceFrame = lostSinceFrame || kind != ByteClock::Packet::Whole;
                return kind != ByteClock::Packet::Garbage;
            });
        const bool refusedNow = badPackets > badBefore;
        if (refusedNow) {
            ++refused;
            refusedRun += fed.refusedDuration;
            lostSinceFrame = true;
        }
        if (byteClock && restamped)
            byteClock->settle(!refusedNow);
        if (fed.readError < 0) {
            // A damaged tail ends the sound where it breaks; a file that yields nothing at all is an error.
            readError = fed.readError;
            inputEnded = true;
            if (!endRefusedRun())
                return false;
        }
        if (fed.refused < 0) {
            damaged = true;
            return fail(
                avFailure(QStringLiteral("Cannot decode the sound of \"%1\"").arg(path), fed.refused));
        }
        return true;
    }

    // Decodes until at least one more frame has been converted or the sound has ended.
    bool decodeMore() {
        while (!ended && !failed) {
            const int err = avcodec_receive_frame(decoder.get(), frame.get());
            if (err == 0) {
                const bool ok = convert(frame.get());
                av_frame_unref(frame.get());
                return ok;
            }
            if (err == AVERROR_EOF) {
                flushResampler();
                ended = true;
                if (produced == 0 && readError < 0 && readError != AVERROR_EOF)
                    return fail(
                        avFailure(QStringLiteral("Cannot read the sound of \"%1\"").arg(path), readError));
                return false;
            }
            if (err != AVERROR(EAGAIN))
                return fail(avFailure(QStringLiteral("Cannot decode the sound of \"%1\"").arg(path), err));
            if (!feedDecoder())
                return false;
        }
        return false;
    }

    size_t pendingFrames() const {
        return (pending.size() - pendingOffset) / static_cast<size_t>(out.channels);
    }

    int readFloat(float* destination, int maxFrames) {
        if (!input || failed)
            return -1;
        while (pendingFrames() < static_cast<size_t>(maxFrames) && decodeMore()) {
        }
        if (failed)
            return -1;
        const int frames = static_cast<int>(std::min<size_t>(pendingFrames(), std::max(maxFrames, 0)));
        const size_t samples = static_cast<size_t>(frames) * static_cast<size_t>(out.channels);
        std::copy_n(pending.begin() + static_cast<ptrdiff_t>(pendingOffset), samples, destination);
        pendingOffset += samples;
        if (pendingOffset > pending.size() / 2) {
            pending.erase(pending.begin(), pending.begin() + static_cast<ptrdiff_t>(pendingOffset));
            pendingOffset = 0;
        }
        position += frames;
        return frames;
    }
};

namespace {
AudioReader::OutputFormat usable(AudioReader::OutputFormat format) {
    const bool fits =
        format.channels >= 1 && format.channels <= 8 && format.sampleRate >= 1 && format.sampleRate <= 384000;
    return fits ? format : AudioReader::OutputFormat{};
}
} // namespace

AudioReader::AudioReader() : AudioReader(OutputFormat{}) {}

AudioReader::AudioReader(OutputFormat outputFormat)
    : format(usable(outputFormat)), d(std::make_unique<Impl>()) {}

AudioReader::~AudioReader() = default;

bool AudioReader::open(const QString& path, const MediaTime& start, int audioStream) {
    close();
    d->path = path;
    d->out = format;
    d->spoiltLimit = longestSpoilt;
    d->audioStream = audioStream;
    return d->seekTo(start) || closeKeepingError(d);
}

bool AudioReader::open(int fd, const QString& name) {
    close();
    d->path = name;
    d->out = format;
    d->spoiltLimit = longestSpoilt;
    d->file.reset(fd >= 0 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1);
    if (!d->file) {
        d->error = QStringLiteral("Cannot open \"%1\": %2").arg(name, qt_error_string(errno));
        return false;
    }
    return d->seekTo(MediaTime::zero()) || closeKeepingError(d);
}

void AudioReader::close() {
    d = std::make_unique<Impl>();
}

bool AudioReader::isOpen() const {
    return d->input != nullptr;
}

bool AudioReader::seek(const MediaTime& time) {
    if (d->path.isEmpty()) {
        d->error = QStringLiteral("No file is open");
        return false;
    }
    return d->seekTo(time);
}

int64_t AudioReader::position() const {
    return d->position;
}

int AudioReader::read(float* interleaved, int maxFrames) {
    if (!d->input && d->error.isEmpty())
        d->error = QStringLiteral("No file is open");
    return d->readFloat(interleaved, maxFrames);
}

int AudioReader::read(int16_t* interleaved, int maxFrames) {
    std::vector<float> buffer(static_cast<size_t>(std::max(maxFrames, 0)) *
                              static_cast<size_t>(format.channels));
    const int frames = read(buffer.data(), maxFrames);
    if (frames > 0)
        toInt16Samples(buffer.data(), static_cast<size_t>(frames) * static_cast<size_t>(format.channels),
                       interleaved);
    return frames;
}

bool AudioReader::atEnd() const {
    return !d->input || d->failed || (d->ended && d->pendingFrames() == 0);
}

void AudioReader::setLongestSpoiltStretch(double seconds) {
    longestSpoilt = seconds > 0.0 ? seconds : 0.0;
    d->spoiltLimit = longestSpoilt;
}

double AudioReader::spoiltSeconds() const {
    return d->spoiltSeconds();
}

bool AudioReader::isDamaged() const {
    return d->damaged;
}

QString AudioReader::errorString() const {
    return d->error;
}

int AudioReader::refusedPackets() const {
    return d->refused;
}

bool AudioReader::firstSoundDecodes(const QString& path) {
    AudioReader reader;
    float first[2 * kChannels];
    return reader.open(path) && reader.read(first, 2) > 0 && reader.refusedPackets() == 0;
}

int AudioReader::audioStreamCount() const {
    return d->input ? d->audioStreams : 0;
}

int AudioReader::sourceSampleRate() const {
    return d->stream ? d->stream->codecpar->sample_rate : 0;
}

int AudioReader::sourceChannels() const {
    return d->stream ? d->stream->codecpar->ch_layout.nb_channels : 0;
}

} // namespace platform::media
