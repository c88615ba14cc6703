#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Writes data to path so that the file holds either its old contents or all of the new ones, never
// a part: a temporary file in the same folder, flushed to disk, then renamed over the target.
bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error = nullptr);

// The first of "<folder>/<base><ext>", "<folder>/<base>-1<ext>", "<folder>/<base>-2<ext>", ... that does
// not exist yet. ext includes its dot, or is empty.
QString firstFreePath(const QString& folder, const QString& base, const QString& ext);

// Moves a file or folder. Across file systems it copies and then deletes the source; if any step
// fails, the source is left in place, a partial target is removed, and false is returned with a message.
bool moveItem(const QString& from, const QString& to, QString* error = nullptr);

// Turns a user's title into one path component: no "/", no NUL, never ".", ".." or a leading ".".
// An empty result becomes `fallback`.
QString sanitizedFileName(const QString& title, const QString& fallback);

} // namespace platform
