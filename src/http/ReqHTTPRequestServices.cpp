// The class-level services of the request: defaults, the shared queue and thread, the session stores of
// credentials and cookies, the User-Agent, and the small helpers for files, Base64, dates and content types.

#include "http/ReqBandwidthThrottle.h"
#include "http/ReqClassState.h"
#include "http/ReqHTTPRequest.h"
#include "http/ReqNetworkThread.h"
#include "http/ReqTextEncoding.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/MainThread.h"
#include "platform/net/SharedCookieStorage.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QTimer>

#include <sys/utsname.h>

using platform::net::Cookie;

ReqClassState& ReqClassState::shared() {
    static ReqClassState state;
    return state;
}

namespace {

struct ClassClock {
    std::mutex lock;
    std::shared_ptr<platform::Clock> clock = platform::Clock::system();
};

ClassClock& classClock() {
    static ClassClock shared;
    return shared;
}

} // namespace

double ReqClassState::now() {
    std::shared_ptr<platform::Clock> clock;
    {
        std::lock_guard guard(classClock().lock);
        clock = classClock().clock;
    }
    return clock->secondsSinceStart();
}

void ReqClassState::setClockForTesting(std::shared_ptr<platform::Clock> clock) {
    std::lock_guard guard(classClock().lock);
    classClock().clock = clock ? std::move(clock) : platform::Clock::system();
}

double ReqHTTPRequest::defaultTimeOutSeconds() {
    return ReqClassState::shared().defaultTimeOutSeconds;
}

void ReqHTTPRequest::setDefaultTimeOutSeconds(double seconds) {
    ReqClassState::shared().defaultTimeOutSeconds = seconds;
}

platform::OperationQueue& ReqHTTPRequest::sharedQueue() {
    return ReqClassState::shared().sharedQueue;
}

void ReqHTTPRequest::stopNetworkThread() {
    ReqNetworkThread::stop();
}

bool ReqHTTPRequest::isNetworkThreadRunning() {
    return ReqNetworkThread::isRunning();
}

// --- Session credentials
// --------------------------------------------------------------------------------------

namespace {

QList<ReqSessionCredentials>& store(bool proxy) {
    ReqClassState& state = ReqClassState::shared();
    auto& slot = proxy ? state.sessionProxyCredentials : state.sessionCredentials;
    if (!slot)
        slot.emplace();
    return *slot;
}

void removeFromStore(bool proxy, const ReqCredentials& credentials) {
    std::lock_guard lock(ReqClassState::shared().credentialStoreLock);
    QList<ReqSessionCredentials>& entries = store(proxy);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (entries[i].credentials == credentials) {
            entries.removeAt(i);
            return;
        }
    }
}

void addToStore(bool proxy, const ReqSessionCredentials& entry) {
    std::lock_guard lock(ReqClassState::shared().credentialStoreLock);
    removeFromStore(proxy, entry.credentials);
    store(proxy).append(entry);
}

bool portsMatch(const QUrl& request, const QUrl& stored) {
    return request.port() < 0 ? stored.port() < 0 : request.port() == stored.port();
}

} // namespace

QList<ReqSessionCredentials> ReqHTTPRequest::sessionCredentialsStore() {
    std::lock_guard lock(ReqClassState::shared().credentialStoreLock);
    return store(false);
}

QList<ReqSessionCredentials> ReqHTTPRequest::sessionProxyCredentialsStore() {
    std::lock_guard lock(ReqClassState::shared().credentialStoreLock);
    return store(true);
}

void ReqHTTPRequest::storeAuthenticationCredentialsInSessionStore(const ReqSessionCredentials& entry) {
    addToStore(false, entry);
}

void ReqHTTPRequest::storeProxyAuthenticationCredentialsInSessionStore(const ReqSessionCredentials& entry) {
    addToStore(true, entry);
}

void ReqHTTPRequest::removeAuthenticationCredentialsFromSessionStore(const ReqCredentials& credentials) {
    removeFromStore(false, credentials);
}

void ReqHTTPRequest::removeProxyAuthenticationCredentialsFromSessionStore(const ReqCredentials& credentials) {
    removeFromStore(true, credentials);
}

std::optional<ReqSessionCredentials> ReqHTTPRequest::findSessionProxyAuthenticationCredentials() const {
    std::lock_guard lock(ReqClassState::shared().credentialStoreLock);
    for (const ReqSessionCredentials& entry : store(true))
        if (entry.host == proxyHost() && entry.port == proxyPort())
            return entry;
    return std::nullopt;
}

std::optional<ReqSessionCredentials> ReqHTTPRequest::findSessionAuthenticationCredentials() const {
    std::lock_guard lock(ReqClassState::shared().credentialStoreLock);
    const QUrl target = url();
    const QString realm = authenticationRealm();
    const QString user = username();
    const QString secret = password();
    std::optional<ReqSessionCredentials> closeMatch;
    for (const ReqSessionCredentials& entry : store(false)) {
        const bool exact = entry.url == target;
        if (!exact && (closeMatch || entry.url.host() != target.host() || !portsMatch(target, entry.url) ||
                       entry.url.scheme() != target.scheme()))
            continue;
        if (!realm.isEmpty() && !entry.authenticationRealm.isEmpty() && realm != entry.authenticationRealm)
            continue;
        if (!user.isEmpty() && !secret.isEmpty()) {
            const QVariantMap given = entry.credentials ? *entry.credentials : QVariantMap();
            if (given.value(QLatin1String(kReqAuthenticationUsername)).toString() != user ||
                given.value(QLatin1String(kReqAuthenticationPassword)).toString() != secret)
                continue;
        }
        if (exact)
            return entry;
        closeMatch = entry;
    }
    return closeMatch;
}

void ReqHTTPRequest::clearSession() {
    {
        std::lock_guard lock(ReqClassState::shared().credentialStoreLock);
        store(false).clear();
    }
    setSessionCookies({});
    if (const auto cache = defaultCache())
        cache->clearCachedResponsesForStoragePolicy(ReqCacheForSessionDurationCacheStoragePolicy);
}

// --- Session cookies
// ----------------------------------------------------------------------------------------

QList<Cookie> ReqHTTPRequest::sessionCookies() {
    ReqClassState& state = ReqClassState::shared();
    std::lock_guard lock(state.cookieStoreLock);
    if (!state.sessionCookies)
        state.sessionCookies.emplace();
    return *state.sessionCookies;
}

void ReqHTTPRequest::setSessionCookies(const QList<Cookie>& cookies) {
    ReqClassState& state = ReqClassState::shared();
    std::lock_guard lock(state.cookieStoreLock);
    if (state.sessionCookies)
        for (const Cookie& cookie : *state.sessionCookies)
            platform::net::SharedCookieStorage::shared().deleteCookie(cookie);
    state.sessionCookies = cookies;
}

void ReqHTTPRequest::addSessionCookie(const Cookie& cookie) {
    ReqClassState& state = ReqClassState::shared();
    std::lock_guard lock(state.cookieStoreLock);
    if (!state.sessionCookies)
        state.sessionCookies.emplace();
    QList<Cookie>& cookies = *state.sessionCookies;
    for (qsizetype i = 0; i < cookies.size(); ++i) {
        if (cookies[i].domain == cookie.domain && cookies[i].path == cookie.path &&
            cookies[i].name == cookie.name) {
            cookies.removeAt(i);
            break;
        }
    }
    cookies.append(cookie);
}

// --- User-Agent -------------------------------------------------------------------------------------------

namespace {

std::optional<QString> systemVersion() {
    utsname system{};
    if (::uname(&system) != 0)
        return std::nullopt;
    static const QRegularExpression numbers(QStringLiteral("^(\\d+)\\.(\\d+)(?:\\.(\\d+))?"));
    const QRegularExpressionMatch match = numbers.match(QString::fromLatin1(system.release));
    if (!match.hasMatch())
        return std::nullopt;
    return QStringLiteral("%1.%2.%3")
        .arg(match.captured(1).toUInt())
        .arg(match.captured(2).toUInt())
        .arg(match.captured(3).toUInt());
}

} // namespace

QString ReqHTTPRequest::defaultUserAgentString() {
    ReqClassState& state = ReqClassState::shared();
    std::lock_guard lock(state.classLock);
    if (state.defaultUserAgent)
        return *state.defaultUserAgent;
    if (!QCoreApplication::instance() || QCoreApplication::applicationName().isEmpty())
        return QString();
    // Header values are Latin-1: each byte of a name's UTF-8 form becomes one character.
    const QString name = QString::fromLatin1(QCoreApplication::applicationName().toUtf8());
    const std::optional<QString> version = systemVersion();
    if (!version)
        return QString();
    // The window system and the kernel stand where the platform's names stood.
    state.defaultUserAgent = QStringLiteral("%1 %2 (%3; %4 %5; %6)")
                                 .arg(name, QCoreApplication::applicationVersion(), QStringLiteral("X11"),
                                      QStringLiteral("Linux"), *version, QLocale::system().name());
    return *state.defaultUserAgent;
}

void ReqHTTPRequest::setDefaultUserAgentString(const QString& agent) {
    ReqClassState& state = ReqClassState::shared();
    std::lock_guard lock(state.classLock);
    if (agent.isNull())
        state.defaultUserAgent.reset();
    else
        state.defaultUserAgent = agent;
}

// --- Files, Base64, dates, content types
// ----------------------------------------------------------------------

QString ReqHTTPRequest::mimeTypeForFileAtPath(const QString& path) {
    if (!QFileInfo::exists(path))
        return QString();
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    return type.isValid() && !type.isDefault() ? type.name() : QStringLiteral("application/octet-stream");
}

QString ReqHTTPRequest::base64forData(const QByteArray& data) {
    return QString::fromLatin1(data.toBase64());
}

std::optional<QDateTime> ReqHTTPRequest::expiryDateForRequest(const ReqHTTPRequest& request, double maxAge) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (maxAge != 0.0)
        return now.addMSecs(qint64(maxAge * 1000.0));
    const platform::net::HttpHeaders headers =
        request.responseHeaders().value_or(platform::net::HttpHeaders());
    const QString control = headers.text("Cache-Control").toLower();
    if (const qsizetype at = control.indexOf(QLatin1String("max-age")); at >= 0) {
        const QString rest = control.mid(at + 7).trimmed();
        if (rest.startsWith(u'=')) {
            static const QRegularExpression number(QStringLiteral("^\\s*([-+]?[0-9]*\\.?[0-9]+)"));
            const double seconds = number.match(rest.mid(1)).captured(1).toDouble();
            if (seconds != 0.0)
                return now.addMSecs(qint64(seconds * 1000.0));
        }
    }
    if (!headers.contains("Expires"))
        return std::nullopt;
    return dateFromRFC1123String(headers.text("Expires"));
}

namespace {

std::optional<int> zoneOffsetSeconds(const QString& zone) {
    static const QMap<QString, int> named{{"GMT", 0},         {"UTC", 0},         {"UT", 0},
                                          {"Z", 0},           {"EST", -5 * 3600}, {"EDT", -4 * 3600},
                                          {"CST", -6 * 3600}, {"CDT", -5 * 3600}, {"MST", -7 * 3600},
                                          {"MDT", -6 * 3600}, {"PST", -8 * 3600}, {"PDT", -7 * 3600}};
    if (named.contains(zone.toUpper()))
        return named.value(zone.toUpper());
    static const QRegularExpression offset(QStringLiteral("^(?:GMT|UTC)?([+-])(\\d{1,2}):?(\\d{2})?$"));
    const QRegularExpressionMatch match = offset.match(zone.toUpper());
    if (!match.hasMatch())
        return std::nullopt;
    const int seconds = match.captured(2).toInt() * 3600 + match.captured(3).toInt() * 60;
    return match.captured(1) == u'-' ? -seconds : seconds;
}

} // namespace

std::optional<QDateTime> ReqHTTPRequest::dateFromRFC1123String(const QString& text) {
    // The weekday belongs to the pattern only when the text has a comma, the seconds only when the text
    // splits into three at ":".
    const bool weekday = text.contains(u',');
    const bool seconds = text.split(u':').size() == 3;
    const QString pattern = QStringLiteral("^%1(\\d{1,2}) ([A-Za-z]{3}) (\\d{4}) (\\d{2}):(\\d{2})%2 (\\S+)$")
                                .arg(weekday ? QStringLiteral("[A-Za-z]{3}, ") : QString(),
                                     seconds ? QStringLiteral(":(\\d{2})") : QString());
    const QRegularExpressionMatch match = QRegularExpression(pattern).match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    const QStringList months{"jan", "feb", "mar", "apr", "may", "jun",
                             "jul", "aug", "sep", "oct", "nov", "dec"};
    const int month = int(months.indexOf(match.captured(2).toLower())) + 1;
    const std::optional<int> zone = zoneOffsetSeconds(match.captured(seconds ? 7 : 6));
    const QDate date(match.captured(3).toInt(), month, match.captured(1).toInt());
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt(),
                     seconds ? match.captured(6).toInt() : 0);
    if (month == 0 || !zone || !date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::OffsetFromUTC, *zone).toUTC();
}

void ReqHTTPRequest::parseMimeType(QString* mimeType, QByteArray* encoding, const QString& contentType) {
    if (contentType.isNull())
        return;
    const qsizetype semicolon = contentType.indexOf(u';');
    if (semicolon <= 0) {
        if (mimeType)
            *mimeType = contentType.trimmed();
        return;
    }
    if (mimeType)
        *mimeType = contentType.left(semicolon).trimmed();
    const QString parameters = contentType.mid(semicolon);
    const qsizetype at = parameters.indexOf(QLatin1String("charset="), 0, Qt::CaseInsensitive);
    if (at < 0)
        return;
    QString charset = parameters.mid(at + 8).section(u';', 0, 0).trimmed();
    if (charset.size() >= 2 && charset.startsWith(u'"') && charset.endsWith(u'"'))
        charset = charset.mid(1, charset.size() - 2);
    if (charset.isEmpty())
        return;
    if (const auto known = ReqTextEncoding::canonicalName(charset.toLatin1()); known && encoding)
        *encoding = *known;
}

// --- Default cache, network activity, bandwidth
// -------------------------------------------------------------

std::shared_ptr<ReqCacheDelegate> ReqHTTPRequest::defaultCache() {
    ReqClassState& state = ReqClassState::shared();
    std::lock_guard lock(state.classLock);
    return state.defaultCache;
}

void ReqHTTPRequest::setDefaultCache(const std::shared_ptr<ReqCacheDelegate>& cache) {
    ReqClassState& state = ReqClassState::shared();
    std::lock_guard lock(state.classLock);
    state.defaultCache = cache;
}

bool ReqHTTPRequest::isNetworkInUse() {
    ReqClassState& state = ReqClassState::shared();
    std::lock_guard lock(state.poolLock);
    return state.activeStreamCount != 0;
}

void ReqHTTPRequest::setShouldUpdateNetworkActivityIndicator(bool update) {
    ReqClassState& state = ReqClassState::shared();
    std::lock_guard lock(state.poolLock);
    state.shouldUpdateNetworkActivityIndicator = update;
}

void ReqHTTPRequest::hideNetworkActivityIndicatorAfterDelay() {
    if (QCoreApplication::instance())
        QTimer::singleShot(500, QCoreApplication::instance(),
                           [] { hideNetworkActivityIndicatorIfNeeeded(); });
}

void ReqHTTPRequest::hideNetworkActivityIndicatorIfNeeeded() {
    ReqClassState& state = ReqClassState::shared();
    std::lock_guard lock(state.poolLock);
    if (state.activeStreamCount == 0)
        hideNetworkActivityIndicator();
}

bool ReqHTTPRequest::isBandwidthThrottled() {
    return ReqBandwidthThrottle::isBandwidthThrottled();
}

unsigned long ReqHTTPRequest::maxBandwidthPerSecond() {
    return ReqBandwidthThrottle::maxBandwidthPerSecond();
}

void ReqHTTPRequest::setMaxBandwidthPerSecond(unsigned long bytes) {
    ReqBandwidthThrottle::setMaxBandwidthPerSecond(bytes);
}

void ReqHTTPRequest::incrementBandwidthUsedInLastSecond(unsigned long bytes) {
    ReqBandwidthThrottle::incrementBandwidthUsedInLastSecond(bytes);
}

unsigned long ReqHTTPRequest::averageBandwidthUsedPerSecond() {
    return ReqBandwidthThrottle::averageBandwidthUsedPerSecond();
}

unsigned long ReqHTTPRequest::maxUploadReadLength() {
    return ReqBandwidthThrottle::maxUploadReadLength();
}
