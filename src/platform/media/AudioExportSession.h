#pragma once

#include "platform/foundation/FileIdentity.h"
#include "platform/media/AudioMix.h"
#include "platform/media/Composition.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace platform::media {

// Exports a composition through its mix to an M4A file (AAC, 128 kb/s, 44.1 kHz, stereo) on a thread of
// its own. The session works on copies of the composition and the mix. A file that is not completed,
// because the export failed or was cancelled, is removed. The getters may be called from any thread.
class AudioExportSession {
public:
    enum class Status { Waiting, Exporting, Completed, Failed, Cancelled };

    AudioExportSession(Composition composition, AudioMix mix, QString outputPath);
    // Cancels a running export and waits for its thread.
    ~AudioExportSession();
    AudioExportSession(const AudioExportSession&) = delete;
    AudioExportSession& operator=(const AudioExportSession&) = delete;

    // The part of the composition to export; the whole of it by default. Set before the export starts.
    void setTimeRange(const TimeRange& range);
    void setBitRate(int64_t bitsPerSecond);
    QString outputPath() const;

    // Starts the export; the completion runs once on the export's thread when it has ended, whatever the
    // outcome. A second call does nothing.
    void exportAsynchronously(std::function<void()> completion = {});
    // Ends a waiting or running export as cancelled; nothing once it has completed or failed.
    void cancelExport();
    // Blocks until the export has ended (at once when it was never started).
    void waitUntilFinished();

    Status status() const;
    // 0 to 1: the share of the range written so far.
    float progress() const;
    QString errorString() const;
    // The file of the sound that could not be read, when that failed the export.
    QString unreadableSource() const;
    // The seconds of sound that file lost, when it failed the export on them (it is damaged); 0 otherwise.
    double unreadableSourceSpoilt() const;
    // The file a completed export wrote, as it was when it took its name; nothing otherwise.
    std::optional<FileIdentity> writtenFile() const;

private:
    struct Impl;
    std::shared_ptr<Impl> d;
};

} // namespace platform::media
