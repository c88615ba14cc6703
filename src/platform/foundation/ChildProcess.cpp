#include "platform/foundation/ChildProcess.h"

#include "platform/foundation/ChildLaunch.h"
#include "platform/foundation/ChildOutput.h"
#include "platform/foundation/ToolLocator.h"
#include "platform/foundation/UniqueFd.h"

#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <mutex>
#include <vector>

namespace platform {
namespace {

bool fail(QString* error, const QString& message) {
    if (error)
        *error = message;
    return false;
}

// A NULL-terminated char* array over byte strings that it owns, as execve wants.
class CStringArray {
public:
    explicit CStringArray(const QStringList& strings) {
        for (const QString& string : strings)
            m_storage.push_back(QFile::encodeName(string));
        for (QByteArray& bytes : m_storage)
            m_pointers.push_back(bytes.data());
        m_pointers.push_back(nullptr);
    }
    char* const* data() const { return m_pointers.data(); }

private:
    std::vector<QByteArray> m_storage;
    std::vector<char*> m_pointers;
};

QProcessEnvironment childEnvironment(const QMap<QString, QString>& overrides) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (auto it = overrides.begin(); it != overrides.end(); ++it)
        environment.insert(it.key(), it.value());
    return environment;
}

// Looks a bare name up on the child's own PATH, as a shell would; a path is made absolute, since the
// child starts in its own working folder.
QString resolvedProgram(const QString& program, const QProcessEnvironment& environment) {
    if (program.contains(QLatin1Char('/')))
        return QFileInfo(program).absoluteFilePath();
    return findOnSearchPath(program, environment.value(QStringLiteral("PATH")));
}

// The parent's ends of the child's standard streams, all close-on-exec so no other child inherits them.
struct ChildStreams {
    UniqueFd input, output, error;  // the child's fds 0, 1 and 2 (error may stay unset: merged)
    UniqueFd outputPipe, errorPipe; // our read ends
};

bool makePipe(UniqueFd* readEnd, UniqueFd* writeEnd) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    readEnd->reset(fds[0]);
    writeEnd->reset(fds[1]);
    return true;
}

bool openStreams(const ChildProcess::Options& options, ChildStreams* streams, QString* error) {
    const QString input = options.stdinFile.isEmpty() ? QStringLiteral("/dev/null") : options.stdinFile;
    // Opened without waiting: a pipe put at the name would hold the start until a writer came.
    streams->input.reset(::open(QFile::encodeName(input).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!streams->input)
        return fail(error, QStringLiteral("Cannot open \"%1\" as the input of \"%2\": %3")
                               .arg(input, options.program, qt_error_string(errno)));
    struct stat st {};
    if (::fstat(streams->input.get(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISCHR(st.st_mode)))
        return fail(
            error,
            QStringLiteral("\"%1\" is no file to be the input of \"%2\".").arg(input, options.program));
    ::fcntl(streams->input.get(), F_SETFL, ::fcntl(streams->input.get(), F_GETFL) & ~O_NONBLOCK);
    if (!options.stdoutFile.isEmpty()) {
        streams->output.reset(::open(QFile::encodeName(options.stdoutFile).constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (!streams->output)
            return fail(error, QStringLiteral("Cannot open \"%1\" for the output of \"%2\": %3")
                                   .arg(options.stdoutFile, options.program, qt_error_string(errno)));
    } else if (!makePipe(&streams->outputPipe, &streams->output)) {
        return fail(error, QStringLiteral("Cannot make a pipe: %1").arg(qt_error_string(errno)));
    }
    if (!options.mergeStderr && !makePipe(&streams->errorPipe, &streams->error))
        return fail(error, QStringLiteral("Cannot make a pipe: %1").arg(qt_error_string(errno)));
    return true;
}

int spawn(const QString& path, const ChildProcess::Options& options, const QProcessEnvironment& environment,
          const ChildStreams& streams, pid_t* pid) {
    const QByteArray program = QFile::encodeName(path);
    const CStringArray argv(QStringList(options.program) + options.arguments);
    const CStringArray envp(environment.toStringList());
    const QByteArray folder = QFile::encodeName(options.workingFolder);
    ChildLaunch launch;
    launch.path = program.constData();
    launch.argv = argv.data();
    launch.envp = envp.data();
    launch.input = streams.input.get();
    launch.output = streams.output.get();
    launch.error = options.mergeStderr ? -1 : streams.error.get();
    launch.workingFolder = options.workingFolder.isEmpty() ? nullptr : folder.constData();
    launch.ownProcessGroup = options.ownProcessGroup;
    return launchChild(launch, pid);
}

} // namespace

void ignoreSigpipe() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_handler = SIG_IGN;
        sigemptyset(&action.sa_mask);
        sigaction(SIGPIPE, &action, nullptr);
    });
}

struct ChildProcess::State {
    Options options;
    ChildOutput output;
    std::mutex mutex; // guards the fields below; a pid is only reaped while holding it
    pid_t pid = -1;
    bool reaped = false;
    int status = -1;
    int signal = 0;

    // Collects the exit of a child that has exited or (flags 0) will exit; false while it still runs.
    bool reapLocked(int flags) {
        if (options.ownProcessGroup) {
            // Its group goes while the unreaped child still holds the group's id, which no other process
            // can have taken meanwhile.
            siginfo_t info{};
            int answer;
            do
                answer = ::waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT | (flags & WNOHANG));
            while (answer < 0 && errno == EINTR);
            if (answer == 0 && info.si_pid == 0)
                return false;
            if (answer == 0)
                ::kill(-pid, SIGKILL);
        }
        int raw = 0;
        pid_t answer;
        do
            answer = ::waitpid(pid, &raw, flags);
        while (answer < 0 && errno == EINTR);
        if (answer == 0)
            return false;
        reaped = true;
        if (answer == pid && WIFEXITED(raw))
            status = WEXITSTATUS(raw);
        else if (answer == pid && WIFSIGNALED(raw))
            signal = WTERMSIG(raw);
        return true; // ECHILD too: someone else reaped it, and it must never be signalled again
    }

    void sendLocked(int number) {
        if (pid > 0 && !reaped)
            ::kill(options.ownProcessGroup ? -pid : pid, number);
    }
};

ChildProcess::ChildProcess(Options options) : d(std::make_unique<State>()) {
    d->options = std::move(options);
}

ChildProcess::~ChildProcess() {
    {
        std::lock_guard lock(d->mutex);
        d->sendLocked(SIGKILL);
    }
    waitForExit();
    d->output.stop();
}

bool ChildProcess::start(QString* error) {
    ignoreSigpipe();
    const Options& options = d->options;
    if (d->pid > 0)
        return fail(error, QStringLiteral("\"%1\" has already been started").arg(options.program));
    const QProcessEnvironment environment = childEnvironment(options.environment);
    const QString path = resolvedProgram(options.program, environment);
    if (path.isEmpty())
        return fail(error, QStringLiteral("Cannot find the program \"%1\"").arg(options.program));
    if (!options.workingFolder.isEmpty() && !QFileInfo(options.workingFolder).isDir())
        return fail(error, QStringLiteral("Cannot start \"%1\": the folder \"%2\" does not exist")
                               .arg(options.program, options.workingFolder));
    ChildStreams streams;
    if (!openStreams(options, &streams, error))
        return false;
    d->output.setLimit(options.outputLimit);
    pid_t pid = -1;
    const int code = spawn(path, options, environment, streams, &pid);
    if (code != 0)
        return fail(error, QStringLiteral("Cannot start \"%1\": %2").arg(path, qt_error_string(code)));
    {
        std::lock_guard lock(d->mutex);
        d->pid = pid;
    }
    // Our copies of the child's ends must go, or the pipes would never report the end of output.
    streams.output.reset();
    streams.error.reset();
    return d->output.start(std::move(streams.outputPipe), std::move(streams.errorPipe), error);
}

bool ChildProcess::isRunning() {
    std::lock_guard lock(d->mutex);
    return d->pid > 0 && !d->reaped && !d->reapLocked(WNOHANG);
}

qint64 ChildProcess::pid() const {
    std::lock_guard lock(d->mutex);
    return d->pid;
}

std::optional<QString> ChildProcess::readLine() {
    const std::optional<QByteArray> line = d->output.readLine();
    return line ? std::optional(QString::fromUtf8(*line)) : std::nullopt;
}

QByteArray ChildProcess::readAll() {
    return d->output.readAll();
}

QByteArray ChildProcess::readAllStderr() {
    return d->output.readAllStderr();
}

bool ChildProcess::outputClosed() {
    return d->output.outputClosed();
}

bool ChildProcess::outputOverflowed() {
    return d->output.overflowed();
}

int ChildProcess::waitForExit() {
    for (;;) {
        pid_t pid;
        {
            std::lock_guard lock(d->mutex);
            if (d->pid <= 0 || d->reaped)
                return d->status;
            pid = d->pid;
        }
        // Waits without reaping, so that terminate() and kill() on other threads never meet a reused pid.
        siginfo_t info{};
        if (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR)
            continue;
        std::lock_guard lock(d->mutex);
        if (!d->reaped)
            d->reapLocked(0);
    }
}

bool ChildProcess::exitedNormally() const {
    std::lock_guard lock(d->mutex);
    return d->reaped && d->signal == 0 && d->status == 0;
}

int ChildProcess::exitStatus() const {
    std::lock_guard lock(d->mutex);
    return d->status;
}

int ChildProcess::terminatingSignal() const {
    std::lock_guard lock(d->mutex);
    return d->signal;
}

void ChildProcess::terminate() {
    std::lock_guard lock(d->mutex);
    d->sendLocked(SIGTERM);
}

void ChildProcess::kill() {
    std::lock_guard lock(d->mutex);
    d->sendLocked(SIGKILL);
}

bool ChildProcess::run(const Options& options, QByteArray* output, QString* error) {
    ChildProcess child(options);
    if (!child.start(error))
        return false;
    const QByteArray out = child.readAll();
    child.waitForExit();
    if (output)
        *output = out;
    if (child.exitedNormally())
        return true;
    const int signal = child.terminatingSignal();
    QString message =
        signal != 0
            ? QStringLiteral("\"%1\" was stopped by signal %2").arg(options.program, QString::number(signal))
            : QStringLiteral("\"%1\" exited with status %2")
                  .arg(options.program, QString::number(child.exitStatus()));
    // The end of the error output usually says why.
    const QByteArray complaint = child.readAllStderr().trimmed().right(1000);
    if (!complaint.isEmpty())
        message += QStringLiteral(": ") + QString::fromUtf8(complaint);
    return fail(error, message);
}

} // namespace platform
