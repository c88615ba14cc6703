#pragma once

// File chores of the DVD steps, all inside the private temporary folder.

#include "platform/foundation/UniqueFd.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

// Text made safe for an XML attribute value or element content.
QString xmlEscaped(const QString& text);

// Replaces whatever file or link is at path by a new file of ours (mode 0600) holding data. The file is
// made exclusively, so a link planted in its place is removed, never followed.
bool writeNewFile(const QString& path, const QByteArray& data, QString* error = nullptr);
// The same, the new file kept open, for reading too: a tool handed platform::descriptorPath() of it, and this
// program through the descriptor itself (also without /proc), read this very file, whatever later takes its
// name. An invalid descriptor with a message in *error.
platform::UniqueFd writeNewOwnFile(const QString& path, const QByteArray& data, QString* error = nullptr);
// The size of the file open at fd; 0 when it cannot be told.
qint64 sizeOfOpenFile(int fd);

// Removes a file, a link (not what it points to) or a whole folder; true when nothing is left at path.
bool removeItem(const QString& path);

// A regular file of at least one byte.
bool isNonEmptyFile(const QString& path);

// "<folder>/<name>".
QString pathIn(const QString& folder, const QString& name);

// A folder as named to a tool that follows no link inside it: with a trailing "/", so that the folder itself
// is reached also where its name is a link, as a descriptor's name is. Empty stays empty.
QString folderArgument(const QString& folder);

// Replaces every placeholder of the pairs (placeholder, value) in one pass, so that a value holding the
// text of a later placeholder is kept as it is.
QString substitutePlaceholders(const QString& text, const QList<std::pair<QString, QString>>& replacements);

// The UTF-8 text of a resource of ours ("spumux_template", "xml"); false with a message when missing.
bool readTextResource(const QString& name, const QString& type, QString* text, QString* error);
