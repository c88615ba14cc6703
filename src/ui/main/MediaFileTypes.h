#pragma once

#include <QString>
#include <QStringList>

// The file extensions (lower case, without the dot) the imports accept, by kind. RAW formats are listed
// whether or not the picture reader decodes them: one it cannot read fails the import and is reported.
namespace media_file_types {

const QStringList& photoExtensions();
const QStringList& videoExtensions();
const QStringList& musicExtensions();
// Exact matches on an extension the caller has already lower-cased.
bool isPhotoFile(const QString& extension);
bool isVideoFile(const QString& extension);
bool isMusicFile(const QString& extension);
// "*.jpg *.JPG ..." for a file dialog's name filter.
QString nameFilterPatterns(const QStringList& extensions);

} // namespace media_file_types
