#include "dvd/StreamedChildProcess.h"

#include "dvd/DVDFiles.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/StandardPaths.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {

// Named after the process that makes it, so that a later start tells which are left by ended runs.
QString uniqueFifoName(const QString& program) {
    static std::atomic<int> counter{0};
    return QStringLiteral("%1_%2_%3_output_fifo")
        .arg(QFileInfo(program).fileName())
        .arg(::getpid())
        .arg(counter.fetch_add(1));
}

bool fail(QString* error, const QString& message) {
    if (error)
        *error = message;
    return false;
}

} // namespace

void StreamedChildProcess::removeLeftoverFifos(const QString& folder) {
    static const QRegularExpression pattern(QStringLiteral("^.+_([1-9][0-9]*)_[0-9]+_output_fifo$"));
    platform::removePipesOfEndedProcesses(folder, pattern);
}

StreamedChildProcess::StreamedChildProcess(platform::ChildProcess::Options options, QString fifoFolder)
    : options(std::move(options)), folder(std::move(fifoFolder)) {}

StreamedChildProcess::~StreamedChildProcess() {
    readEnd.reset(); // a child blocked on a full pipe gets EPIPE and ends
    child.reset();   // kills and reaps it if it still runs
}

bool StreamedChildProcess::start(QString* error) {
    if (child)
        return fail(error, QStringLiteral("\"%1\" has already been started").arg(options.program));
    if (folder.isEmpty())
        return fail(error, platform::paths::temporaryFolderProblem());
    const QString path = pathIn(folder, uniqueFifoName(options.program));
    if (!fifo.create(path, error))
        return false;
    if (beforeOpen)
        beforeOpen(path);
    // Opening the reading end without waiting lets the child's open for writing succeed at once, and
    // means no open blocks for ever when the program cannot be started. Both ends are opened through the
    // FIFO made here: a link or a file put at its name meanwhile is neither read nor written.
    const QString through = fifo.reachablePath();
    readEnd.reset(::open(QFile::encodeName(through).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!readEnd) {
        fifo.remove();
        return fail(error, QStringLiteral("Cannot open \"%1\": %2").arg(path, qt_error_string(errno)));
    }
    options.stdoutFile = through;
    child = std::make_unique<platform::ChildProcess>(options);
    const bool started = child->start(error);
    fifo.remove();
    if (!started) {
        readEnd.reset();
        return false;
    }
    const int flags = ::fcntl(readEnd.get(), F_GETFL);
    ::fcntl(readEnd.get(), F_SETFL, flags & ~O_NONBLOCK);
    return true;
}

qint64 StreamedChildProcess::read(char* buffer, qint64 size) {
    if (!readEnd)
        return 0;
    for (;;) {
        const ssize_t got = ::read(readEnd.get(), buffer, std::size_t(size));
        if (got >= 0)
            return got;
        if (errno != EINTR)
            return -1;
    }
}

void StreamedChildProcess::terminate() {
    if (child)
        child->terminate();
}

void StreamedChildProcess::kill() {
    if (child)
        child->kill();
}

int StreamedChildProcess::waitForExit() {
    return child ? child->waitForExit() : -1;
}

bool StreamedChildProcess::exitedNormally() const {
    return child && child->exitedNormally();
}

QString StreamedChildProcess::exitDescription() {
    if (!child)
        return QStringLiteral("\"%1\" was not started").arg(options.program);
    waitForExit();
    const int signal = child->terminatingSignal();
    QString text =
        signal != 0
            ? QStringLiteral("\"%1\" was stopped by signal %2").arg(options.program).arg(signal)
            : QStringLiteral("\"%1\" exited with status %2").arg(options.program).arg(child->exitStatus());
    if (!options.mergeStderr) {
        const QByteArray complaint = child->readAllStderr().trimmed().right(1000);
        if (!complaint.isEmpty())
            text += QStringLiteral(": ") + QString::fromUtf8(complaint);
    }
    return text;
}
