#include "platform/net/Cookie.h"

#include <QHostAddress>

#include <optional>

namespace platform::net {

namespace {

bool isDateDelimiter(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u == 0x09 || (u >= 0x20 && u <= 0x2F) || (u >= 0x3B && u <= 0x40) || (u >= 0x5B && u <= 0x60) ||
           (u >= 0x7B && u <= 0x7E);
}

std::optional<int> leadingNumber(const QByteArray& token, int minDigits, int maxDigits, qsizetype* used) {
    qsizetype n = 0;
    while (n < token.size() && n < maxDigits && token[n] >= '0' && token[n] <= '9')
        ++n;
    if (n < minDigits)
        return std::nullopt;
    *used = n;
    return token.left(n).toInt();
}

std::optional<QTime> timeToken(const QByteArray& token) {
    const QList<QByteArray> parts = token.split(':');
    if (parts.size() != 3)
        return std::nullopt;
    int values[3];
    for (int i = 0; i < 3; ++i) {
        qsizetype used = 0;
        auto value = leadingNumber(parts[i], 1, 2, &used);
        if (!value || (i < 2 && used != parts[i].size()))
            return std::nullopt;
        values[i] = *value;
    }
    if (values[0] > 23 || values[1] > 59 || values[2] > 59)
        return std::nullopt;
    return QTime(values[0], values[1], values[2]);
}

std::optional<int> monthToken(const QByteArray& token) {
    static const char* names[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                  "jul", "aug", "sep", "oct", "nov", "dec"};
    const QByteArray start = token.left(3).toLower();
    for (int i = 0; i < 12; ++i)
        if (start == names[i])
            return i + 1;
    return std::nullopt;
}

QString defaultPath(const QUrl& url) {
    const QString path = url.path();
    if (!path.startsWith(u'/'))
        return QStringLiteral("/");
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

struct Attributes {
    QDateTime expires;
    std::optional<qint64> maxAge;
    QString domain;
    QString path;
    bool secure = false;
    bool httpOnly = false;
    QString sameSite;
};

void readAttribute(const QByteArray& text, Attributes& attributes) {
    const qsizetype equals = text.indexOf('=');
    const QByteArray name = (equals < 0 ? text : text.left(equals)).trimmed().toLower();
    const QByteArray value = equals < 0 ? QByteArray() : text.mid(equals + 1).trimmed();
    if (name == "expires") {
        const QDateTime date = Cookie::parseCookieDate(value);
        if (date.isValid())
            attributes.expires = date;
    } else if (name == "max-age") {
        bool ok = false;
        const qint64 seconds = value.toLongLong(&ok);
        if (ok)
            attributes.maxAge = seconds;
    } else if (name == "domain") {
        QString domain = QString::fromLatin1(value).toLower();
        while (domain.startsWith(u'.'))
            domain.remove(0, 1);
        if (!domain.isEmpty())
            attributes.domain = domain;
    } else if (name == "path") {
        attributes.path = value.startsWith('/') ? QString::fromLatin1(value) : QString();
    } else if (name == "secure") {
        attributes.secure = true;
    } else if (name == "httponly") {
        attributes.httpOnly = true;
    } else if (name == "samesite") {
        attributes.sameSite = QString::fromLatin1(value);
    }
}

} // namespace

QDateTime Cookie::parseCookieDate(const QByteArray& text) {
    std::optional<QTime> time;
    std::optional<int> day, month, year;
    QList<QByteArray> tokens;
    QByteArray token;
    for (char c : text + ' ') {
        if (isDateDelimiter(c)) {
            if (!token.isEmpty())
                tokens.append(token);
            token.clear();
        } else {
            token.append(c);
        }
    }
    for (const QByteArray& t : tokens) {
        qsizetype used = 0;
        if (!time && (time = timeToken(t)))
            continue;
        if (!day && t.size() <= 2 && (day = leadingNumber(t, 1, 2, &used)))
            continue;
        if (!month && (month = monthToken(t)))
            continue;
        if (!year && t.size() >= 2 && t.size() <= 4)
            year = leadingNumber(t, 2, 4, &used);
    }
    if (!time || !day || !month || !year)
        return QDateTime();
    int fullYear = *year;
    if (fullYear < 70)
        fullYear += 2000;
    else if (fullYear < 100)
        fullYear += 1900;
    const QDate date(fullYear, *month, *day);
    if (fullYear < 1601 || !date.isValid())
        return QDateTime();
    return QDateTime(date, *time, Qt::UTC);
}

bool Cookie::domainMatches(const QString& host, const QString& domain) {
    if (host.isEmpty() || domain.isEmpty())
        return false;
    if (host == domain)
        return true;
    if (!host.endsWith(domain) || host.at(host.size() - domain.size() - 1) != u'.')
        return false;
    return QHostAddress(host).isNull();
}

bool Cookie::matchesHost(const QString& host) const {
    const QString lowerHost = host.toLower();
    const QString lowerDomain = domain.toLower();
    if (isHostOnly())
        return lowerHost == lowerDomain;
    return domainMatches(lowerHost, lowerDomain.mid(1));
}

bool Cookie::matchesPath(const QString& requestPath) const {
    const QString target = requestPath.isEmpty() ? QStringLiteral("/") : requestPath;
    if (target == path)
        return true;
    if (!target.startsWith(path))
        return false;
    return path.endsWith(u'/') || target.at(path.size()) == u'/';
}

std::optional<Cookie> Cookie::parseSetCookie(const QByteArray& headerValue, const QUrl& url,
                                             const QDateTime& now) {
    const QList<QByteArray> parts = headerValue.split(';');
    const QByteArray pair = parts.first();
    const qsizetype equals = pair.indexOf('=');
    if (equals < 0)
        return std::nullopt;
    Cookie cookie;
    cookie.name = QString::fromLatin1(pair.left(equals).trimmed());
    cookie.value = QString::fromLatin1(pair.mid(equals + 1).trimmed());
    if (cookie.name.isEmpty())
        return std::nullopt;

    Attributes attributes;
    for (qsizetype i = 1; i < parts.size(); ++i)
        readAttribute(parts[i], attributes);

    const QString host = url.host().toLower();
    if (host.isEmpty())
        return std::nullopt;
    if (attributes.domain.isEmpty()) {
        cookie.domain = host;
    } else {
        // A reply may set cookies only for its own host or a domain above it, and never for a bare top-level
        // name such as "com".
        if (!domainMatches(host, attributes.domain))
            return std::nullopt;
        if (!attributes.domain.contains(u'.') && attributes.domain != host)
            return std::nullopt;
        cookie.domain = QLatin1Char('.') + attributes.domain;
    }
    cookie.path = attributes.path.isEmpty() ? defaultPath(url) : attributes.path;
    if (attributes.maxAge)
        cookie.expiresDate = *attributes.maxAge <= 0 ? QDateTime::fromSecsSinceEpoch(0, Qt::UTC)
                                                     : now.addSecs(*attributes.maxAge);
    else
        cookie.expiresDate = attributes.expires;
    cookie.isSecure = attributes.secure;
    cookie.isHttpOnly = attributes.httpOnly;
    cookie.sameSite = attributes.sameSite;
    return cookie;
}

QList<Cookie> Cookie::cookiesWithResponseHeaderFields(const HttpHeaders& headers, const QUrl& url) {
    QList<Cookie> cookies;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const QByteArray& value : headers.values("Set-Cookie"))
        if (auto cookie = parseSetCookie(value, url, now))
            cookies.append(*cookie);
    return cookies;
}

void Cookie::storeCookies(QList<Cookie>& jar, const QList<Cookie>& incoming, const QDateTime& now) {
    for (const Cookie& cookie : incoming) {
        if (cookie.name.isEmpty() || cookie.domain.isEmpty() || cookie.path.isEmpty())
            continue;
        jar.removeIf([&](const Cookie& stored) { return stored.sameIdentity(cookie); });
        if (!cookie.isExpired(now))
            jar.append(cookie);
    }
}

QByteArray Cookie::requestHeaderValue(const QList<Cookie>& cookies) {
    if (cookies.isEmpty())
        return QByteArray();
    QByteArray text;
    for (const Cookie& cookie : cookies) {
        if (!text.isEmpty())
            text += "; ";
        text += cookie.name.toLatin1() + '=' + cookie.value.toLatin1();
    }
    return text;
}

} // namespace platform::net
