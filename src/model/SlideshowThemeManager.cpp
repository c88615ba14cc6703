#include "model/SlideshowThemeManager.h"

#include "model/SlideItem.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/StringTable.h"

#include <QColor>

namespace {

struct ThemeRow {
    const char* name;
    const char* description;
    const char* icon;
    float maxPanX, maxPanY, maxZoom, minZoom;
    int backgroundID;
    bool needShadow;
    int shadowOffset;
    bool needFrame;
    int padding;
};

// Row n - 1 is the theme of builder themeNo<n>.
const ThemeRow kThemes[14] = {
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

// The builders in list order; themeNo14 is never listed.
const int kListedBuilders[13] = {1, 2, 7, 8, 9, 10, 11, 12, 13, 3, 4, 5, 6};

QVariantMap photoFrame(const ThemeRow& row, int themeID) {
    QVariantMap frame{{"needFrame", row.needFrame},      {"colorFrame", true},
                      {"FrameColor", QColor(Qt::white)}, {"leftPaddingSize", row.padding},
                      {"rightPaddingSize", row.padding}, {"topPaddingSize", row.padding},
                      {"bottomPaddingSize", row.padding}};
    if (themeID == 7) {
        frame.insert("RoundConner", true);
        frame.insert("RoundConnerSize", 20);
    }
    if (themeID >= 11) {
        frame.insert("PatternImage", true);
        frame.insert("PatternName", QString::fromLatin1(row.icon));
    }
    return frame;
}

int themeIDOf(const QVariant& theme) {
    return theme.toMap().value("ThemeID").toInt();
}

} // namespace

QVariantMap SlideshowThemeManager::themeNo(int n) {
    if (n < 1 || n > 14)
        return {};
    const ThemeRow& row = kThemes[n - 1];
    const int themeID = n - 1;
    QVariantMap theme{
        {"ThemeID", themeID},
        {"ThemeName", platform::localizedString(QString::fromUtf8(row.name))},
        {"ThemeDescription", platform::localizedString(QString::fromUtf8(row.description))},
        {"ThemeIcon", QString::fromLatin1(row.icon)},
        {"maxPanX", row.maxPanX},
        {"maxPanY", row.maxPanY},
        {"maxZoom", row.maxZoom},
        {"minZoom", row.minZoom},
        {"backgroundID", row.backgroundID},
        {"PhotoShadow", QVariantMap{{"needShadow", row.needShadow},
                                    {"ShadowOffset", row.shadowOffset},
                                    {"ShadowColor", QColor(Qt::black)}}},
        {"PhotoFrame", photoFrame(row, themeID)},
    };
    if (themeID == 10)
        theme.insert("PhotoFilter", "Grayscale");
    return theme;
}

SlideshowThemeManager::SlideshowThemeManager() {
    AddDefaultThemes();
}

void SlideshowThemeManager::AddDefaultThemes() {
    std::lock_guard lock(mutex);
    for (int builder : kListedBuilders)
        themes.append(themeNo(builder));
    themeID = 0;
}

QVariantList SlideshowThemeManager::themeArray() const {
    std::lock_guard lock(mutex);
    return themes;
}

void SlideshowThemeManager::setThemeArray(const QVariantList& value) {
    std::lock_guard lock(mutex);
    themes = value;
}

std::optional<int> SlideshowThemeManager::currentThemeID() const {
    std::lock_guard lock(mutex);
    return themeID;
}

void SlideshowThemeManager::setCurrentThemeID(std::optional<int> value) {
    std::lock_guard lock(mutex);
    themeID = value;
}

int SlideshowThemeManager::clampedThemeID(int value) const {
    return (value < 0 || value >= int(themes.size())) ? 0 : value;
}

QVariantMap SlideshowThemeManager::currentThemeDict() const {
    std::lock_guard lock(mutex);
    const int wanted = clampedThemeID(themeID.value_or(0));
    for (const QVariant& theme : themes)
        if (themeIDOf(theme) == wanted)
            return theme.toMap();
    return {};
}

void SlideshowThemeManager::setSlideItemFromCurrentTheme(SlideItem& slide) const {
    if (!currentThemeID() || slide.bPanZoomCustomized())
        return;
    const QVariantMap theme = currentThemeDict();
    const float px = theme.value("maxPanX").toFloat(), py = theme.value("maxPanY").toFloat();
    const float zmax = theme.value("maxZoom").toFloat(), zmin = theme.value("minZoom").toFloat();
    auto& random = platform::RandomSource::shared();
    auto pan = [&](bool horizontal, unsigned k) {
        const QPointF far = horizontal ? QPointF((k == 1 || k == 3) ? -px : px, 0)
                                       : QPointF(0, (k == 1 || k == 3) ? -py : py);
        slide.setPanStartPoint(k < 2 ? far : QPointF(0, 0));
        slide.setPanEndPoint(k < 2 ? QPointF(0, 0) : far);
    };
    slide.setPanStartPoint(QPointF(0, 0));
    slide.setPanEndPoint(QPointF(0, 0));
    if (px > 0 && py == 0) {
        pan(true, random.next(4));
    } else if (px == 0 && py > 0) {
        pan(false, random.next(4));
    } else {
        const unsigned k = random.next(8);
        pan(k < 4, k < 4 ? k : k - 4);
    }
    const bool zoomIn = random.next(2) == 1;
    slide.setZoomStart(zoomIn ? zmin : zmax);
    slide.setZoomEnd(zoomIn ? zmax : zmin);
    if (slide.itemType() == SlideItem::kItemTypeVideo) {
        slide.setZoomStart(1.0);
        slide.setZoomEnd(1.0);
    }
}

void SlideshowThemeManager::setSlideItemForDVDMenu(SlideItem& slide) const {
    slide.setPanStartPoint(QPointF(0, 0));
    slide.setPanEndPoint(QPointF(0, 0));
    slide.setZoomStart(1.0);
    slide.setZoomEnd(1.0);
    slide.setTransitionInfo(
        {{"name", "Alpha Blend"}, {"image_name", "alpha_blend.png"}, {"index", 1}, {"category", "Blend"}});
}

bool SlideshowThemeManager::bNeedApplyTheme(const QVariantMap& theme) {
    return theme.value("PhotoShadow").toMap().value("needShadow").toBool() ||
           theme.value("PhotoFrame").toMap().value("needFrame").toBool();
}

void SlideshowThemeManager::encodeWithCoder(platform::KeyedArchiver& coder) const {
    std::lock_guard lock(mutex);
    coder.encodeInt32(clampedThemeID(themeID.value_or(0)), "nThemeID");
}

std::shared_ptr<SlideshowThemeManager>
SlideshowThemeManager::initWithCoder(platform::KeyedUnarchiver& coder) {
    auto manager = std::make_shared<SlideshowThemeManager>();
    const int stored = coder.decodeInt32("nThemeID");
    std::lock_guard lock(manager->mutex);
    manager->themeID = manager->clampedThemeID(stored);
    return manager;
}
