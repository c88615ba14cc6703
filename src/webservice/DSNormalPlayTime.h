#pragma once

#include <QString>
#include <QtGlobal>

// A point in a media stream: an offset from its start in milliseconds, or the live point ("now").
class DSNormalPlayTime {
public:
    static DSNormalPlayTime normalPlayTimeWithString(const QString& text);

    // -1 while the value is now.
    qint64 timeOffsetInMilliseconds() const { return isNow_ ? -1 : ms_; }
    // -1 makes the value now.
    void setTimeOffsetInMilliseconds(qint64 ms) {
        ms_ = ms;
        isNow_ = ms == -1;
    }
    bool isNow() const { return isNow_; }
    void setIsNow(bool isNow) { isNow_ = isNow; }

    // "now", or hours, minutes and seconds ("1:02:03.5"), minutes and seconds, or seconds, each part a
    // 32-bit number. Text that begins with none reads as 0; a part beyond 32 bits ends the reading.
    void setFromString(const QString& text);
    // "now", or "H:MM:SS" with ".mmm" when there are milliseconds.
    QString HHMMSSString() const;
    // "now", or whole seconds with ".mmm" when there are milliseconds.
    QString secondsString() const;

    bool operator==(const DSNormalPlayTime& other) const;
    QString description() const;

private:
    qint64 ms_ = 0;
    bool isNow_ = false;
};
