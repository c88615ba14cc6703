#include "webservice/DSNormalPlayTime.h"

#include "webservice/BaseClasses/DSScanner.h"

#include <limits>

namespace {

// A 32-bit number, or none: beyond 32 bits a number is no number.
bool scanPart(DSScanner& scanner, qint64* value) {
    const qsizetype start = scanner.location();
    if (scanner.scanLongLong(value) && *value >= std::numeric_limits<qint32>::min() &&
        *value <= std::numeric_limits<qint32>::max())
        return true;
    scanner.setLocation(start);
    return false;
}

} // namespace

DSNormalPlayTime DSNormalPlayTime::normalPlayTimeWithString(const QString& text) {
    DSNormalPlayTime time;
    time.setFromString(text);
    return time;
}

void DSNormalPlayTime::setFromString(const QString& text) {
    if (text.trimmed().compare(QLatin1String("now"), Qt::CaseInsensitive) == 0) {
        ms_ = -1;
        isNow_ = true;
        return;
    }
    isNow_ = false;
    ms_ = 0;
    DSScanner scanner(text);
    qint64 seconds = 0;
    if (!scanPart(scanner, &seconds))
        return;
    for (int i = 0; i < 2; ++i) {
        qint64 part = 0;
        if (scanner.scanCharactersFromSet(u":") && scanPart(scanner, &part))
            seconds = seconds * 60 + part;
    }
    qint64 milliseconds = 0;
    QString digits;
    if (scanner.scanCharactersFromSet(u".") && scanner.scanCharactersFromSet(u"0123456789", &digits))
        milliseconds = digits.left(3).leftJustified(3, QLatin1Char('0')).toLongLong();
    ms_ = seconds * 1000 + milliseconds;
}

QString DSNormalPlayTime::HHMMSSString() const {
    if (isNow_)
        return QStringLiteral("now");
    const qint64 hours = ms_ / 3600000;
    const qint64 minutes = (ms_ / 60000) % 60;
    const qint64 seconds = (ms_ / 1000) % 60;
    const qint64 fraction = ms_ % 1000;
    const QString text = QString::asprintf("%lld:%02lld:%02lld", hours, minutes, seconds);
    return fraction > 0 ? text + QString::asprintf(".%03lld", fraction) : text;
}

QString DSNormalPlayTime::secondsString() const {
    if (isNow_)
        return QStringLiteral("now");
    const auto seconds = qint32(ms_ / 1000);
    const auto fraction = qint32(ms_ - qint64(seconds) * 1000);
    return fraction == 0 ? QString::number(seconds) : QString::asprintf("%d.%03d", seconds, fraction);
}

bool DSNormalPlayTime::operator==(const DSNormalPlayTime& other) const {
    if (isNow_)
        return other.isNow_;
    return timeOffsetInMilliseconds() == other.timeOffsetInMilliseconds();
}

QString DSNormalPlayTime::description() const {
    return QStringLiteral("DSNormalPlayTime %1: {%2}")
        .arg(QString::asprintf("%p", static_cast<const void*>(this)), HHMMSSString());
}
