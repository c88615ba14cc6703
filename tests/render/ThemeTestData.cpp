#include "render/ThemeTestData.h"

#include <QColor>

namespace theme_test {
namespace {

struct Row {
    const char* name;
    const char* description;
    const char* icon;
    float maxPanX, maxPanY, maxZoom, minZoom;
    int backgroundID;
    bool needShadow;
    int shadowOffset;
    bool needFrame;
    int pad;
};

// The table of built-in themes, row n - 1 for builder n.
const Row kRows[14] = {
    {"Colorful Blur", "Theme with blur background, no pan effect and zoom in/out", "theme_001.png", 0, 0,
     1.1f, 0.8f, 0, false, 10, false, 30},
    {"Grayscale", "Theme with grayscale background and without zoom effect", "theme_002.png", 0.2f, 0.1f,
     1.0f, 1.0f, 1, false, 10, false, 30},
    {"Static", "Theme with full image, no pan & zoom.", "theme_003.png", 0, 0, 1.0f, 1.0f, 2, false, 10,
     false, 30},
    {"Dynamic", "Theme with wide range pan & zoom.", "theme_004.png", 0.1f, 0.1f, 1.5f, 0.8f, 4, false, 10,
     false, 30},
    {"Horizontal Move", "Image moving  left / right", "theme_005.png", 0.4f, 0, 0.8f, 0.8f, 3, true, 10, true,
     30},
    {"vertical Move", "Image moving  up / down", "theme_006.png", 0, 0.4f, 0.8f, 0.8f, 5, true, 10, true, 30},
    {"Classic", "Full screen image with pan and zoom effect", "theme_007.png", 0, 0, 1.25f, 1.1f, 2, false,
     10, false, 30},
    {"White Border with Blur Background",
     "Photo with white border and blur background, no pan effect and zoom in/out", "theme_blur_frame.png", 0,
     0, 0.95f, 0.75f, 0, false, 10, true, 30},
    {"White Border with Gray Background", "Photo with white border,shadow and gray background, zoom in/out",
     "theme_gray_frame.png", 0, 0, 0.95f, 0.8f, 1, true, 8, true, 30},
    {"Static Frame", "Full image with white border, no pan & zoom.", "theme-static-frame.png", 0, 0, 1.0f,
     1.0f, 2, false, 10, true, 25},
    {"Grayscale Frame", "Grayscale image with blur background, no pan effect and zoom in/out",
     "theme_grayphoto_frame.png", 0, 0, 0.9f, 0.8f, 0, false, 10, true, 30},
    {"Wood Frame", "Full image with wood frame, no pan & zoom.", "wood017.gif", 0, 0, 1.0f, 1.0f, 2, false,
     10, true, 65},
    {"Paper Frame", "Full image with paper frame, no pan & zoom.", "paper005.gif", 0, 0, 1.0f, 1.0f, 2, false,
     10, true, 70},
    {"Cloth Frame", "Full image with cloth frame, no pan & zoom.", "cloth011.jpg", 0, 0, 1.0f, 1.0f, 2, false,
     10, true, 60},
};

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

QVariantMap builtInTheme(int n) {
    const Row& row = kRows[n - 1];
    const int themeID = n - 1;
    QVariantMap frame = photoFrame(row.needFrame, row.pad);
    if (themeID == 7) {
        frame.insert("RoundConner", true);
        frame.insert("RoundConnerSize", 20);
    }
    if (themeID >= 11) {
        frame.insert("PatternImage", true);
        frame.insert("PatternName", QString::fromLatin1(row.icon));
    }
    QVariantMap theme{{"ThemeID", themeID},
                      {"ThemeName", QString::fromUtf8(row.name)},
                      {"ThemeDescription", QString::fromUtf8(row.description)},
                      {"ThemeIcon", QString::fromLatin1(row.icon)},
                      {"maxPanX", row.maxPanX},
                      {"maxPanY", row.maxPanY},
                      {"maxZoom", row.maxZoom},
                      {"minZoom", row.minZoom},
                      {"backgroundID", row.backgroundID},
                      {"PhotoShadow", photoShadow(row.needShadow, row.shadowOffset)},
                      {"PhotoFrame", frame}};
    if (themeID == 10)
        theme.insert("PhotoFilter", "Grayscale");
    return theme;
}

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
