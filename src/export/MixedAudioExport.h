#pragma once

#include "export/ExportNotifications.h"
#include "platform/foundation/FileIdentity.h"
#include "platform/media/AudioMix.h"
#include "platform/media/Composition.h"

#include "model/SlideshowProject.h"

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <chrono>
#include <functional>
#include <optional>

// Writes a built mix into an M4A file before the pictures are encoded, as every exporter does: the old
// file is removed, the export runs on its own thread, and the caller's thread waits for it, asking
// whether to cancel and reporting progress about every 0.3 s and once more at the end.
class MixedAudioExport {
public:
    enum class Outcome { Completed, Failed, Cancelled };
    struct Result {
        Result() = default;
        Result(Outcome end, QString why, std::optional<platform::FileIdentity> file = std::nullopt)
            : outcome(end), error(std::move(why)), written(std::move(file)) {}

        Outcome outcome = Outcome::Failed;
        QString error;              // why it failed; empty otherwise
        QString unreadableFile;     // the sound whose file could not be read, when that failed it
        double spoiltSeconds = 0.0; // of that sound, when the file is damaged rather than gone
        // The file a completed export wrote, as it was when it took its name: what reads it later reads
        // that file (platform::openWrittenFile), not whatever another program put at the name since.
        std::optional<platform::FileIdentity> written;
        bool completed() const { return outcome == Outcome::Completed; }
    };
    using CancelCheck = std::function<bool()>;
    using ProgressHandler = std::function<void(float progress)>;

    static constexpr std::chrono::milliseconds kPollInterval{300};

    // The file exists afterwards only when the export completed.
    static Result exportToFile(const platform::media::Composition& composition,
                               const platform::media::AudioMix& mix, const QString& path,
                               const CancelCheck& cancelled = {}, const ProgressHandler& progress = {},
                               std::chrono::milliseconds pollInterval = kPollInterval);
    // The same into the project's temporary "%@_temp_audio.m4a" in the private temporary folder.
    static Result exportToTemporaryFile(const platform::media::Composition& composition,
                                        const platform::media::AudioMix& mix,
                                        const CancelCheck& cancelled = {},
                                        const ProgressHandler& progress = {});

    // The whole sound step of an export: a new mixer installed as the project's audioMixer (the open
    // project when null) builds the export mix, which goes into the temporary file. Without a cancel check
    // the project's cancel flag (bExportProgressCancelButtonClicked) is polled. A song or sound that cannot
    // be read fails it, naming the file as the user knows it.
    static Result exportProjectMix(const SlideshowProjectRef& project, const CancelCheck& cancelled = {},
                                   const ProgressHandler& progress = {});

    // A progress handler that posts "NOTIFY_ENCODE_MPEGII_PROGRESS" with the object and the user info
    // {"progress": the progress, "baseinfo": the stage dictionary}, on the calling thread.
    static ProgressHandler progressNotifier(const QVariant& object, const QVariantMap& baseinfo);
    static QString progressNotificationName() { return kNotifyEncodeMPEGIIProgress; }
};
