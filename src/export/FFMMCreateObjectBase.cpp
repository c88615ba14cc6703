#include "export/FFMMCreateObjectBase.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"
#include "platform/foundation/ThreadJoin.h"
#include "platform/foundation/ToolLocator.h"

#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

const QString kTempPrefix = QStringLiteral("10468DAE-4D11-4C1B-893C-A7C0DF8AA810");
// How many of ffmpeg's last message lines a failure shows: its verdict comes last.
constexpr qsizetype kKeptLines = 4;
constexpr int kDrainPollMs = 100;

// Only a FIFO goes: whatever else stands at a pipe's name is not ours to delete.
void removeFifo(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (!path.isEmpty() && ::lstat(name.constData(), &st) == 0 && S_ISFIFO(st.st_mode))
        ::unlink(name.constData());
}

// Keeps the last few non-empty lines; ffmpeg ends its progress lines with a carriage return.
void keepTail(QStringList& tail, const QString& line) {
    for (const QString& part : line.split(QLatin1Char('\r'), Qt::SkipEmptyParts)) {
        if (part.trimmed().isEmpty())
            continue;
        tail << part.trimmed();
        if (tail.size() > kKeptLines)
            tail.removeFirst();
    }
}

} // namespace

FFMMCreateObjectBase::FFMMCreateObjectBase() = default;

FFMMCreateObjectBase::~FFMMCreateObjectBase() {
    setBCancelRequest(true);
    terminateFFmpeg(true);
    joinDriver();
}

QString FFMMCreateObjectBase::temporaryFile(const QString& suffix) {
    const QString folder = platform::paths::temporaryFolder();
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + kTempPrefix + suffix;
}

QString FFMMCreateObjectBase::largeTemporaryFile(const QString& suffix) {
    const QString folder = platform::paths::largeTemporaryFolder();
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + kTempPrefix + suffix;
}

QString FFMMCreateObjectBase::preparePartialOutput(QString* error) {
    removePartialOutput();
    const std::lock_guard lock(mutex);
    if (outputPath.isEmpty())
        return QString();
    // Unnamed where the file system allows, so that no other program can open it to write into it.
    partialFd = platform::openUnnamedFileBeside(outputPath, &partialPath, error);
    if (!partialFd)
        return QString();
    // ffmpeg opens its output by name and follows a link there: it is named the file through our descriptor,
    // which reaches the file made here whatever has since taken its name (without /proc, by the hidden name
    // it was made under, as it is then never an unnamed one).
    const QString reaching = platform::pathReaching(partialFd.get(), partialPath);
    if (reaching.isEmpty() && error)
        *error = tr_("The movie was not made: another program removed the file it was being written into. "
                     "Export the movie again.");
    return reaching;
}

std::optional<platform::FileIdentity> FFMMCreateObjectBase::placePartialOutput(QString* error,
                                                                               platform::PartialLoss* loss) {
    const std::lock_guard lock(mutex);
    if (!partialFd || !platform::placePartialFile(partialFd.get(), partialPath, outputPath, error, loss))
        return std::nullopt;
    partialPath.clear();
    const std::optional<platform::FileIdentity> placed =
        platform::FileIdentity::ofDescriptor(partialFd.get());
    partialFd.reset();
    return placed;
}

void FFMMCreateObjectBase::removePartialOutput() {
    const std::lock_guard lock(mutex);
    platform::removePartialFile(partialFd.get(), partialPath);
    partialPath.clear();
    partialFd.reset();
}

bool FFMMCreateObjectBase::holdMixedSound(const std::optional<platform::FileIdentity>& written,
                                          QString* error) {
    platform::UniqueFd fd = platform::openWrittenFile(strTempM4AAudioFullPath(), written, error);
    const std::lock_guard lock(mutex);
    mixedSound = std::move(fd);
    return mixedSound.isValid();
}

QString FFMMCreateObjectBase::mixedSoundPath() const {
    const std::lock_guard lock(mutex);
    return mixedSound ? platform::pathReaching(mixedSound.get(), strTempM4AAudioFullPath())
                      : strTempM4AAudioFullPath();
}

void FFMMCreateObjectBase::releaseMixedSound() {
    const std::lock_guard lock(mutex);
    mixedSound.reset();
}

QString FFMMCreateObjectBase::strVideoFIFOName() {
    return temporaryFile(QStringLiteral("_video_fifo"));
}

QString FFMMCreateObjectBase::strAudioFIFOName() {
    return temporaryFile(QStringLiteral("_audio_fifo"));
}

QString FFMMCreateObjectBase::strTempM4AAudioFullPath() {
    return SlideshowProject::strTempM4AAudioFullPath();
}

void FFMMCreateObjectBase::deleteTempFiles() {
    const QString m4a = strTempM4AAudioFullPath();
    if (!m4a.isEmpty())
        QFile::remove(m4a);
    removeFifo(strVideoFIFOName());
    removeFifo(strAudioFIFOName());
}

QString FFMMCreateObjectBase::ffmpegPath() {
    const QString bundled = platform::paths::resourceFolder() + QStringLiteral("/binaray1/bin");
    return platform::locateTool(QStringLiteral("ffmpeg"), {bundled});
}

bool FFMMCreateObjectBase::startEncodeMovie(const QVariantMap& params) {
    const std::lock_guard lock(mutex);
    if (driver.joinable()) {
        if (!driverDone)
            return false;
        platform::joinUnlessSelf(driver, "an export's driver thread");
    }
    deleteTempFiles();
    SlideshowProject::setULFrameRate(30);
    deInitVar(); // a new run starts uncancelled
    terminateRequested = false;
    driverDone = false;
    driver = std::thread([this, params] {
        startEncodeMovieThreadProc(params);
        driverDone = true;
    });
    return true;
}

void FFMMCreateObjectBase::startEncodeMovieThreadProc(const QVariantMap&) {}

void FFMMCreateObjectBase::joinDriver() {
    std::thread running;
    {
        const std::lock_guard lock(mutex);
        running = std::move(driver);
    }
    platform::joinUnlessSelf(running, "an export's driver thread");
}

void FFMMCreateObjectBase::deInitVar() {
    setBCancelRequest(false);
}

QString FFMMCreateObjectBase::strOutputFullPath() const {
    const std::lock_guard lock(mutex);
    return outputPath;
}

void FFMMCreateObjectBase::setStrOutputFullPath(const QString& path) {
    const std::lock_guard lock(mutex);
    outputPath = path;
}

void FFMMCreateObjectBase::setCancelPolling(std::chrono::milliseconds interval, int polls) {
    pollInterval = interval;
    pollsBeforeKill = polls;
}

FFMMCreateObjectBase::FFmpegResult FFMMCreateObjectBase::runFFmpeg(const QStringList& arguments) {
    FFmpegResult result;
    platform::ChildProcess::Options options;
    options.program = ffmpegPath();
    options.arguments = arguments;
    options.mergeStderr = true; // read only to keep it flowing and to say why it failed
    if (options.program.isEmpty()) {
        result.error = tr_("The movie cannot be made: the program \"ffmpeg\" cannot be found.");
        return result;
    }
    auto process = std::make_shared<platform::ChildProcess>(options);
    QString error;
    if (!process->start(&error)) {
        result.error = tr_("The movie cannot be made: ffmpeg did not start.") + QLatin1Char('\n') + error;
        return result;
    }
    {
        const std::lock_guard lock(mutex);
        child = process;
    }
    if (terminateRequested) // asked before the child existed
        process->terminate();
    QStringList tail;
    while (const std::optional<QString> line = process->readLine())
        keepTail(tail, *line);
    process->waitForExit();
    {
        const std::lock_guard lock(mutex);
        child.reset();
    }
    result.cancelled = terminateRequested.load();
    result.succeeded = process->exitedNormally();
    if (!result.succeeded) {
        const int signal = process->terminatingSignal();
        result.error = signal != 0 ? tr_("ffmpeg was stopped by signal %1.").arg(signal)
                                   : tr_("ffmpeg failed with status %1.").arg(process->exitStatus());
        if (!tail.isEmpty())
            result.error += QLatin1Char('\n') + tail.join(QLatin1Char('\n'));
    }
    return result;
}

void FFMMCreateObjectBase::terminateFFmpeg(bool force) {
    terminateRequested = true;
    std::shared_ptr<platform::ChildProcess> running;
    {
        const std::lock_guard lock(mutex);
        running = child;
    }
    if (!running)
        return;
    if (force)
        running->kill();
    else
        running->terminate();
}

QString FFMMCreateObjectBase::frameSizeArgument(const QSizeF& size) {
    return QString::asprintf("%0.fx%0.f", size.width(), size.height());
}

QStringList FFMMCreateObjectBase::rawFrameInputArguments(const QSizeF& size, const QString& videoFIFO,
                                                         const QString& m4aPath) {
    QStringList arguments{"-y", "-vcodec", "rawvideo", "-pix_fmt", "bgra", "-f", "rawvideo"};
    arguments << "-s" << frameSizeArgument(size);
    arguments << "-r"
              << "30"
              << "-i" << videoFIFO << "-i" << m4aPath;
    return arguments;
}

bool FFMMCreateObjectBase::createPipes(QString* error) {
    if (platform::paths::temporaryFolder().isEmpty()) {
        if (error)
            *error = platform::paths::temporaryFolderProblem();
        return false;
    }
    return audioPipe.create(strAudioFIFOName(), error) && videoPipe.create(strVideoFIFOName(), error);
}

void FFMMCreateObjectBase::removePipes() {
    audioPipe.remove();
    videoPipe.remove();
}

// ---- one pump and one ffmpeg side by side

void FFMMCreateObjectBase::runPumpBesideFFmpeg(const std::function<void()>& pump,
                                               const std::function<QStringList()>& arguments) {
    runPumpBesideRunner(pump, [this, arguments] { return runFFmpeg(arguments()); });
}

void FFMMCreateObjectBase::runPumpBesideRunner(const std::function<void()>& pump,
                                               const std::function<FFmpegResult()>& runFFmpegToItsEnd) {
    {
        const std::lock_guard lock(stateMutex);
        ffmpegResult = {};
        pumpEnded = false;
    }
    std::thread pumping([this, pump] {
        pump();
        {
            const std::lock_guard lock(stateMutex); // not lost between the waiter's test and its wait
            pumpEnded = true;
        }
        stateChanged.notify_all();
    });
    std::thread runner([this, runFFmpegToItsEnd] {
        FFmpegResult result = runFFmpegToItsEnd();
        {
            const std::lock_guard lock(stateMutex);
            ffmpegResult = std::move(result);
            setBFFMMEncodeFinished(true);
        }
        stateChanged.notify_all();
    });
    waitForFFmpeg();
    platform::joinUnlessSelf(runner, "the ffmpeg runner");
    drainVideoPipe();
    platform::joinUnlessSelf(pumping, "an export's frame pump");
}

void FFMMCreateObjectBase::releaseWaitingReader() {
    const platform::UniqueFd fd(
        ::open(QFile::encodeName(videoPipe.reachablePath()).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
}

// ffmpeg reads no more: a pump still writing, or still waiting for a reader to open the pipe, is let
// through to a reader that throws the frames away, and then stops at its next frame.
void FFMMCreateObjectBase::drainVideoPipe() {
    if (pumpEnded)
        return;
    const platform::UniqueFd fd(
        ::open(QFile::encodeName(videoPipe.reachablePath()).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    std::vector<char> sink(1 << 16);
    while (!pumpEnded) {
        if (fd) {
            pollfd readable{fd.get(), POLLIN, 0};
            if (::poll(&readable, 1, kDrainPollMs) > 0 && ::read(fd.get(), sink.data(), sink.size()) > 0)
                continue;
        }
        std::unique_lock lock(stateMutex);
        stateChanged.wait_for(lock, std::chrono::milliseconds(kDrainPollMs),
                              [this] { return pumpEnded.load(); });
    }
}
