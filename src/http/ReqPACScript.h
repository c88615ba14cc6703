#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

// One choice of a proxy auto-configuration script's answer ("PROXY host:port", "SOCKS host:port", "DIRECT").
struct ReqProxyChoice {
    enum class Type { Direct, Http, Socks };
    Type type = Type::Direct;
    QString host;
    int port = 0;
    friend bool operator==(const ReqProxyChoice&, const ReqProxyChoice&) = default;
};

// What one run of a proxy script may take: its own time, whatever the request's time-out, and how much
// memory. A script runs in a process of its own whose data the system bounds by the budget, so that even a
// single built-in call asking for more (one huge buffer) fails in the script; a watchdog there stops one
// that grows step by step.
struct ReqPACLimits {
    double seconds = 5.0;
    qint64 memoryBytes = qint64(256) << 20;
};

// A script's choices, or why there are none.
struct ReqPACAnswer {
    std::optional<QList<ReqProxyChoice>> choices;
    QString failure;
};

// Runs proxy auto-configuration scripts. A script comes from the network, so it runs in a bare script
// engine (no file or network access beyond the helpers' name lookups, each bounded by the time left), in a
// program of its own ("vistrelle-proxy-script", beside ours) under the script limits, and is ended once past
// them or when stopped.
class ReqPACScript {
public:
    using Stop = std::shared_ptr<std::atomic<bool>>;

    static constexpr qsizetype kMaximumAnswerLength = 64 * 1024;
    // A reason longer than this is cut: it is for a log line, not a copy of what the script threw.
    static constexpr qsizetype kMaximumFailureLength = 1024;

    // Where the runner is looked for, and only there: beside this program, then where the build put it.
    // Tests point it at stand-ins.
    static QStringList runnerFolders();
    static void setRunnerFolders(const QStringList& folders);

    // The limits every run takes; tests make them small.
    static ReqPACLimits limits();
    static void setLimits(const ReqPACLimits& limits);
    // The limits with the time cut to `timeOutSeconds` when that is positive and shorter.
    static ReqPACLimits limitsWithin(double timeOutSeconds);

    // The choices FindProxyForURL(url, host) names, in order, on the calling thread.
    static ReqPACAnswer evaluate(const QString& script, const QUrl& url, const ReqPACLimits& limits,
                                 const Stop& stop = {});
    // The same on a thread of its own, so that a script never holds the caller's; `done` runs on that
    // thread. Setting the answer's flag stops the script.
    static Stop evaluateAsync(const QString& script, const QUrl& url, const ReqPACLimits& limits,
                              std::function<void(ReqPACAnswer)> done);
    // The choices, or nothing when the script does not load, fails, runs past `timeOutSeconds` or the
    // limits, or names no choice.
    static std::optional<QList<ReqProxyChoice>> proxiesForURL(const QString& script, const QUrl& url,
                                                              double timeOutSeconds);
    // "PROXY a:8080; SOCKS b:1080; DIRECT": entries that do not parse are left out.
    static QList<ReqProxyChoice> parseProxyList(const QString& answer);

    // Why a script was ended: past its time, or past its memory.
    static QString timeFailure(const ReqPACLimits& limits);
    static QString memoryFailure(const ReqPACLimits& limits);
};
