#include "webservice/DSMediaElements.h"

DSClassInfo DSMediaContent::classInfo() {
    DSClassInfo info = DSElementInfo("DSMediaContent", kDSNamespaceMedia, kDSNamespaceMediaPrefix, "content");
    info.attributes = {
        QStringLiteral("url"),      QStringLiteral("fileSize"),  QStringLiteral("type"),
        QStringLiteral("medium"),   QStringLiteral("isDefault"), QStringLiteral("expression"),
        QStringLiteral("bitrate"),  QStringLiteral("framerate"), QStringLiteral("samplingrate"),
        QStringLiteral("channels"), QStringLiteral("duration"),  QStringLiteral("height"),
        QStringLiteral("width"),    QStringLiteral("lang")};
    return info;
}

std::optional<DSNormalPlayTime> DSMediaThumbnail::time() const {
    const QString text = stringValueForAttribute(QStringLiteral("time"));
    if (text.isEmpty())
        return std::nullopt;
    return DSNormalPlayTime::normalPlayTimeWithString(text);
}
