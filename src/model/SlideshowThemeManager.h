#pragma once

#include "platform/foundation/KeyedArchive.h"

#include <QVariantList>
#include <QVariantMap>

#include <memory>
#include <mutex>
#include <optional>

class SlideItem;

// The built-in themes of a project (dictionaries with the exact keys "ThemeID", "ThemeName",
// "maxPanX", "PhotoFrame", ...) and the current choice, the only theme datum a project stores.
class SlideshowThemeManager : public platform::Archivable {
public:
    SlideshowThemeManager(); // the listed themes, theme 0 current

    static std::shared_ptr<SlideshowThemeManager> initWithCoder(platform::KeyedUnarchiver& coder);
    QStringList archiveClassNames() const override { return {QStringLiteral("SlideshowThemeManager")}; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;

    void AddDefaultThemes();
    // themeNo1() .. themeNo14(): the builder with number n makes the theme whose "ThemeID" is n - 1.
    static QVariantMap themeNo(int n);

    QVariantList themeArray() const;
    void setThemeArray(const QVariantList& themes);
    std::optional<int> currentThemeID() const;
    void setCurrentThemeID(std::optional<int> themeID);
    std::optional<int> getCurrentThemeID() const { return currentThemeID(); }
    // The theme whose "ThemeID" is the current number (0 when that is out of range); empty when none.
    QVariantMap currentThemeDict() const;

    // Deals a slide its pan and zoom from the current theme (not when its pan-zoom is customised).
    void setSlideItemFromCurrentTheme(SlideItem& slide) const;
    void setSlideItemForDVDMenu(SlideItem& slide) const;
    static bool bNeedApplyTheme(const QVariantMap& theme);
    // Whether a theme's "backgroundID" asks for the moving backdrop made of the slides' own backdrop
    // pictures, rather than plain black (2) or a fixed picture (3 to 5).
    static bool isMovingBackdrop(int backgroundID) { return backgroundID < 2 || backgroundID > 5; }

private:
    // The current number as a list lookup uses it: out of range of the list's length reads as 0.
    int clampedThemeID(int themeID) const;

    mutable std::mutex mutex;
    QVariantList themes;
    std::optional<int> themeID;
};
