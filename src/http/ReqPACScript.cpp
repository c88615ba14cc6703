#include "http/ReqPACScript.h"

#include <QHostAddress>
#include <QJSEngine>
#include <QNetworkInterface>
#include <QObject>

#include <netdb.h>
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

// Interrupts the engine when the script runs past its time, makes the process grow past its memory, or is
// stopped; it looks every few milliseconds.
class Watchdog {
public:
    enum class Reason { None, Time, Memory, Stopped };

    Watchdog(QJSEngine& engine, const ReqPACLimits& limits, Clock::time_point deadline,
             ReqPACScript::Stop stop)
        : baseline(residentBytes()), thread([this, &engine, limits, deadline, stop = std::move(stop)] {
              std::unique_lock lock(mutex);
              while (!done) {
                  if (Clock::now() >= deadline)
                      reason = Reason::Time;
                  else if (stop && *stop)
                      reason = Reason::Stopped;
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
        return QStringLiteral("the proxy script ran past its %1 s").arg(limits.seconds);
    case Watchdog::Reason::Memory:
        return QStringLiteral("the proxy script used more than %1 MB of memory")
            .arg(limits.memoryBytes >> 20);
    case Watchdog::Reason::Stopped:
        return QStringLiteral("the proxy script was stopped");
    case Watchdog::Reason::None:
        break;
    }
    return QString();
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

ReqPACAnswer ReqPACScript::evaluate(const QString& script, const QUrl& url, const ReqPACLimits& limits,
                                    const Stop& stop) {
    ReqPACAnswer answer;
    if (script.isEmpty()) {
        answer.failure = QStringLiteral("the proxy script is empty");
        return answer;
    }
    const auto limit = std::chrono::duration<double>(limits.seconds > 0 ? limits.seconds : 5.0);
    const Clock::time_point deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(limit);
    QJSEngine engine;
    PACHelper helper(deadline);
    engine.globalObject().setProperty(QStringLiteral("__pac"), engine.newQObject(&helper));
    QJSValue found;
    {
        Watchdog watchdog(engine, limits, deadline, stop);
        engine.evaluate(QString::fromLatin1(kHelpers));
        const QJSValue loaded = engine.evaluate(script);
        const QJSValue find = engine.globalObject().property(QStringLiteral("FindProxyForURL"));
        if (!loaded.isError() && !engine.isInterrupted() && find.isCallable())
            found = find.call({url.toString(QUrl::FullyEncoded), url.host()});
        if (const QString why = interruption(watchdog.finish(), limits); !why.isEmpty())
            answer.failure = why;
        else if (loaded.isError())
            answer.failure = QStringLiteral("the proxy script failed: ") + loaded.toString();
        else if (!find.isCallable())
            answer.failure = QStringLiteral("the proxy script has no FindProxyForURL function");
        else if (found.isError())
            answer.failure = QStringLiteral("the proxy script failed: ") + found.toString();
        else if (!found.isString())
            answer.failure = QStringLiteral("FindProxyForURL answered no list of proxies");
    }
    // The helper belongs to this function, not to the engine's garbage collector.
    engine.globalObject().deleteProperty(QStringLiteral("__pac"));
    if (!answer.failure.isEmpty())
        return answer;
    const QList<ReqProxyChoice> choices = parseProxyList(found.toString());
    if (choices.isEmpty())
        answer.failure = QStringLiteral("FindProxyForURL named no proxy");
    else
        answer.choices = choices;
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

#include "ReqPACScript.moc"
