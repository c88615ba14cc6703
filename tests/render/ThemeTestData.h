#pragma once

#include <QVariantMap>

namespace theme_test {

// A theme with just the entries the filter reads: a white frame with equal paddings and optional shadow.
QVariantMap frameTheme(bool needFrame, int padding, bool needShadow = false, int shadowOffset = 10);

// Replaces one entry of the theme's "PhotoFrame" or "PhotoShadow" dictionary.
void setFrameEntry(QVariantMap& theme, const QString& key, const QVariant& value);
void setShadowEntry(QVariantMap& theme, const QString& key, const QVariant& value);

} // namespace theme_test
