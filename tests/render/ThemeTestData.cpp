#include "render/ThemeTestData.h"

#include <QColor>

namespace theme_test {
namespace {

QVariantMap photoFrame(bool needFrame, int pad) {
    return QVariantMap{{"needFrame", needFrame},          {"colorFrame", true},
                       {"FrameColor", QColor(Qt::white)}, {"leftPaddingSize", pad},
                       {"rightPaddingSize", pad},         {"topPaddingSize", pad},
                       {"bottomPaddingSize", pad}};
}

QVariantMap photoShadow(bool needShadow, int offset) {
    return QVariantMap{
        {"needShadow", needShadow}, {"ShadowOffset", offset}, {"ShadowColor", QColor(Qt::black)}};
}

void setEntry(QVariantMap& theme, const char* dictionary, const QString& key, const QVariant& value) {
    QVariantMap inner = theme.value(dictionary).toMap();
    inner.insert(key, value);
    theme.insert(dictionary, inner);
}

} // namespace

QVariantMap frameTheme(bool needFrame, int padding, bool needShadow, int shadowOffset) {
    return QVariantMap{{"PhotoShadow", photoShadow(needShadow, shadowOffset)},
                       {"PhotoFrame", photoFrame(needFrame, padding)}};
}

void setFrameEntry(QVariantMap& theme, const QString& key, const QVariant& value) {
    setEntry(theme, "PhotoFrame", key, value);
}

void setShadowEntry(QVariantMap& theme, const QString& key, const QVariant& value) {
    setEntry(theme, "PhotoShadow", key, value);
}

} // namespace theme_test
