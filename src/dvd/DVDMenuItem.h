#pragma once

#include "dvd/DVDProjectSettings.h"
#include "dvd/DVDStepError.h"
#include "platform/foundation/UniqueFd.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <mutex>
#include <vector>

class QPainter;
class DropShadow;

// One DVD-menu template of the "dvdmenu" list, and what it renders for a project: the menu's background
// frames, the three button-state pictures of the subpicture (reduced to four colours by pngquant) and the
// button rectangles in DVD pixels. Positions in a template are integers in a 960 x 540 frame, origin top
// left; pictures are resources in "DVDMenu/<Folder>". A template without some key or picture draws
// nothing for it, so the no-menu entry renders too.
//
// The build methods run on the caller's thread and wait for pngquant; the properties may be read from
// any thread.
class DVDMenuItem {
public:
    static constexpr int kMenuWidth = 960;
    static constexpr int kMenuHeight = 540;
    static constexpr int kDVDWidth = 720;

    enum State { Normal = 0, Highlighted = 1, Selected = 2 };

    explicit DVDMenuItem(const QVariantMap& menuDictionary);

    QVariantMap menuDictionary() const { return dictionary; }
    QString menuStyle() const { return style; }
    QString menuName() const { return name; }
    QString folder() const { return folderName; }
    QImage menuThumbnail() const { return thumbnail; }
    QString menuBackgroundImagePath() const { return getMaskImagePath(); }
    bool isNoMenu() const { return style == QLatin1String("nomenu"); }

    QList<QRect> stateButtonRectArray() const;
    QStringList imagesArray() const;

    // 8 frames for 8 slides or more, 5 for 5 to 7, else 3.
    static int menuFrameCount(qsizetype slideCount);

    // Frames into "<contents>/menu_bk_%d.png" from 1, the state pictures into the temporary folder with
    // their "-fs8" copies, then the button rectangles. Needs at least 3 slides: with fewer nothing is
    // drawn and the answer is false, as for any failed step.
    bool buildMenuImages(const DVDProjectSettings& project, DVDStepError* error = nullptr);
    // The first frame only, for the DVD-menu page; nothing without slides.
    bool buildMenuImagesForPreview(const DVDProjectSettings& project, DVDStepError* error = nullptr);

    // One 960 x 540 frame drawn from slide `frameIndex`, written as PNG to path.
    bool BuildImage(int frameIndex, const QString& path, const DVDProjectSettings& project,
                    DVDStepError* error = nullptr);
    QImage renderFrame(int frameIndex, const DVDProjectSettings& project) const;

    // The state picture (720 x 576 PAL, 720 x 480 NTSC) written and reduced to four colours. The
    // template's frame maps onto the DVD picture as the menu video does (letterboxed on a 4:3 disc).
    bool createStateImage(int state, const DVDProjectSettings& project, DVDStepError* error = nullptr);
    QImage renderStateImage(int state, bool pal, bool wide16_9 = true) const;
    // "spumux_normal.png", "spumux_highligh.png", "spumux_Selected.png" and their "-fs8" copies.
    static QString stateImagePath(const QString& temporaryFolder, int state);
    static QString reducedStateImagePath(const QString& temporaryFolder, int state);

    // Resource paths of the template's pictures; empty when missing.
    QString getStateImagePath(int state) const;
    QString getMaskImagePath() const;

    void createButtonRectArray(bool pal, bool wide16_9 = true);
    static QList<QRect> buttonRectsFor(const QVariantList& rects, bool pal, bool wide16_9 = true);

    // Runs "pngquant -f 4" on the PNG at path and checks for its "-fs8" file.
    static bool run_pngquant(const QString& path, DVDStepError* error = nullptr);
    // The same with the program at `pngquant`.
    static bool run_pngquant(const QString& path, const QString& pngquant, DVDStepError* error = nullptr);
    // The same for the PNG open at `picture` (made at path), which pngquant reads through that descriptor;
    // the "-fs8" file it made is kept open in *reduced when asked for.
    static bool run_pngquant(int picture, const QString& path, const QString& pngquant, DVDStepError* error,
                             platform::UniqueFd* reduced = nullptr);
    // The three "-fs8" pictures the last buildMenuImages made, each open anew (normal, highlighted,
    // selected): spumux is handed these files, never what another program put at their names since. Empty
    // before a build, or when the build failed.
    std::vector<platform::UniqueFd> reducedStatePictureFiles() const;
    // The frames of imagesArray(), each open anew, in the same order: the menu's slides are read from these.
    std::vector<platform::UniqueFd> menuFrameFiles() const;
    // The frames let go of once the menu's slides are made, and with them the state pictures when asked:
    // reducedStatePictureFiles() is empty from then on.
    void releaseFiles(bool statePicturesToo);
    // Runs once a state picture is written, right before pngquant reads it, with its path (tests put another
    // program's files at its name there).
    void setBeforeReducing(std::function<void(const QString& picture)> hook) {
        beforeReducing = std::move(hook);
    }

    // "#RRGGBB" or "RRGGBB"; black for anything shorter.
    static QColor colorFromHexRGB(const QString& text);
    // The whole text as one hexadecimal number 0xRRGGBB, opaque ("FF80" is 0x00FF80); a leading "#" or
    // "0x" is allowed. Invalid for anything else, or for a number past 0xFFFFFF, rather than a colour the
    // text does not name.
    static QColor colorWithHexColorString(const QString& text);
    static Qt::Alignment textAlignment(const QVariant& alignment);

private:
    QString resourcePath(const QString& pictureName) const;
    QImage picture(const QString& pictureName) const;
    QImage photoOfSlide(int frameIndex, const DVDProjectSettings& project) const;
    bool drawText(QPainter& painter, const QString& key, const QString& text, const DropShadow& shadow) const;
    static void drawWholeLines(QPainter& painter, const QRect& box, const QString& text, const QFont& font,
                               Qt::Alignment alignment);
    bool drawDVDTitle(QPainter& painter, const DVDProjectSettings& project, const DropShadow& shadow) const;
    bool drawDVDSubtitle(QPainter& painter, const DVDProjectSettings& project,
                         const DropShadow& shadow) const;
    void drawPlayButton(QPainter& painter, const DropShadow* shadow) const;
    bool buildFrames(int count, const DVDProjectSettings& project, DVDStepError* error);
    // A frame drawn under the template's overlay, read once for all the frames of a menu.
    QImage renderFrame(int frameIndex, const DVDProjectSettings& project, const QImage& overlay) const;
    static platform::UniqueFd writeFrameFile(const QImage& frame, const QString& path, DVDStepError* error);
    static bool prepareFolders(const DVDProjectSettings& project, QString* temporary, DVDStepError* error);

    QVariantMap dictionary;
    QString style, name, folderName;
    QImage thumbnail;
    std::function<void(const QString&)> beforeReducing;

    mutable std::mutex mutex; // guards the results below
    QList<QRect> buttonRects;
    QStringList frames;
    std::vector<platform::UniqueFd> frameFiles;    // the frames made, open since
    std::vector<platform::UniqueFd> reducedStates; // the "-fs8" pictures made, by state
};
