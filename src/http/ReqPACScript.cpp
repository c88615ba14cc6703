#include "http/ReqPACScript.h"

#include "platform/foundation/ChildProcess.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/ToolLocator.h"

#include <QFileInfo>
#include <QTemporaryFile>

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

QString runnerPath() {
    QStringList folders{QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).path()};
#ifdef VISTRELLE_BUILD_TOOLS_DIR
    folders << QStringLiteral(VISTRELLE_BUILD_TOOLS_DIR);
#endif
    return platform::locateTool(QString::fromLatin1(kRunnerName), folders);
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
        answer.failure = text;
    }
    return answer;
}

std::mutex limitsLock;
ReqPACLimits currentLimits;

} // namespace

ReqPACLimits ReqPACScript::limits() {
    std::lock_guard lock(limitsLock);
    return currentLimits;
}

void ReqPACScript::setLimits(const ReqPACLimits& limits) {
    std::lock_guard lock(limitsLock);
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
    QTemporaryFile scriptFile(platform::paths::temporaryFolder() + QStringLiteral("/proxy-script-XXXXXX"));
    if (runner.isEmpty() || !scriptFile.open() || scriptFile.write(script.toUtf8()) < 0 ||
        !scriptFile.flush()) {
        answer.failure =
            QStringLiteral("the proxy script cannot be run: ") +
            (runner.isEmpty() ? QStringLiteral("%1 is missing").arg(kRunnerName) : scriptFile.errorString());
        return answer;
    }
    const double seconds = limits.seconds > 0 ? limits.seconds : 5.0;
    platform::ChildProcess::Options options;
    options.program = runner;
    options.arguments = {scriptFile.fileName(), QString::fromLatin1(url.toEncoded()),
                         QString::number(seconds), QString::number(limits.memoryBytes)};
    platform::ChildProcess child(options);
    QString why;
    if (!child.start(&why)) {
        answer.failure = QStringLiteral("the proxy script cannot be run: ") + why;
        return answer;
    }
    const Clock::time_point deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)) +
        kRunnerGrace;
    QString ended;
    while (child.isRunning()) {
        if (stop && *stop)
            ended = QStringLiteral("the proxy script was stopped");
        else if (Clock::now() >= deadline)
            ended = timeFailure(limits);
        if (!ended.isEmpty()) {
            child.kill();
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    child.waitForExit();
    if (!ended.isEmpty()) {
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
