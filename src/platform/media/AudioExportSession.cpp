#include "platform/media/AudioExportSession.h"

#include "platform/foundation/ThreadJoin.h"
#include "platform/media/AudioFileWriter.h"
#include "platform/media/AudioRenderer.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace platform::media {

namespace {
constexpr int kChunkFrames = 8192;
}

struct AudioExportSession::Impl {
    Composition composition;
    AudioMix mix;
    QString path;
    TimeRange range = TimeRange(MediaTime::invalid(), MediaTime::invalid());
    int64_t bitRate = 128000;

    std::atomic<Status> status{Status::Waiting};
    std::atomic<float> progress{0.0f};
    std::atomic<bool> cancelRequested{false};
    mutable std::mutex mutex;
    std::condition_variable finishedChanged;
    bool started = false;
    bool finished = false;
    QString error;
    QString unreadableSource;
    double unreadableSourceSpoilt = 0.0;
    std::optional<FileIdentity> written;
    std::thread thread;

    void end(Status outcome, const QString& message = {}) {
        std::lock_guard lock(mutex);
        error = message;
        status = outcome;
        if (outcome == Status::Completed)
            progress = 1.0f;
    }

    void run(const std::function<void()>& completion) {
        if (!cancelRequested.exchange(false)) {
            status = Status::Exporting;
            exportFile();
        } else {
            end(Status::Cancelled, QStringLiteral("The export was cancelled"));
        }
        if (completion)
            completion();
        std::lock_guard lock(mutex);
        finished = true;
        finishedChanged.notify_all();
    }

    void exportFile() {
        const TimeRange span = range.isValid() ? range : TimeRange(MediaTime::zero(), composition.duration());
        const int64_t first = AudioRenderer::frameAt(span.start);
        const int64_t total = AudioRenderer::frameAt(span.end()) - first;
        if (total <= 0)
            return end(Status::Failed, QStringLiteral("There is no sound to export"));
        AudioRenderer renderer(composition, mix);
        renderer.setSourcesMustSound(true);
        AudioFileWriter::Settings settings;
        settings.path = path;
        settings.bitRate = bitRate;
        AudioFileWriter writer(settings);
        if (!writer.start())
            return end(Status::Failed, writer.errorString());
        std::vector<float> chunk(static_cast<size_t>(kChunkFrames) * AudioRenderer::kChannels);
        for (int64_t done = 0; done < total;) {
            if (cancelRequested) {
                writer.cancel();
                return end(Status::Cancelled, QStringLiteral("The export was cancelled"));
            }
            const int count = static_cast<int>(std::min<int64_t>(kChunkFrames, total - done));
            if (!renderer.render(first + done, count, chunk.data())) {
                writer.cancel();
                {
                    std::lock_guard lock(mutex);
                    unreadableSource = renderer.failedSourcePath();
                    unreadableSourceSpoilt = renderer.failedSourceSpoilt();
                }
                return end(Status::Failed, renderer.errorString());
            }
            if (!writer.write(chunk.data(), count))
                return end(Status::Failed, writer.errorString());
            done += count;
            progress = static_cast<float>(static_cast<double>(done) / static_cast<double>(total));
        }
        if (!writer.finish())
            return end(Status::Failed, writer.errorString());
        {
            std::lock_guard lock(mutex);
            written = writer.writtenFile();
        }
        end(Status::Completed);
    }
};

AudioExportSession::AudioExportSession(Composition composition, AudioMix mix, QString outputPath)
    : d(std::make_shared<Impl>()) {
    d->composition = std::move(composition);
    d->mix = std::move(mix);
    d->path = std::move(outputPath);
}

AudioExportSession::~AudioExportSession() {
    cancelExport();
    // A completion that lets go of its session runs on the export's thread.
    joinUnlessSelf(d->thread, "the sound export's thread");
}

void AudioExportSession::setTimeRange(const TimeRange& range) {
    d->range = range;
}

void AudioExportSession::setBitRate(int64_t bitsPerSecond) {
    d->bitRate = bitsPerSecond;
}

QString AudioExportSession::outputPath() const {
    return d->path;
}

void AudioExportSession::exportAsynchronously(std::function<void()> completion) {
    std::lock_guard lock(d->mutex);
    if (d->started)
        return;
    d->started = true;
    d->thread = std::thread([impl = d, completion = std::move(completion)] { impl->run(completion); });
}

void AudioExportSession::cancelExport() {
    std::lock_guard lock(d->mutex);
    const Status now = d->status;
    if (now != Status::Waiting && now != Status::Exporting)
        return;
    d->cancelRequested = true;
    if (!d->started) {
        d->status = Status::Cancelled;
        d->error = QStringLiteral("The export was cancelled");
    }
}

void AudioExportSession::waitUntilFinished() {
    std::unique_lock lock(d->mutex);
    d->finishedChanged.wait(lock, [this] { return !d->started || d->finished; });
}

AudioExportSession::Status AudioExportSession::status() const {
    return d->status;
}

float AudioExportSession::progress() const {
    return d->progress;
}

QString AudioExportSession::unreadableSource() const {
    std::lock_guard lock(d->mutex);
    return d->unreadableSource;
}

double AudioExportSession::unreadableSourceSpoilt() const {
    std::lock_guard lock(d->mutex);
    return d->unreadableSourceSpoilt;
}

QString AudioExportSession::errorString() const {
    std::lock_guard lock(d->mutex);
    return d->error;
}

std::optional<FileIdentity> AudioExportSession::writtenFile() const {
    std::lock_guard lock(d->mutex);
    return d->written;
}

} // namespace platform::media
