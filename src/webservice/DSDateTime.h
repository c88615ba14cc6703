#pragma once

#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <limits>
#include <optional>

// An RFC 3339 date-time as the service writes it: calendar fields, an offset from UTC (or none known), a
// universal-time flag and, when a caller gave one, a zone. A value has a time when its hour and minute are
// known. Written back, a value prints what it read: an unknown offset as "-00:00", universal time as "Z".
// Fields never known print as zero in the time and make the whole text empty in the date.
class DSDateTime {
public:
    static constexpr qint64 kUndefined = std::numeric_limits<qint64>::max();
    struct Components {
        qint64 era = kUndefined;
        qint64 year = kUndefined;
        qint64 month = kUndefined;
        qint64 day = kUndefined;
        qint64 hour = kUndefined;
        qint64 minute = kUndefined;
        qint64 second = kUndefined;
        qint64 week = kUndefined;
        qint64 weekday = kUndefined;
        qint64 weekdayOrdinal = kUndefined;
        bool operator==(const Components&) const = default;
    };

    DSDateTime() = default;
    // Reads as much of the text as parses; the fields after the first failing step stay unknown.
    static DSDateTime dateTimeWithRFC3339String(const QString& text);
    // The fields of the instant in the zone, or in the system's zone when none is given.
    static DSDateTime dateTimeWithDate(const QDateTime& date, const std::optional<QTimeZone>& zone);

    QString RFC3339String() const;
    QString stringValue() const { return RFC3339String(); }
    QDateTime date() const;

    std::optional<QTimeZone> timeZone() const;
    // The offset becomes the zone's at this value's own instant (unknown for none).
    void setTimeZone(const std::optional<QTimeZone>& zone);
    void setTimeZone(const std::optional<QTimeZone>& zone, qint64 offsetSeconds);

    bool hasTime() const { return components_.hour != kUndefined && components_.minute != kUndefined; }
    void setHasTime(bool hasTime);

    qint64 offsetSeconds() const { return offsetSeconds_; }
    void setOffsetSeconds(qint64 offset) { offsetSeconds_ = offset; }
    bool isUniversalTime() const { return isUniversalTime_; }
    void setIsUniversalTime(bool universal) { isUniversalTime_ = universal; }
    const Components& dateComponents() const { return components_; }
    void setDateComponents(const Components& components) { components_ = components; }

    bool operator==(const DSDateTime& other) const;
    QString description() const;

private:
    void setFromRFC3339String(const QString& text);
    QTimeZone zoneForDate() const;

    Components components_;
    qint64 offsetSeconds_ = kUndefined;
    bool isUniversalTime_ = false;
    std::optional<QTimeZone> timeZone_;
};
