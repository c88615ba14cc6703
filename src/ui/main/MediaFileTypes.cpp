#include "ui/main/MediaFileTypes.h"

namespace media_file_types {

const QStringList& photoExtensions() {
    static const QStringList list = {"jpg", "jpeg", "png", "tif", "tiff", "webp", "bmp",
                                     "nef", "gif",  "cr2", "arw", "raf",  "srw"};
    return list;
}

const QStringList& videoExtensions() {
    static const QStringList list = {"mov", "mp4"};
    return list;
}

const QStringList& musicExtensions() {
    static const QStringList list = {"mp3", "wav", "m4a", "aac", "caf", "mp2", "aiff", "aif", "aifc"};
    return list;
}

bool isPhotoFile(const QString& extension) {
    return photoExtensions().contains(extension);
}

bool isVideoFile(const QString& extension) {
    return videoExtensions().contains(extension);
}

bool isMusicFile(const QString& extension) {
    return musicExtensions().contains(extension);
}

QString nameFilterPatterns(const QStringList& extensions) {
    QStringList patterns;
    for (const QString& extension : extensions)
        patterns << "*." + extension << "*." + extension.toUpper();
    return patterns.join(' ');
}

} // namespace media_file_types
