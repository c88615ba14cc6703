#include "http/ReqPACScript.h"

#include "platform/foundation/ChildProcess.h"
#include "platform/foundation/NamedPipe.h"
#include "platform/foundation/UniqueFd.h"

#include <QFileInfo>
#include <QStandardPaths>

#include <sys/mman.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// The program that runs one script, as the build or the installation puts it beside ours.
constexpr char kRunnerName[] = "vistrelle-proxy-script";
// The runner stops a script at its time itself, with a clearer word than a kill; this much later it is
// killed all the same.
constexpr auto kRunnerGrace = std::chrono::seconds(2);
// The most the runner may print: a word, a newline and the longest answer in UTF-8.
constexpr qsizetype kRunnerOutputLimit = 3 * ReqPACScript::kMaximumAnswerLength + 64;

QStringList builtRunnerFolders() {
    QStringList folders{QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).path()};
#ifdef VISTRELLE_BUILD_TOOLS_DIR
    folders << QStringLiteral(VISTRELLE_BUILD_TOOLS_DIR);
#endif
    return folders;
}

std::mutex settingsLock;
ReqPACLimits currentLimits;
std::optional<QStringList> chosenRunnerFolders;

// Never a program found on PATH: one of that name there is not ours.
QString runnerPath() {
    QStringList folders = ReqPACScript::runnerFolders();
    folders.removeAll(QString());
    // An empty list would make Qt search PATH.
    return folders.isEmpty() ? QString()
                             : QStandardPaths::findExecutable(QString::fromLatin1(kRunnerName), folders);
}

// The script in a file with no name, which goes with the last process that holds it.
platform::UniqueFd scriptInMemory(const QByteArray& script, QString* why) {
    platform::UniqueFd file(::memfd_create("proxy-script", MFD_CLOEXEC));
    if (!file || !platform::writeFully(file.get(), script.constData(), std::size_t(script.size()))) {
        *why = qt_error_string(errno);
        return platform::UniqueFd();
    }
    return file;
}

QString saidTooMuch() {
    return QStringLiteral("the proxy script runner said more than an answer");
}

// Waits for the runner and whatever it left holding its output; why it was ended early, if it was.
QString awaitRunner(platform::ChildProcess& child, const ReqPACLimits& limits, double seconds,
                    const ReqPACScript::Stop& stop) {
    const Clock::time_point deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)) +
        kRunnerGrace;
    QString ended;
    while (ended.isEmpty() && (child.isRunning() || !child.outputClosed())) {
        if (child.outputOverflowed())
            ended = saidTooMuch();
        else if (stop && *stop)
            ended = QStringLiteral("the proxy script was stopped");
        else if (Clock::now() >= deadline)
            ended = ReqPACScript::timeFailure(limits);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    child.kill();
    child.waitForExit();
    // An overflow closes the output: a runner that ended with it left the loop before its check.
    if (ended.isEmpty() && child.outputOverflowed())
        ended = saidTooMuch();
    return ended;
}

// What the runner printed: "choices" or "failure", a newline, then the answer or the reason.
ReqPACAnswer readRunnerOutput(const QByteArray& output) {
    ReqPACAnswer answer;
    const qsizetype newline = output.indexOf('\n');
    const QByteArray kind = output.left(newline);
    const QString text = newline < 0 ? QString() : QString::fromUtf8(output.mid(newline + 1));
    if (kind == "choices") {
        const QList<ReqProxyChoice> choices = ReqPACScript::parseProxyList(text);
        if (choices.isEmpty())
            answer.failure = QStringLiteral("FindProxyForURL named no proxy");
        else
            answer.choices = choices;
    } else if (kind == "failure" && !text.isEmpty()) {
        answer.failure = text.left(ReqPACScript::kMaximumFailureLength);
    }
    return answer;
}

} // namespace

QStringList ReqPACScript::runnerFolders() {
    std::lock_guard lock(settingsLock);
    return chosenRunnerFolders.value_or(builtRunnerFolders());
}

void ReqPACScript::setRunnerFolders(const QStringList& folders) {
    std::lock_guard lock(settingsLock);
    chosenRunnerFolders = folders;
}

ReqPACLimits ReqPACScript::limits() {
    std::lock_guard lock(settingsLock);
    return currentLimits;
}

void ReqPACScript::setLimits(const ReqPACLimits& limits) {
    std::lock_guard lock(settingsLock);
    currentLimits = limits;
}

ReqPACLimits ReqPACScript::limitsWithin(double timeOutSeconds) {
    ReqPACLimits given = limits();
    if (timeOutSeconds > 0 && timeOutSeconds < given.seconds)
        given.seconds = timeOutSeconds;
    return given;
}

QString ReqPACScript::timeFailure(const ReqPACLimits& limits) {
    return QStringLiteral("the proxy script ran past its %1 s").arg(limits.seconds);
}

QString ReqPACScript::memoryFailure(const ReqPACLimits& limits) {
    return QStringLiteral("the proxy script used more than %1 MB of memory").arg(limits.memoryBytes >> 20);
}

ReqPACAnswer ReqPACScript::evaluate(const QString& script, const QUrl& url, const ReqPACLimits& limits,
                                    const Stop& stop) {
    ReqPACAnswer answer;
    if (script.isEmpty()) {
        answer.failure = QStringLiteral("the proxy script is empty");
        return answer;
    }
    const QString runner = runnerPath();
    if (runner.isEmpty()) {
        answer.failure = QStringLiteral("the proxy script cannot be run: %1 is missing").arg(kRunnerName);
        return answer;
    }
    QString why;
    const platform::UniqueFd scriptFile = scriptInMemory(script.toUtf8(), &why);
    if (!scriptFile) {
        answer.failure = QStringLiteral("the proxy script cannot be run: ") + why;
        return answer;
    }
    const double seconds = limits.seconds > 0 ? limits.seconds : 5.0;
    platform::ChildProcess::Options options;
    options.program = runner;
    options.arguments = {QString::fromLatin1(url.toEncoded()), QString::number(seconds),
                         QString::number(limits.memoryBytes)};
    // Opened afresh, from the start, as the runner's input.
    options.stdinFile = QStringLiteral("/proc/self/fd/%1").arg(scriptFile.get());
    options.outputLimit = kRunnerOutputLimit;
    options.ownProcessGroup = true;
    platform::ChildProcess child(options);
    if (!child.start(&why)) {
        answer.failure = QStringLiteral("the proxy script cannot be run: ") + why;
        return answer;
    }
    if (const QString ended = awaitRunner(child, limits, seconds, stop); !ended.isEmpty()) {
        answer.failure = ended;
        return answer;
    }
    answer = readRunnerOutput(child.readAll());
    if (!answer.choices && answer.failure.isEmpty())
        // Its heap bound leaves a script that takes too much nothing to end on but a crash.
        answer.failure = child.terminatingSignal() != 0 ? memoryFailure(limits)
                                                        : QStringLiteral("the proxy script runner failed");
    return answer;
}

ReqPACScript::Stop ReqPACScript::evaluateAsync(const QString& script, const QUrl& url,
                                               const ReqPACLimits& limits,
                                               std::function<void(ReqPACAnswer)> done) {
    Stop stop = std::make_shared<std::atomic<bool>>(false);
    std::thread([script, url, limits, stop, done = std::move(done)] {
        done(evaluate(script, url, limits, stop));
    }).detach();
    return stop;
}

std::optional<QList<ReqProxyChoice>> ReqPACScript::proxiesForURL(const QString& script, const QUrl& url,
                                                                 double timeOutSeconds) {
    return evaluate(script, url, limitsWithin(timeOutSeconds)).choices;
}

QList<ReqProxyChoice> ReqPACScript::parseProxyList(const QString& answer) {
    QList<ReqProxyChoice> choices;
    for (const QString& entry : answer.split(u';', Qt::SkipEmptyParts)) {
        const QStringList words = entry.simplified().split(u' ');
        const QString kind = words.value(0).toUpper();
        ReqProxyChoice choice;
        if (kind == u"DIRECT" && words.size() == 1) {
            choices.append(choice);
            continue;
        }
        if (words.size() != 2)
            continue;
        if (kind == u"PROXY" || kind == u"HTTP" || kind == u"HTTPS")
            choice.type = ReqProxyChoice::Type::Http;
        else if (kind == u"SOCKS" || kind == u"SOCKS4" || kind == u"SOCKS5")
            choice.type = ReqProxyChoice::Type::Socks;
        else
            continue;
        const QUrl address = QUrl::fromUserInput(QStringLiteral("http://") + words[1]);
        choice.host = address.host();
        choice.port = address.port(choice.type == ReqProxyChoice::Type::Socks ? 1080 : 80);
        if (choice.host.isEmpty() || !address.isValid() ||
            (!address.path().isEmpty() && address.path() != u"/"))
            continue;
        choices.append(choice);
    }
    return choices;
}
