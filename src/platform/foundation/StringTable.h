#pragma once

#include <QString>

namespace platform {

// Looks up a user-facing text by its English text. The key is the fallback when no table has it.
// `table` names a string table ("Localizable" when empty), e.g. "MoveApplication".
QString localizedString(const QString& key, const QString& table = QString());

} // namespace platform

// Shorthand used throughout the program for user-facing texts.
inline QString tr_(const char* key) {
    return platform::localizedString(QString::fromUtf8(key));
}
