#include "platform/media/AudioRenderer.h"

#include "platform/media/AudioReader.h"
#include "platform/media/MediaAsset.h"

#include <algorithm>
#include <map>

namespace platform::media {

namespace {

// A source kept open between windows, and where its next read would continue.
struct SourceCursor {
    std::unique_ptr<AudioReader> reader;
    int64_t nextSourceFrame = -1;
};

using SegmentKey = std::pair<size_t, size_t>; // track index, segment index

} // namespace

struct AudioRenderer::Impl {
    int rate = kSampleRate;
    Composition composition;
    AudioMix mix;
    QString error;
    QString failedPath;
    double failedSpoilt = 0.0;
    bool sourcesMustSound = false;
    std::map<SegmentKey, SourceCursor> cursors;
    std::vector<float> trackBuffer;
    std::vector<float> volumes;

    // Reads count frames of a segment's source from sourceFrame into out; past the sound's end stays silent.
    bool readSource(const SegmentKey& key, const CompositionSegment& segment, int64_t sourceFrame, int count,
                    float* out) {
        SourceCursor& cursor = cursors[key];
        if (cursor.reader && cursor.reader->atEnd() && sourceFrame >= cursor.reader->position()) {
            if (endedShort(segment, cursor.reader->position()))
                return fail(segment, QStringLiteral("it ends before its length"));
            cursor.nextSourceFrame = sourceFrame + count;
            return true;
        }
        const MediaTime start(sourceFrame, rate);
        const bool fromSegmentStart = !cursor.reader && sourceFrame == frameOf(segment.source.start);
        if (!cursor.reader) {
            cursor.reader = std::make_unique<AudioReader>(AudioReader::OutputFormat{rate, kChannels});
            cursor.reader->setLongestSpoiltStretch(sourcesMustSound ? kLongestSpoiltStretch : 0.0);
            if (!cursor.reader->open(segment.sourcePath, start))
                return fail(segment, cursor.reader->errorString());
        } else if (cursor.nextSourceFrame != sourceFrame && !cursor.reader->seek(start)) {
            return fail(segment, cursor.reader->errorString());
        }
        int done = 0;
        while (done < count) {
            const int got = cursor.reader->read(out + static_cast<size_t>(done) * kChannels, count - done);
            if (got < 0)
                return fail(segment, cursor.reader->errorString(),
                            cursor.reader->isDamaged() ? cursor.reader->spoiltSeconds() : 0.0);
            if (got == 0 && done == 0 && fromSegmentStart && sourcesMustSound)
                return fail(segment, QStringLiteral("it holds no sound"));
            if (got == 0 && endedShort(segment, sourceFrame + done))
                return fail(segment, QStringLiteral("it ends before its length"));
            if (got == 0)
                break;
            done += got;
        }
        cursor.nextSourceFrame = sourceFrame + count;
        return true;
    }

    // A source that ends at output frame `reached`, clearly before the extent its segment was laid for: its
    // file was cut or replaced by a shorter one since.
    bool endedShort(const CompositionSegment& segment, int64_t reached) const {
        const double read = double(reached) / double(rate) - segment.source.start.seconds();
        return sourcesMustSound && isClearlyShorter(read, segment.source.duration.seconds());
    }

    bool fail(const CompositionSegment& segment, const QString& reason, double spoilt = 0.0) {
        error = QStringLiteral("Cannot mix the sound of \"%1\": %2").arg(segment.sourcePath, reason);
        failedPath = segment.sourcePath;
        failedSpoilt = spoilt;
        return false;
    }

    // Mixes one track's segments over the window into trackBuffer; false on a read failure.
    bool renderTrack(size_t trackIndex, int64_t first, int count, bool& audible) {
        const CompositionTrack& track = composition.tracks()[trackIndex];
        std::fill_n(trackBuffer.begin(), static_cast<size_t>(count) * kChannels, 0.0f);
        audible = false;
        const auto& segments = track.segments();
        for (size_t i = 0; i < segments.size(); ++i) {
            const CompositionSegment& segment = segments[i];
            if (segment.isEmptyRange())
                continue;
            const int64_t segmentStart = frameOf(segment.target.start);
            const int64_t from = std::max(segmentStart, first);
            const int64_t to = std::min(frameOf(segment.target.end()), first + count);
            if (from >= to)
                continue;
            const int64_t sourceFrame = frameOf(segment.source.start) + (from - segmentStart);
            float* out = trackBuffer.data() + static_cast<size_t>(from - first) * kChannels;
            if (!readSource({trackIndex, i}, segment, sourceFrame, static_cast<int>(to - from), out))
                return false;
            audible = true;
        }
        return true;
    }

    void addTrack(const CompositionTrack& track, int64_t first, int count, float* out) {
        const MixInputParameters* parameters = mix.parametersForTrack(track.trackID());
        if (parameters)
            parameters->fillVolumes(first, count, rate, volumes.data());
        else
            std::fill_n(volumes.begin(), count, 1.0f);
        for (int i = 0; i < count; ++i)
            for (int c = 0; c < kChannels; ++c)
                out[i * kChannels + c] +=
                    trackBuffer[static_cast<size_t>(i * kChannels + c)] * volumes[static_cast<size_t>(i)];
    }

    // Sources whose segments end before the next window are closed.
    void dropFinishedSources(int64_t windowEnd) {
        std::erase_if(cursors, [&](const auto& entry) {
            const CompositionSegment& segment =
                composition.tracks()[entry.first.first].segments()[entry.first.second];
            return frameOf(segment.target.end()) <= windowEnd;
        });
    }

    int64_t frameOf(const MediaTime& time) const {
        return time.isValid() ? time.convertScale(rate).value : 0;
    }
};

AudioRenderer::AudioRenderer(Composition composition, AudioMix mix, int sampleRate)
    : d(std::make_unique<Impl>()) {
    if (sampleRate >= 1 && sampleRate <= 384000)
        d->rate = sampleRate;
    d->composition = std::move(composition);
    d->mix = std::move(mix);
}

AudioRenderer::~AudioRenderer() = default;

MediaTime AudioRenderer::duration() const {
    return d->composition.duration();
}

int AudioRenderer::sampleRate() const {
    return d->rate;
}

int64_t AudioRenderer::frameCount() const {
    return d->frameOf(duration());
}

int64_t AudioRenderer::frameAt(const MediaTime& time) {
    return time.isValid() ? time.convertScale(kSampleRate).value : 0;
}

bool AudioRenderer::render(int64_t firstFrame, int count, float* interleaved) {
    if (count <= 0)
        return true;
    const size_t samples = static_cast<size_t>(count) * kChannels;
    std::fill_n(interleaved, samples, 0.0f);
    d->trackBuffer.resize(std::max(d->trackBuffer.size(), samples));
    d->volumes.resize(std::max(d->volumes.size(), static_cast<size_t>(count)));
    for (size_t t = 0; t < d->composition.tracks().size(); ++t) {
        bool audible = false;
        if (!d->renderTrack(t, firstFrame, count, audible))
            return false;
        if (audible)
            d->addTrack(d->composition.tracks()[t], firstFrame, count, interleaved);
    }
    for (size_t i = 0; i < samples; ++i)
        interleaved[i] = std::clamp(interleaved[i], -1.0f, 1.0f);
    d->dropFinishedSources(firstFrame + count);
    return true;
}

bool AudioRenderer::render(const TimeRange& range, std::vector<float>& interleaved) {
    const int64_t first = d->frameOf(range.start);
    const int64_t count = range.isValid() ? d->frameOf(range.end()) - first : 0;
    interleaved.assign(static_cast<size_t>(std::max<int64_t>(count, 0)) * kChannels, 0.0f);
    return count <= 0 || render(first, static_cast<int>(count), interleaved.data());
}

QString AudioRenderer::errorString() const {
    return d->error;
}

QString AudioRenderer::failedSourcePath() const {
    return d->failedPath;
}

double AudioRenderer::failedSourceSpoilt() const {
    return d->failedSpoilt;
}

void AudioRenderer::setSourcesMustSound(bool value) {
    d->sourcesMustSound = value;
}

} // namespace platform::media
