#include "export/MixedAudioExport.h"

#include "export/NSAudioMixerObject.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"
#include "platform/media/AudioExportSession.h"

#include <QFile>

#include <condition_variable>
#include <mutex>

using platform::media::AudioExportSession;
using Status = AudioExportSession::Status;

MixedAudioExport::Result MixedAudioExport::exportToFile(const platform::media::Composition& composition,
                                                        const platform::media::AudioMix& mix,
                                                        const QString& path, const CancelCheck& cancelled,
                                                        const ProgressHandler& progress,
                                                        std::chrono::milliseconds pollInterval) {
    if (path.isEmpty())
        return {Outcome::Failed, platform::paths::temporaryFolderProblem()};
    QFile::remove(path);
    AudioExportSession session(composition, mix, path);
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    session.exportAsynchronously([&] {
        std::lock_guard lock(mutex);
        done = true;
        ended.notify_all();
    });
    std::unique_lock lock(mutex);
    while (!done) {
        const Status status = session.status();
        if (cancelled && (status == Status::Waiting || status == Status::Exporting) && cancelled())
            session.cancelExport();
        ended.wait_for(lock, pollInterval, [&] { return done; });
        if (progress) {
            lock.unlock();
            progress(session.progress());
            lock.lock();
        }
    }
    lock.unlock();
    session.waitUntilFinished();
    switch (session.status()) {
    case Status::Completed:
        return {Outcome::Completed, QString(), session.writtenFile()};
    case Status::Cancelled:
        QFile::remove(path);
        return {Outcome::Cancelled, QString()};
    default: {
        QFile::remove(path);
        Result failed{Outcome::Failed, session.errorString()};
        failed.unreadableFile = session.unreadableSource();
        failed.spoiltSeconds = session.unreadableSourceSpoilt();
        return failed;
    }
    }
}

MixedAudioExport::Result
MixedAudioExport::exportToTemporaryFile(const platform::media::Composition& composition,
                                        const platform::media::AudioMix& mix, const CancelCheck& cancelled,
                                        const ProgressHandler& progress) {
    return exportToFile(composition, mix, SlideshowProject::strTempM4AAudioFullPath(), cancelled, progress);
}

MixedAudioExport::Result MixedAudioExport::exportProjectMix(const SlideshowProjectRef& target,
                                                            const CancelCheck& cancelled,
                                                            const ProgressHandler& progress) {
    const SlideshowProjectRef project = target ? target : SlideshowProject::mainProject();
    if (!project)
        return {Outcome::Failed, tr_("There is no project to mix the sound of.")};
    const auto mixer = NSAudioMixerObject::installNewMixer(project);
    mixer->mixProjectAudio();
    if (const QStringList lost = mixer->unreadableFiles(); !lost.isEmpty())
        return {Outcome::Failed, project->soundFileLostMessage(lost.first())};
    const std::weak_ptr<SlideshowProject> weak = project;
    const CancelCheck check = cancelled ? cancelled : CancelCheck([weak] {
        const auto owner = weak.lock();
        return owner && owner->bExportProgressCancelButtonClicked();
    });
    Result result = exportToTemporaryFile(mixer->composition(), mixer->audioMix(), check, progress);
    if (!result.unreadableFile.isEmpty())
        result.error = project->soundFileLostMessage(result.unreadableFile, result.spoiltSeconds);
    return result;
}

MixedAudioExport::ProgressHandler MixedAudioExport::progressNotifier(const QVariant& object,
                                                                     const QVariantMap& baseinfo) {
    return [object, baseinfo](float value) {
        platform::NotificationCenter::defaultCenter().post(progressNotificationName(), object,
                                                           {{"progress", value}, {"baseinfo", baseinfo}});
    };
}
