#pragma once

#include <QRect>
#include <QString>
#include <QStringList>

class SlideshowProject;
class SlideshowProjectManager;

// What the DVD steps need of the open project and its DVD-menu settings, gathered by the caller so that
// each step can run (and be tested) without the project singletons.
struct DVDProjectSettings {
    bool bTVSystemPAL = false;        // PAL (720 x 576) rather than NTSC (720 x 480)
    bool bDVDVideoAspect16_9 = false; // 16:9 rather than 4:3
    bool bUseDVDMenu = true;          // author a menu with a play button
    QString dvdTitle;                 // drawn into the menu when set
    QString dvdSubtitle;
    QStringList slidePicturePaths;     // the picture file of each slide, in slide order
    double slideshowTotalDuration = 0; // seconds; places the chapters
    QString contentsFolder;            // where the menu frames "menu_bk_%d.png" go (the project's "Contents")
    QString temporaryFolder; // private folder of the fixed temporary names; empty: the program's own
    // Private folder of the large ones (the disc folder, the muxed menu); empty: temporaryFolder when that
    // is set, else the program's own on disk.
    QString largeTemporaryFolder;

    // The settings of the open project and its DVD-menu settings; the temporary folder is the program's.
    static DVDProjectSettings fromProject(const SlideshowProject& project,
                                          const SlideshowProjectManager& manager);

    // The private temporary folder to use: temporaryFolder, else the program's; empty when there is none.
    QString resolvedTemporaryFolder() const;
    QString resolvedLargeTemporaryFolder() const;
    QString videoFormat() const { return bTVSystemPAL ? QStringLiteral("PAL") : QStringLiteral("NTSC"); }
    int dvdPictureHeight() const { return bTVSystemPAL ? 576 : 480; }
    // Where the 16:9 frames of the show and the menu lie in the 720-wide DVD picture: all of it on a 16:9
    // disc; on a 4:3 disc a centred band three quarters high, so that pictures keep their shape.
    static QRect frameAreaInDVDPicture(bool pal, bool wide16_9);
};
