#include "http/ReqPACScript.h"

#include <QHostAddress>
#include <QJSEngine>
#include <QNetworkInterface>
#include <QObject>

#include <netdb.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
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

// Interrupts the engine when the deadline passes before the script is done.
class Watchdog {
public:
    Watchdog(QJSEngine& engine, Clock::time_point deadline)
        : thread([this, &engine, deadline] {
              std::unique_lock lock(mutex);
              if (!changed.wait_until(lock, deadline, [this] { return done; }))
                  engine.setInterrupted(true);
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex);
            done = true;
        }
        changed.notify_all();
        thread.join();
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    std::thread thread;
};

} // namespace

std::optional<QList<ReqProxyChoice>> ReqPACScript::proxiesForURL(const QString& script, const QUrl& url,
                                                                 double timeOutSeconds) {
    if (script.isEmpty())
        return std::nullopt;
    const auto limit = std::chrono::duration<double>(timeOutSeconds > 0 ? timeOutSeconds : 30.0);
    const Clock::time_point deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(limit);
    QJSEngine engine;
    PACHelper helper(deadline);
    engine.globalObject().setProperty(QStringLiteral("__pac"), engine.newQObject(&helper));
    QJSValue answer;
    {
        Watchdog watchdog(engine, deadline);
        engine.evaluate(QString::fromLatin1(kHelpers));
        if (engine.evaluate(script).isError() || engine.isInterrupted())
            return std::nullopt;
        const QJSValue find = engine.globalObject().property(QStringLiteral("FindProxyForURL"));
        if (!find.isCallable())
            return std::nullopt;
        answer = find.call({url.toString(QUrl::FullyEncoded), url.host()});
        if (answer.isError() || engine.isInterrupted() || !answer.isString())
            return std::nullopt;
    }
    // The helper belongs to this function, not to the engine's garbage collector.
    engine.globalObject().deleteProperty(QStringLiteral("__pac"));
    const QList<ReqProxyChoice> choices = parseProxyList(answer.toString());
    if (choices.isEmpty())
        return std::nullopt;
    return choices;
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
