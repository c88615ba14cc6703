#pragma once

// Constants of the keyed-archive layout shared by the archiver and the unarchiver.

#include <QByteArray>
#include <QString>

namespace platform::keyed {

inline constexpr const char* kArchiverName = "NSKeyedArchiver";
inline constexpr quint64 kVersion = 100000;
// NSDate counts seconds from 2001-01-01 00:00:00 UTC.
inline constexpr qint64 kReferenceDateMSecs = Q_INT64_C(978307200000);

// User keys that begin with '$' get one more, so that they never clash with "$class".
inline QByteArray storedKey(const QString& key) {
    QByteArray bytes = key.toUtf8();
    if (bytes.startsWith('$'))
        bytes.prepend('$');
    return bytes;
}

} // namespace platform::keyed
