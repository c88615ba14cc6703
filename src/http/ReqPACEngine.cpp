#include "http/ReqPACEngine.h"

#include <QFile>
#include <QHostAddress>
#include <QJSEngine>
#include <QNetworkInterface>
#include <QObject>

#include <netdb.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <future>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// The functions every proxy script may call, written here. Name lookups go to the native helper.
constexpr char kHelpers[] = R"JS(
// Anything may be thrown, not only an error; a thrown text is no answer.
function __find(url, host) {
    try { return { answer: FindProxyForURL(url, host) }; } catch (e) { return { thrown: e }; }
}
function isPlainHostName(host) { return String(host).indexOf('.') < 0; }
function dnsDomainIs(host, domain) {
    host = String(host).toLowerCase(); domain = String(domain).toLowerCase();
    return host.length >= domain.length && host.substring(host.length - domain.length) === domain;
}
function localHostOrDomainIs(host, hostdom) {
    host = String(host).toLowerCase(); hostdom = String(hostdom).toLowerCase();
    return host === hostdom || hostdom.lastIndexOf(host + '.', 0) === 0;
}
function dnsResolve(host) { var a = __pac.dnsResolve(String(host)); return a === '' ? null : a; }
function isResolvable(host) { return dnsResolve(host) !== null; }
function myIpAddress() { return __pac.myIpAddress(); }
function dnsDomainLevels(host) { return String(host).split('.').length - 1; }
function __addr(ip) {
    var b = String(ip).split('.');
    return ((b[0] << 24) | (b[1] << 16) | (b[2] << 8) | (b[3] | 0)) >>> 0;
}
function isInNet(host, pattern, mask) {
    var ip = /^\d+\.\d+\.\d+\.\d+$/.test(host) ? host : dnsResolve(host);
    if (!ip) return false;
    return ((__addr(ip) & __addr(mask)) >>> 0) === ((__addr(pattern) & __addr(mask)) >>> 0);
}
function shExpMatch(str, shexp) {
    var re = String(shexp).replace(/[.+^${}()|[\]\\]/g, '\\$&').replace(/\*/g, '.*').replace(/\?/g, '.');
    return new RegExp('^' + re + '$').test(String(str));
}
function __gmt(args) { return args.length > 0 && args[args.length - 1] === 'GMT'; }
function weekdayRange() {
    var days = ['SUN', 'MON', 'TUE', 'WED', 'THU', 'FRI', 'SAT'];
    var gmt = __gmt(arguments), n = arguments.length - (gmt ? 1 : 0);
    var now = new Date(), today = gmt ? now.getUTCDay() : now.getDay();
    var first = days.indexOf(String(arguments[0]).toUpperCase());
    var last = n > 1 ? days.indexOf(String(arguments[1]).toUpperCase()) : first;
    if (first < 0 || last < 0) return false;
    return first <= last ? today >= first && today <= last : today >= first || today <= last;
}
function __inRange(value, first, last) {
    return first <= last ? value >= first && value <= last : value >= first || value <= last;
}
function dateRange() {
    var months = ['JAN', 'FEB', 'MAR', 'APR', 'MAY', 'JUN', 'JUL', 'AUG', 'SEP', 'OCT', 'NOV', 'DEC'];
    var gmt = __gmt(arguments), n = arguments.length - (gmt ? 1 : 0), now = new Date();
    var today = { day: gmt ? now.getUTCDate() : now.getDate(), month: gmt ? now.getUTCMonth() : now.getMonth(),
                  year: gmt ? now.getUTCFullYear() : now.getFullYear() };
    var kinds = [], bounds = [], current = [];
    for (var i = 0; i < n; ++i) {
        var a = arguments[i], m = months.indexOf(String(a).toUpperCase());
        var kind = m >= 0 ? 'month' : Number(a) > 31 ? 'year' : 'day';
        kinds.push(kind);
        bounds.push(m >= 0 ? m : Number(a));
        current.push(today[kind]);
    }
    var half = n > 1 && n % 2 === 0 ? n / 2 : n;
    var pack = function (list, from) {
        var y = 0, mo = 0, d = 0;
        for (var j = from; j < from + half; ++j) {
            if (kinds[j] === 'year') y = list[j]; else if (kinds[j] === 'month') mo = list[j]; else d = list[j];
        }
        return y * 10000 + mo * 100 + d;
    };
    if (half === n) return pack(current, 0) === pack(bounds, 0);
    return __inRange(pack(current, 0), pack(bounds, 0), pack(bounds, half));
}
function timeRange() {
    var gmt = __gmt(arguments), n = arguments.length - (gmt ? 1 : 0), now = new Date();
    var h = gmt ? now.getUTCHours() : now.getHours(), m = gmt ? now.getUTCMinutes() : now.getMinutes();
    var s = gmt ? now.getUTCSeconds() : now.getSeconds(), a = arguments;
    if (n === 1) return h === Number(a[0]);
    if (n === 2) return __inRange(h, Number(a[0]), Number(a[1]) - 1 < Number(a[0]) ? Number(a[1]) : Number(a[1]) - 1);
    var t = h * 3600 + m * 60 + s;
    if (n === 4) return __inRange(t, a[0] * 3600 + a[1] * 60, a[2] * 3600 + a[3] * 60 + 59);
    if (n === 6) return __inRange(t, a[0] * 3600 + a[1] * 60 + a[2] * 1, a[3] * 3600 + a[4] * 60 + a[5] * 1);
    return false;
}
)JS";

// What a script's helpers ask of the system. Lookups run aside and are given up when the script's time is
// over, since a native call cannot be interrupted.
class PACHelper : public QObject {
    Q_OBJECT
public:
    explicit PACHelper(Clock::time_point deadline) : deadline(deadline) {}

    Q_INVOKABLE QString dnsResolve(const QString& host) const {
        if (const QHostAddress literal(host); literal.protocol() == QAbstractSocket::IPv4Protocol)
            return literal.toString();
        auto lookup = std::make_shared<std::promise<QString>>();
        std::future<QString> answer = lookup->get_future();
        std::thread([lookup, name = host.toUtf8()] {
            addrinfo hints{};
            hints.ai_family = AF_INET;
            hints.ai_socktype = SOCK_STREAM;
            addrinfo* found = nullptr;
            QString address;
            if (::getaddrinfo(name.constData(), nullptr, &hints, &found) == 0 && found) {
                address = QHostAddress(found->ai_addr).toString();
                ::freeaddrinfo(found);
            }
            lookup->set_value(address);
        }).detach();
        if (answer.wait_until(deadline) != std::future_status::ready)
            return QString();
        return answer.get();
    }

    Q_INVOKABLE QString myIpAddress() const {
        for (const QHostAddress& address : QNetworkInterface::allAddresses())
            if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
                return address.toString();
        return QStringLiteral("127.0.0.1");
    }

private:
    Clock::time_point deadline;
};

// The resident size of the process, the one measure of what a script engine has taken; 0 when unknown.
qint64 residentBytes() {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm)
        return 0;
    long pages = 0;
    long resident = 0;
    const bool read = std::fscanf(statm, "%ld %ld", &pages, &resident) == 2;
    std::fclose(statm);
    return read ? qint64(resident) * ::sysconf(_SC_PAGESIZE) : 0;
}

// Interrupts the engine when the script runs past its time or makes the process grow past its memory; it
// looks every few milliseconds.
class Watchdog {
public:
    enum class Reason { None, Time, Memory };

    Watchdog(QJSEngine& engine, const ReqPACLimits& limits, Clock::time_point deadline)
        : baseline(residentBytes()), thread([this, &engine, limits, deadline] {
              std::unique_lock lock(mutex);
              while (!done) {
                  if (Clock::now() >= deadline)
                      reason = Reason::Time;
                  else if (limits.memoryBytes > 0 && baseline > 0 &&
                           residentBytes() - baseline > limits.memoryBytes)
                      reason = Reason::Memory;
                  if (reason != Reason::None) {
                      engine.setInterrupted(true);
                      return;
                  }
                  changed.wait_until(lock, std::min(deadline, Clock::now() + std::chrono::milliseconds(5)),
                                     [this] { return done; });
              }
          }) {}
    ~Watchdog() { finish(); }

    // Ends the watch; why the engine was interrupted, if it was.
    Reason finish() {
        {
            std::lock_guard lock(mutex);
            done = true;
        }
        changed.notify_all();
        if (thread.joinable())
            thread.join();
        return reason;
    }

private:
    const qint64 baseline;
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    Reason reason = Reason::None;
    std::thread thread;
};

QString interruption(Watchdog::Reason reason, const ReqPACLimits& limits) {
    switch (reason) {
    case Watchdog::Reason::Time:
        return ReqPACScript::timeFailure(limits);
    case Watchdog::Reason::Memory:
        return ReqPACScript::memoryFailure(limits);
    case Watchdog::Reason::None:
        break;
    }
    return QString();
}

QString scriptFailure(const QJSValue& thrown) {
    const QString prefix = QStringLiteral("the proxy script failed: ");
    return prefix + thrown.toString().left(ReqPACScript::kMaximumFailureLength - prefix.size());
}

// The data of the process may grow by the budget, with room for the threads and the engine's own
// bookkeeping, so that the watchdog's gentler stop comes first for a script that grows step by step.
constexpr qint64 kHeapSlack = qint64(64) << 20;

// The data size of the process (heap and private writable mappings), which RLIMIT_DATA bounds; 0 when
// unknown.
qint64 dataBytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmData:"))
            return line.mid(7).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}

} // namespace

bool ReqPACEngine::boundHeap(qint64 budgetBytes) {
    const qint64 now = dataBytes();
    if (budgetBytes <= 0 || now <= 0)
        return false;
    const rlimit bound{rlim_t(now + budgetBytes + kHeapSlack), rlim_t(now + budgetBytes + kHeapSlack)};
    return ::setrlimit(RLIMIT_DATA, &bound) == 0;
}

ReqPACEngine::Result ReqPACEngine::evaluate(const QString& script, const QUrl& url,
                                            const ReqPACLimits& limits) {
    Result result;
    const auto limit = std::chrono::duration<double>(limits.seconds > 0 ? limits.seconds : 5.0);
    const Clock::time_point deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(limit);
    QJSEngine engine;
    PACHelper helper(deadline);
    engine.globalObject().setProperty(QStringLiteral("__pac"), engine.newQObject(&helper));
    {
        Watchdog watchdog(engine, limits, deadline);
        engine.evaluate(QString::fromLatin1(kHelpers));
        const QJSValue loaded = engine.evaluate(script);
        const QJSValue find = engine.globalObject().property(QStringLiteral("FindProxyForURL"));
        QJSValue found;
        bool threw = false;
        if (!loaded.isError() && !engine.isInterrupted() && find.isCallable()) {
            const QJSValue outcome = engine.globalObject()
                                         .property(QStringLiteral("__find"))
                                         .call({url.toString(QUrl::FullyEncoded), url.host()});
            threw = outcome.isError() || outcome.hasOwnProperty(QStringLiteral("thrown"));
            found = outcome.isError()
                        ? outcome
                        : outcome.property(threw ? QStringLiteral("thrown") : QStringLiteral("answer"));
        }
        if (const QString why = interruption(watchdog.finish(), limits); !why.isEmpty())
            result.failure = why;
        else if (loaded.isError())
            result.failure = scriptFailure(loaded);
        else if (!find.isCallable())
            result.failure = QStringLiteral("the proxy script has no FindProxyForURL function");
        else if (threw)
            result.failure = scriptFailure(found);
        else if (!found.isString())
            result.failure = QStringLiteral("FindProxyForURL answered no list of proxies");
        else if (found.toString().size() > ReqPACScript::kMaximumAnswerLength)
            result.failure = QStringLiteral("FindProxyForURL answered too long a list");
        else
            result.answer = found.toString();
    }
    // The helper belongs to this function, not to the engine's garbage collector.
    engine.globalObject().deleteProperty(QStringLiteral("__pac"));
    return result;
}

#include "ReqPACEngine.moc"
