#include "export/MP4ExportCommand.h"

#include "export/EncodingProgressSteps.h"
#include "export/ExportFramePump.h"
#include "export/MovieExportCommand.h"
#include "model/MainWindowServices.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/ErrorText.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/StringTable.h"

#include <QFileInfo>

namespace {

QString withMP4Extension(const QString& path) {
    if (path.isEmpty())
        return path;
    const QFileInfo file(path);
    return file.path() + QLatin1Char('/') + file.completeBaseName() + QStringLiteral(".mp4");
}

} // namespace

MP4ExportCommand::MP4ExportCommand(ExportDialogs& dialogs, RendererFactory rendererFactory)
    : dialogs(dialogs), rendererFactory(std::move(rendererFactory)) {}

MP4ExportCommand::~MP4ExportCommand() {
    alive.reset();
    creator.reset(); // cancels and waits for the pump, which calls back into this object
}

bool MP4ExportCommand::createMP4File_FFMM() {
    if (creator)
        return false;
    const SlideshowProjectRef project = SlideshowProject::mainProject();
    if (!project || project->slideCount() < 3) {
        dialogs.showAlertSheet(QStringLiteral("ERROR"), tr_("Please add at least 3 photos to get started!"),
                               tr_("OK"));
        return false;
    }
    if (const QString missing = project->missingSlideFilesMessage(); !missing.isEmpty()) {
        dialogs.showAlertSheet(QStringLiteral("ERROR"), missing, tr_("OK"));
        return false;
    }
    const auto output = MovieExportCommand::prepareProjectForExport(*project);

    auto created = std::make_shared<FFMMP4CreateObject>(this);
    const std::weak_ptr<int> guard = alive;
    const FFMMP4CreateObject* which = created.get();
    created->setEndHandler([this, guard, which](const FFMMP4CreateObject::Outcome& outcome) {
        platform::runOnMainThread([this, guard, which, outcome] {
            if (guard.lock())
                runEnded(which, outcome);
        });
    });
    if (creatorSetup)
        creatorSetup(*created);
    creator = created;
    const QString path = withMP4Extension(project->strEncodingVideoFilePath(output.size));
    return created->startEncodeMovie({{"strOutputFullPath", path}});
}

void MP4ExportCommand::cancelEncoding() {
    if (creator)
        creator->setBCancelRequest(true);
}

void MP4ExportCommand::runEnded(const FFMMP4CreateObject* which, const FFMMP4CreateObject::Outcome& outcome) {
    if (creator.get() != which)
        return;
    creator.reset(); // its driver has told its end and is returning
    using End = FFMMP4CreateObject::Outcome::End;
    if (outcome.end == End::Completed)
        return; // the movie export's observer of the finish takes over
    dialogs.closeExportProgress();
    if (MainWindowServices* services = MainWindowServices::current())
        services->stop();
    if (outcome.end == End::Failed)
        dialogs.showAlertSheet(QStringLiteral("ERROR"),
                               platform::errorSentence(outcome.error, tr_("The movie could not be written.")),
                               tr_("OK"));
}

// ---- the frame pump, on a thread of the creator's

void MP4ExportCommand::createMP4ReadRGBAThreadProc(const FramePumpParam<FFMMP4CreateObject>& param) {
    FFMMP4CreateObject& owner = *param.creator;
    FramePump::Options options;
    options.pipePath = param.strVideoFIFO;
    options.skipFirstFrame = false; // ffmpeg takes every frame it reads
    options.stopBeforeRender = [&owner] { return owner.shouldStopPump(); };
    ExportFramePump::run(
        rendererFactory, options,
        EncodingProgressSteps::stage(FFMMP4CreateObject::dictEncodingProgressStep(),
                                     EncodingProgressSteps::kFFmpegMP4()),
        [this](double value) { reportProgress(value); },
        [&owner](const QString& error) { owner.framePumpFailed(error); },
        [&owner](quint64 frames) { owner.framePumpWrote(frames); });
}

void MP4ExportCommand::reportProgress(double value) {
    const std::weak_ptr<int> guard = alive;
    platform::runOnMainThread([this, guard, value] {
        if (guard.lock())
            dialogs.updateExportProgress(value, EncodingProgressSteps::progressText(value));
    });
}
