#include "webservice/DSDateTime.h"

#include "webservice/BaseClasses/DSScanner.h"

#include <algorithm>
#include <cmath>

namespace {

qint64 orZero(qint64 field) {
    return field == DSDateTime::kUndefined ? 0 : field;
}

bool isDefined(qint64 field) {
    return field != DSDateTime::kUndefined;
}

// The steps of the text in order; the first that fails ends the reading.
struct Scanned {
    std::optional<int> year, month, day, hour, minute;
    float seconds = -1.0f;
    QString zoneSign;
    int zoneHours = 0;
    int zoneMinutes = 0;
};

bool scanField(DSScanner& scanner, std::optional<int>& field) {
    int value = 0;
    if (!scanner.scanInt(&value))
        return false;
    field = value;
    return true;
}

Scanned scan(const QString& text) {
    Scanned s;
    DSScanner scanner(text);
    const auto separator = [&](QStringView set) { return scanner.scanCharactersFromSet(set); };
    if (!scanField(scanner, s.year) || !separator(u"-") || !scanField(scanner, s.month) || !separator(u"-") ||
        !scanField(scanner, s.day))
        return s;
    // A blank alone between date and time is passed over as white space before the "T" is looked for.
    const bool blank = scanner.skip();
    if ((!separator(u"Tt ") && !blank) || !scanField(scanner, s.hour) || !separator(u":") ||
        !scanField(scanner, s.minute) || !separator(u":") || !scanner.scanFloat(&s.seconds))
        return s;
    if (!scanner.scanCharactersFromSet(u"+-zZ", &s.zoneSign) || !scanner.scanInt(&s.zoneHours) ||
        !separator(u":"))
        return s;
    scanner.scanInt(&s.zoneMinutes);
    return s;
}

} // namespace

DSDateTime DSDateTime::dateTimeWithRFC3339String(const QString& text) {
    DSDateTime dateTime;
    dateTime.setFromRFC3339String(text);
    return dateTime;
}

void DSDateTime::setFromRFC3339String(const QString& text) {
    const Scanned s = scan(text);
    components_ = Components();
    const auto store = [](const std::optional<int>& field) { return field ? qint64(*field) : kUndefined; };
    components_.year = store(s.year);
    components_.month = store(s.month);
    components_.day = store(s.day);
    components_.hour = store(s.hour);
    components_.minute = store(s.minute);
    // No seconds read leaves the float at -1; a whole part no field can hold counts as none read.
    const bool secondsRead = s.seconds != -1.0f && std::isfinite(s.seconds) && std::fabs(s.seconds) < 1e15f;
    components_.second = secondsRead ? qint64(s.seconds) : kUndefined;
    timeZone_.reset();
    isUniversalTime_ = false;
    const qint64 magnitude = qint64(s.zoneHours) * 3600 + qint64(s.zoneMinutes) * 60;
    if (s.zoneSign.isEmpty() || s.zoneSign.compare(QLatin1String("Z"), Qt::CaseInsensitive) == 0) {
        isUniversalTime_ = true;
        offsetSeconds_ = 0;
    } else if (s.zoneSign == QLatin1String("-")) {
        offsetSeconds_ = magnitude == 0 ? kUndefined : -magnitude;
    } else {
        offsetSeconds_ = magnitude;
    }
}

DSDateTime DSDateTime::dateTimeWithDate(const QDateTime& date, const std::optional<QTimeZone>& zone) {
    DSDateTime dateTime;
    const QDateTime local = date.toTimeZone(zone ? *zone : QTimeZone::systemTimeZone());
    Components& c = dateTime.components_;
    c.era = local.date().year() > 0 ? 1 : 0;
    c.year = local.date().year();
    c.month = local.date().month();
    c.day = local.date().day();
    c.hour = local.time().hour();
    c.minute = local.time().minute();
    c.second = local.time().second();
    if (zone) {
        dateTime.offsetSeconds_ = zone->offsetFromUtc(date);
        dateTime.isUniversalTime_ = dateTime.offsetSeconds_ == 0 && *zone == QTimeZone::utc();
    }
    dateTime.timeZone_ = zone;
    return dateTime;
}

QString DSDateTime::RFC3339String() const {
    const Components& c = components_;
    if (!isDefined(c.year) || !isDefined(c.month) || !isDefined(c.day))
        return QStringLiteral("");
    const QString day = QString::asprintf("%04lld-%02lld-%02lld", c.year, c.month, c.day);
    if (!hasTime())
        return day;
    QString zone;
    if (isUniversalTime_) {
        zone = QStringLiteral("Z");
    } else if (!isDefined(offsetSeconds_)) {
        zone = QStringLiteral("-00:00");
    } else {
        const qint64 magnitude = offsetSeconds_ < 0 ? -offsetSeconds_ : offsetSeconds_;
        zone = QString::asprintf("%s%02lld:%02lld", offsetSeconds_ < 0 ? "-" : "+", (magnitude / 3600) % 24,
                                 (magnitude / 60) % 60);
    }
    return day + QString::asprintf("T%02lld:%02lld:%02lld", c.hour, c.minute, orZero(c.second)) + zone;
}

QTimeZone DSDateTime::zoneForDate() const {
    const std::optional<QTimeZone> zone = timeZone();
    return zone ? *zone : QTimeZone::systemTimeZone();
}

QDateTime DSDateTime::date() const {
    const Components& c = components_;
    const QDate day(int(orZero(c.year)), int(orZero(c.month)), int(orZero(c.day)));
    if (!hasTime())
        return QDateTime(day, QTime(12, 0), QTimeZone::utc());
    return QDateTime(day, QTime(int(c.hour), int(c.minute), int(orZero(c.second))), zoneForDate());
}

std::optional<QTimeZone> DSDateTime::timeZone() const {
    if (timeZone_)
        return timeZone_;
    if (isUniversalTime_)
        return QTimeZone::utc();
    if (isDefined(offsetSeconds_))
        return QTimeZone(int(std::clamp<qint64>(offsetSeconds_, -86400, 86400)));
    return std::nullopt;
}

void DSDateTime::setTimeZone(const std::optional<QTimeZone>& zone) {
    timeZone_ = zone;
    offsetSeconds_ = zone ? zone->offsetFromUtc(date()) : kUndefined;
}

void DSDateTime::setTimeZone(const std::optional<QTimeZone>& zone, qint64 offsetSeconds) {
    timeZone_ = zone;
    offsetSeconds_ = offsetSeconds;
}

void DSDateTime::setHasTime(bool wanted) {
    if (wanted == hasTime())
        return;
    const qint64 field = wanted ? 0 : kUndefined;
    components_.hour = components_.minute = components_.second = field;
    offsetSeconds_ = kUndefined;
    isUniversalTime_ = false;
    if (!wanted)
        timeZone_.reset();
}

bool DSDateTime::operator==(const DSDateTime& other) const {
    return offsetSeconds_ == other.offsetSeconds_ && isUniversalTime_ == other.isUniversalTime_ &&
           timeZone_ == other.timeZone_ && components_ == other.components_;
}

QString DSDateTime::description() const {
    return QStringLiteral("DSDateTime %1: {%2}")
        .arg(QString::asprintf("%p", static_cast<const void*>(this)), RFC3339String());
}
