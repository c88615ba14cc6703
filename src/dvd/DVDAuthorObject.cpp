#include "dvd/DVDAuthorObject.h"

#include "dvd/DVDFiles.h"
#include "dvd/DVDMenuItem.h"
#include "dvd/DVDNotifications.h"
#include "dvd/SpumuxObject.h"
#include "dvd/StreamedChildProcess.h"
#include "platform/foundation/FileTree.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/ToolLocator.h"
#include "platform/regex/RegexRoutines.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kStep = QStringLiteral("dvdauthor");

// A CR LF pair, or any single line break: LF, VT, FF, CR, NEL, or a Unicode line or paragraph separator.
const QString kLineBreaks = QStringLiteral("(?:\r\n|[\n\x0B\f\r\u0085\\p{Zl}\\p{Zp}])");

bool endsWithLineBreak(const QString& text) {
    if (text.isEmpty())
        return true;
    const QChar last = text.back();
    return last == u'\n' || last == u'\x0B' || last == u'\f' || last == u'\r' || last == QChar(0x85) ||
           last == QChar(0x2028) || last == QChar(0x2029);
}

} // namespace

// The part of the author that a cancel touches. The cancel observer keeps it alive, so a cancel still
// running on another thread while the author goes away meets valid state.
struct DVDAuthorObject::Shared {
    std::mutex mutex;
    std::condition_variable ended;
    bool cancelled = false;
    StreamedChildProcess* task = nullptr; // the running dvdauthor
    SpumuxObject* overlay = nullptr;      // the running overlay step
    DVDAuthorOutcome outcome;

    void cancel() {
        std::lock_guard lock(mutex);
        cancelled = true;
        if (overlay)
            overlay->cancel();
        if (task)
            task->terminate(); // only ever a child not yet reaped
    }
};

DVDAuthorObject::DVDAuthorObject(const DVDProjectSettings& settings,
                                 platform::NotificationCenter& notifications)
    : project(settings), center(notifications), temporary(settings.resolvedTemporaryFolder()),
      shared(std::make_shared<Shared>()) {
    std::weak_ptr<Shared> state = shared;
    cancelObserver = platform::ObserverHandle(
        center, center.addObserver(kNotifyCancelEncodingVideo, [state](const platform::Notification&) {
            if (const auto alive = state.lock())
                alive->cancel();
        }));
}

DVDAuthorObject::~DVDAuthorObject() {
    cancelObserver.reset();
    if (runner.joinable()) {
        shared->cancel();
        runner.join();
    }
}

bool DVDAuthorObject::bTaskCancelled() const {
    std::lock_guard lock(shared->mutex);
    return shared->cancelled;
}

void DVDAuthorObject::setCompletionHandler(std::function<void(const DVDAuthorOutcome&)> handler) {
    completion = std::move(handler);
}

void DVDAuthorObject::DVDAuthorCancel() {
    shared->cancel();
}

DVDAuthorOutcome DVDAuthorObject::outcome() const {
    std::lock_guard lock(shared->mutex);
    return shared->outcome;
}

DVDAuthorOutcome DVDAuthorObject::wait() {
    std::unique_lock lock(shared->mutex);
    shared->ended.wait(lock, [this] { return shared->outcome.kind != DVDAuthorOutcome::Running; });
    return shared->outcome;
}

// A run that ended before dvdauthor started ended on the thread that called AuthorDVD, which may still be
// in it: its outcome is set last, once that thread is done with the files.
void DVDAuthorObject::releaseFiles() {
    if (started)
        wait();
    if (runner.joinable())
        runner.join();
    xmlFile.reset();
    outputFolderFd.reset();
    statePictures.clear();
    if (spumuxObj)
        spumuxObj->releaseFiles();
}

QStringList DVDAuthorObject::temporaryPaths(const DVDProjectSettings& settings) {
    const QString small = settings.resolvedTemporaryFolder();
    const QString large = settings.resolvedLargeTemporaryFolder();
    if (small.isEmpty() || large.isEmpty())
        return {};
    QStringList paths{pathIn(large, QStringLiteral("tttDVD1")), pathIn(small, QStringLiteral("dvd.xml"))};
    paths << SpumuxObject::temporaryPaths(settings);
    for (int state = 0; state < 3; ++state)
        paths << DVDMenuItem::stateImagePath(small, state)
              << DVDMenuItem::reducedStateImagePath(small, state);
    return paths;
}

// --- the control file ---

QString DVDAuthorObject::chapterList(double totalSeconds) {
    QString list = QStringLiteral("00:00:00");
    const double step = totalSeconds > 0 && std::isfinite(totalSeconds) ? totalSeconds / 10 : 0;
    double sum = 0;
    for (int chapter = 1; chapter < 10; ++chapter) {
        sum += step;
        const qint64 s = qint64(std::trunc(sum));
        list += QStringLiteral(",%1:%2:%3")
                    .arg(s / 3600, 2, 10, QLatin1Char('0'))
                    .arg(s % 3600 / 60, 2, 10, QLatin1Char('0'))
                    .arg(s % 60, 2, 10, QLatin1Char('0'));
    }
    return list;
}

QString DVDAuthorObject::titleFragment(const QString& path, const QString& chapters) {
    return QStringLiteral("<vob file=\"%1\"  chapters=\"%2\"/>\n<post>\njump chapter 1;\n</post>")
        .arg(xmlEscaped(path), chapters);
}

bool DVDAuthorObject::createXMLFile(const QString& menuSectionCode, DVDStepError* error) {
    const QString name = project.bUseDVDMenu ? QStringLiteral("dvdAuthorTemplate")
                                             : QStringLiteral("dvdAuthorTemplate_no_menu");
    QString text, message;
    if (!readTextResource(name, QStringLiteral("xml"), &text, &message))
        return failStep(error, kStep, message);
    xmlPath = temporaryPaths(project).value(1);
    text =
        substitutePlaceholders(text, {{QStringLiteral("VOB_FILE_LIST"),
                                       titleFragment(videoPath, chapterList(project.slideshowTotalDuration))},
                                      {QStringLiteral("MENU_SECTION_DATA"), menuSectionCode}});
    // dvdauthor reads it through our descriptor: a file put at its name meanwhile is never read.
    xmlFile = writeNewOwnFile(xmlPath, text.toUtf8(), &message);
    if (!xmlFile)
        return failStep(error, kStep, message);
    return true;
}

// --- the status lines ---

QStringList DVDAuthorObject::splitLines(const QString& text) {
    RXError error;
    return componentsSeparatedByRegex(text, kLineBreaks, RXMultiline, RXMakeRange(0, text.size()), &error);
}

QList<double> DVDAuthorObject::progressOfLine(const QString& line, qint64 sizeMB) {
    QList<double> progress;
    const QByteArray bytes = line.toUtf8();
    if (const char* at = std::strstr(bytes.constData(), "STAT: VOBU")) {
        int vobu = 0, written = 0, chains = 0, end = 0;
        // %n is only reached when the whole line matched, so a line cut short reports nothing.
        if (std::sscanf(at, "STAT: VOBU %d at %dMB, %d PGCs%n", &vobu, &written, &chains, &end) == 3 &&
            end > 0)
            // Streams under 1 MiB have a size of 0 MB, which must not be divided by.
            progress << (sizeMB > 0 ? double(qint64(written) * 100 / sizeMB) * 0.5 : 0.0);
    }
    if (const char* at = std::strstr(bytes.constData(), "STAT: fixing VOBU at")) {
        int written = 0, done = 0, total = 0, percent = 0, end = 0;
        if (std::sscanf(at, "STAT: fixing VOBU at %dMB (%d/%d, %d%%)%n", &written, &done, &total, &percent,
                        &end) == 4 &&
            end > 0)
            progress << percent * 0.5 + 50;
    }
    for (double& value : progress)
        value = std::clamp(value, 0.0, 100.0);
    return progress;
}

void DVDAuthorObject::parseOutput(const QStringList& lines) {
    for (const QString& line : lines)
        for (double value : progressOfLine(line, sizeMB))
            center.post(kNotifyDVDAuthorProgress, QVariant(value));
}

// --- the run ---

bool DVDAuthorObject::prepare(DVDStepError* error) {
    if (temporary.isEmpty())
        return failStep(error, kStep, platform::paths::temporaryFolderProblem());
    dvdauthorPath = platform::locateTool(QStringLiteral("dvdauthor"));
    if (dvdauthorPath.isEmpty())
        return failStep(error, kStep, QStringLiteral("The program \"dvdauthor\" is not installed."));
    if (!isNonEmptyFile(videoPath))
        return failStep(error, kStep,
                        QStringLiteral("The slideshow stream \"%1\" is missing or empty.").arg(videoPath));
    sizeMB = QFileInfo(videoPath).size() >> 20;
    outputFolder = temporaryPaths(project).value(0);
    if (outputFolder.isEmpty())
        return failStep(error, kStep, platform::paths::temporaryFolderProblem());
    // What an earlier run left must go, or its files could pass for this run's.
    if (!removeItem(outputFolder))
        return failStep(error, kStep,
                        QStringLiteral("Cannot remove the old DVD folder \"%1\".").arg(outputFolder));
    // dvdauthor writes its tree by names inside the folder: made exclusively and private, nobody else can
    // put a link there for it to write through. Whatever took the name meanwhile fails the step.
    const QByteArray name = QFile::encodeName(outputFolder);
    if (::mkdir(name.constData(), 0700) != 0)
        return failStep(error, kStep,
                        QStringLiteral("Cannot make the DVD folder \"%1\": %2")
                            .arg(outputFolder, qt_error_string(errno)));
    // From here on dvdauthor, and whatever reads the disc it authored, reach the folder through this
    // descriptor: a link put at its name is never followed.
    outputFolderFd.reset(::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!outputFolderFd || !isFreshFolder(outputFolderFd.get()))
        return failStep(error, kStep,
                        QStringLiteral("Another program put something of its own at the DVD folder \"%1\".")
                            .arg(outputFolder));
    // dvdauthor writes into these by name and takes whatever it finds there: made here, in the folder just
    // found empty, no link put at their names while the overlay runs leads its files into another folder.
    for (const char* tree : {"VIDEO_TS", "AUDIO_TS"})
        if (::mkdirat(outputFolderFd.get(), tree, 0700) != 0)
            return failStep(error, kStep,
                            QStringLiteral("Cannot make \"%1\": %2")
                                .arg(pathIn(outputFolder, QLatin1String(tree)), qt_error_string(errno)));
    return true;
}

// An empty folder of ours: the one just made, not another put in its place with entries of its own.
bool DVDAuthorObject::isFreshFolder(int folder) {
    struct stat st {};
    std::vector<QByteArray> entries;
    return ::fstat(folder, &st) == 0 && st.st_uid == ::geteuid() &&
           platform::filetree::listOpenFolder(folder, QByteArray(), &entries, nullptr) && entries.empty();
}

bool DVDAuthorObject::checkAuthoredFolder(DVDStepError* error) const {
    if (!outputFolderFd)
        return failStep(error, kStep, QStringLiteral("No DVD folder has been authored."));
    return checkFolder(
        QStringLiteral(
            "Something that dvdauthor did not make is in the DVD folder, so no disc is made of it"),
        error);
}

bool DVDAuthorObject::checkFolder(const QString& refusal, DVDStepError* error) const {
    QString why;
    if (platform::filetree::holdsOnlyFilesAndFolders(outputFolderFd.get(), QFile::encodeName(outputFolder),
                                                     &why))
        return true;
    return failStep(error, kStep, refusal + QStringLiteral(": ") + why);
}

QString DVDAuthorObject::reachableOutputDVDFolder() const {
    return outputFolderFd ? platform::pathReaching(outputFolderFd.get(), outputFolder) : QString();
}

bool DVDAuthorObject::runOverlay(DVDStepError* error) {
    {
        std::lock_guard lock(shared->mutex);
        if (shared->cancelled)
            return false;
        spumuxObj = std::make_unique<SpumuxObject>(project);
        spumuxObj->setInputMpegFilePath(menuVideoPath);
        spumuxObj->setStatePictureFiles(std::move(statePictures));
        shared->overlay = spumuxObj.get();
    }
    const bool overlaid = spumuxObj->image_spumux(buttonRects, error);
    std::lock_guard lock(shared->mutex);
    shared->overlay = nullptr;
    return overlaid;
}

DVDAuthorOutcome DVDAuthorObject::endBeforeLaunch(const DVDStepError& error) const {
    if (bTaskCancelled())
        return {DVDAuthorOutcome::Cancelled, {}};
    return {DVDAuthorOutcome::Failed, error};
}

bool DVDAuthorObject::AuthorDVD() {
    if (started.exchange(true))
        return false; // one run per object
    DVDStepError error;
    tvFormat = project.videoFormat(); // dvdauthor is told the project's TV system, as spumux is
    // Without a menu there is no menu stream, and nothing to lay buttons over.
    const bool ready = prepare(&error) && (!project.bUseDVDMenu || runOverlay(&error)) &&
                       createXMLFile(spumuxObj ? spumuxObj->strMenuSectionCode() : QString(), &error) &&
                       !bTaskCancelled();
    if (!ready) {
        threadExited(endBeforeLaunch(error));
        return false;
    }
    if (beforeLaunch)
        beforeLaunch();
    // dvdauthor writes its files by name, through whatever stands there: a hard link that another program put
    // at one of those names while the overlay ran would have a file of the user's written over.
    if (!checkFolder(QStringLiteral("Another program put something into the DVD folder before dvdauthor "
                                    "began, so nothing is authored"),
                     &error)) {
        threadExited(endBeforeLaunch(error));
        return false;
    }
    // The runner checks for a cancel under this lock first, so its end, which releaseFiles waits for,
    // comes after runner is set.
    const std::lock_guard lock(shared->mutex);
    runner = std::thread([this] { runScript(); });
    return true;
}

void DVDAuthorObject::runScript() {
    platform::ChildProcess::Options options;
    options.program = dvdauthorPath;
    options.arguments = {QStringLiteral("-x"), platform::pathReaching(xmlFile.get(), xmlPath),
                         QStringLiteral("-o"), reachableOutputDVDFolder()};
    options.environment.insert(QStringLiteral("VIDEO_FORMAT"), tvFormat);
    options.mergeStderr = true; // its status lines come on the error output
    StreamedChildProcess child(options, temporary);
    DVDAuthorOutcome result;
    {
        // The flag is checked and the child launched under the lock that cancel() takes, so a cancel
        // either comes first and nothing is launched, or comes after and terminates the child.
        std::unique_lock lock(shared->mutex);
        QString message;
        if (shared->cancelled) {
            result = {DVDAuthorOutcome::Cancelled, {}};
        } else if (!child.start(&message)) {
            result = {DVDAuthorOutcome::Failed, {kStep, message}};
        } else {
            shared->task = &child;
            lock.unlock();
            result = readUntilExit(child);
        }
    }
    threadExited(result);
}

DVDAuthorOutcome DVDAuthorObject::readUntilExit(StreamedChildProcess& child) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString pending; // a line whose end has not come yet
    char buffer[4096];
    qint64 got;
    while ((got = child.read(buffer, sizeof buffer)) > 0) {
        QString text = pending + decoder.decode(QByteArrayView(buffer, got));
        QStringList lines = splitLines(text);
        pending = endsWithLineBreak(text) || lines.isEmpty() ? QString() : lines.takeLast();
        for (const QString& line : std::as_const(lines))
            if (line.contains(QLatin1String("ERR:")))
                complaints << line.trimmed();
        parseOutput(lines);
    }
    if (!pending.isEmpty())
        parseOutput({pending});
    child.waitForExit();
    {
        std::lock_guard lock(shared->mutex);
        shared->task = nullptr;
        if (shared->cancelled)
            return {DVDAuthorOutcome::Cancelled, {}};
    }
    if (!child.exitedNormally()) {
        QString detail = child.exitDescription();
        if (!complaints.isEmpty())
            detail += QStringLiteral(": ") +
                      complaints.mid(std::max<qsizetype>(0, complaints.size() - 5)).join(u' ');
        return {DVDAuthorOutcome::Failed, {kStep, detail}};
    }
    const QString index = QStringLiteral("VIDEO_TS/VIDEO_TS.IFO");
    if (!isNonEmptyFile(pathIn(reachableOutputDVDFolder(), index)))
        return {DVDAuthorOutcome::Failed,
                {kStep, QStringLiteral("dvdauthor did not write \"%1\".").arg(pathIn(outputFolder, index))}};
    return {DVDAuthorOutcome::Finished, {}};
}

void DVDAuthorObject::threadExited(const DVDAuthorOutcome& result) {
    if (completion)
        completion(result); // ends the progress session first, as the finished notification starts the burn
    if (result.kind == DVDAuthorOutcome::Finished)
        center.post(kNotifyDVDAuthorFinishedOK);
    {
        std::lock_guard lock(shared->mutex);
        shared->outcome = result;
    }
    shared->ended.notify_all();
}
