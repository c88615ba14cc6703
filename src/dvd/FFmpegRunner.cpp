#include "dvd/FFmpegRunner.h"

#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"
#include "platform/foundation/ToolLocator.h"

namespace {

// How many of ffmpeg's last message lines a failure shows: its verdict comes last.
constexpr qsizetype kKeptLines = 4;

// ffmpeg ends its progress lines with a carriage return only.
void keepTail(QStringList& tail, const QString& line) {
    for (const QString& part : line.split(QLatin1Char('\r'), Qt::SkipEmptyParts)) {
        const QString text = part.trimmed();
        if (text.isEmpty())
            continue;
        tail << text;
        if (tail.size() > kKeptLines)
            tail.removeFirst();
    }
}

} // namespace

QString FFmpegRunner::ffmpegPath() {
    const QString bundled = platform::paths::resourceFolder() + QStringLiteral("/binaray1/bin");
    return platform::locateTool(QStringLiteral("ffmpeg"), {bundled});
}

FFmpegRunner::Result FFmpegRunner::run(const QStringList& arguments) {
    Result result;
    platform::ChildProcess::Options options;
    options.program = ffmpegPath();
    options.arguments = arguments;
    options.mergeStderr = true; // read only to keep it flowing and to say why it failed
    if (options.program.isEmpty()) {
        result.error = tr_("The program \"ffmpeg\" cannot be found.");
        return result;
    }
    auto process = std::make_shared<platform::ChildProcess>(options);
    QString error;
    if (!process->start(&error)) {
        result.error = tr_("ffmpeg could not be started: %1").arg(error);
        return result;
    }
    result.started = true;
    {
        const std::lock_guard lock(mutex);
        child = process;
    }
    if (const int request = stopRequest.load()) // asked before the child existed
        signal(request == 2);
    QStringList tail;
    while (const std::optional<QString> line = process->readLine())
        keepTail(tail, *line);
    process->waitForExit();
    {
        const std::lock_guard lock(mutex);
        child.reset();
    }
    result.stopped = stopRequest.load() != 0;
    result.succeeded = process->exitedNormally();
    if (!result.succeeded) {
        const int number = process->terminatingSignal();
        result.error = number != 0 ? tr_("ffmpeg was stopped by signal %1.").arg(number)
                                   : tr_("ffmpeg failed with status %1.").arg(process->exitStatus());
        if (!tail.isEmpty())
            result.error += QLatin1Char('\n') + tail.join(QLatin1Char('\n'));
    }
    return result;
}

void FFmpegRunner::terminate() {
    int none = 0;
    stopRequest.compare_exchange_strong(none, 1);
    signal(false);
}

void FFmpegRunner::kill() {
    stopRequest = 2;
    signal(true);
}

void FFmpegRunner::signal(bool force) {
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

bool FFmpegRunner::running() const {
    const std::lock_guard lock(mutex);
    return child != nullptr;
}
