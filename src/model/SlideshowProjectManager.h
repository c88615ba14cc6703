#pragma once

#include "model/DVDMenuTemplate.h"
#include "model/MusicItem.h"
#include "model/SlideItem.h"
#include "model/SlideshowProjectManagerItem.h"
#include "platform/foundation/Guarded.h"
#include "platform/foundation/KeyedArchive.h"

#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class MenuAudioMixer;

// The second singleton beside the open project: the project's DVD-menu settings (menu on or off,
// template, title, subtitle, menu slides and songs, the menu's audio mix), the menu templates, the
// largest picture the photo import keeps, and the entries that record past encodings. Stored as
// "SlideshowProjectManager.dat" in the open project's folder and replaced whenever a project is
// opened or made. The menu's slides, songs, fades and template are read by the DVD encoders' threads.
class SlideshowProjectManager : public platform::Archivable {
public:
    static constexpr int kProjectVersion = 120;

    SlideshowProjectManager();

    static std::shared_ptr<SlideshowProjectManager> defaultSlideshowProjectManager();
    static void creatNewDefaultSlideshowProjectManager();
    static QString shortFileName() { return QStringLiteral("SlideshowProjectManager.dat"); }
    // "<open project's folder>/SlideshowProjectManager.dat"; empty when the open project has none.
    static QString strSlideshowProjectManagerFileFullPath();

    // Archives the singleton atomically. False, with a message, when it could not be written.
    bool saveToFile(QString* error = nullptr);
    bool saveToFile(const QString& path, QString* error = nullptr);
    // Makes the archive at path the singleton. A missing file gives a manager with the defaults
    // (true); an unreadable one, or a link leading out of its folder, gives the defaults too, but answers
    // false with a message.
    bool loadFromFile(QString* error = nullptr);
    bool loadFromFile(const QString& path, QString* error = nullptr);

    static std::shared_ptr<SlideshowProjectManager> initWithCoder(platform::KeyedUnarchiver& coder);
    QStringList archiveClassNames() const override { return {QStringLiteral("SlideshowProjectManager")}; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;

    // ---- class-level settings, shared with SlideshowProject
    static QSizeF sizeVideoOutput();
    static void setSizeVideoOutput(const QSizeF& size);
    static unsigned long ulFrameRate();
    static void setULFrameRate(unsigned long rate);
    static int nMonitorIndex();
    static void setNMonitorIndex(int index);
    static QStringList monitorDesc();
    static QString homeDirectory();
    static QSizeF screenSize() { return QSizeF(1024, 768); }
    static QRectF screenRect() { return QRectF(QPointF(0, 0), screenSize()); }
    static bool rectSameCompare(const QRectF& a, const QRectF& b);

    // ---- DVD menu (SlideshowProjectManagerDVDMenu.cpp)
    // Loads the templates of the "dvdmenu" resource and makes the one at nCurrentDVDMenuSelected the
    // current one (none when that index is out of range).
    void loadDVDMenuTemplate();
    // Fade-in, every menu slide's picture time, every transition but the last, fade-out.
    double dvdMenuSlideTotalDuration() const;
    // The song dictionary of a song file, copied into the open project's "Contents" under a fresh
    // name. Empty, with a message in *error, when there is no open project or the copy failed.
    static QVariantMap getMusicInfoDict(const QString& path, QString* error = nullptr);
    // The default menu song: the resource "default" of type "mp3", played from the resource.
    static MusicItemRef defaultMenuSong();

    // ---- encoding records
    // Records an encoding of that size and format now in the current entry; false without one.
    bool recordEncoding(const QSizeF& size, const QString& format);
    // Whether a movie of that size must be encoded again for sharing.
    bool doesNeedEncodingForShareMovie(const QSizeF& size) const;
    QString strShareType() const { return dictShareMovieParam().value("ShareType").toString(); }
    int projectCount() const;
    void syncCurrItemAndIndex();

    // ---- entries in the Documents folder (SlideshowProjectManagerEntries.cpp)
    // An entry cannot reach beyond its own folder and its movies, nor these beyond the entry folders.
    static QString defaultProjectTitle();
    // A new entry with its folder ".SlideshowProject%05d" (or "...-1", "-2", ... while the name is taken)
    // made in the Documents folder, put in front of the others; titled defaultProjectTitle(), numbered from
    // the second on.
    SlideshowProjectManagerItemRef createNewItem();
    // A new entry, made the current one.
    SlideshowProjectManagerItemRef createNewProject();
    // Removes the entry at index with its folder and movies, then saves; false when out of range. A folder
    // holding a project stays, with that project's movies: received entries may name the user's own.
    bool deleteProject(int index);
    // Removes every entry whose folder holds no project archive, with its folder.
    void deleteEmptyProjectAndFolder();
    // Removes the entry folders in the Documents folder that no entry names and that hold no project
    // archive. Folders of other names, and those holding a project, are the user's and stay.
    static void deleteIsolationFolder();
    // Whether name is one that createNewItem gives an entry's folder.
    static bool isEntryFolderName(const QString& name);
    // With slides in the open project: saves it and the manager when forced or dirty. Without, and when
    // asked: removes the current entry with its folder (unless that holds a project); the next entry (else
    // the first) becomes current.
    static void syncSaveFile(bool force, bool deleteEmptyProjectFolder);
    // True unless "<Documents>/.slideshowProjectManager.dat" is a file.
    bool needDisplaySlideshowProjectManagerWindow() const;
    static QString defaultFileFullPath();
    static QString defaultFileFullPath_Ver230();

    // ---- fields
    QString strFileVersion() const;
    std::vector<SlideshowProjectManagerItemRef> slideshowProjectArray() const;
    void setSlideshowProjectArray(std::vector<SlideshowProjectManagerItemRef> entries);
    SlideshowProjectManagerItemRef currentSlideshowProjectManagerItem() const;
    void setCurrentSlideshowProjectManagerItem(SlideshowProjectManagerItemRef entry);
    int nNextProjectID() const { return nextProjectID; }
    int nCurrItemIndex() const { return currItemIndex; }
    int nMaxImageWidth() const { return maxImageWidth; }
    int nMaxImageHeight() const { return maxImageHeight; }
    bool bEnable1080p() const { return enable1080p; }
    bool bLandscape() const { return landscape; }
    int nScreenWidth() const { return screenWidth; }
    int nScreenHeight() const { return screenHeight; }
    QVariantMap dictShareMovieParam() const;
    void setDictShareMovieParam(const QVariantMap& parameters);

    int nCurrentDVDMenuSelected() const { return currentMenu; }
    void setNCurrentDVDMenuSelected(int index) { currentMenu = index; }
    bool bUseDVDMenu() const { return useMenu; }
    void setBUseDVDMenu(bool value) { useMenu = value; }
    float fltDVDMenuFadeIn() const { return fadeIn; }
    void setFltDVDMenuFadeIn(float seconds) { fadeIn = sanitizedSeconds(seconds); }
    float fltDVDMenuFadeOut() const { return fadeOut; }
    void setFltDVDMenuFadeOut(float seconds) { fadeOut = sanitizedSeconds(seconds); }
    QString dvdTitle() const;
    void setDvdTitle(const QString& value);
    QString dvdSubtitle() const;
    void setDvdSubtitle(const QString& value);
    QString dvdBackgroundMusicPath() const;
    void setDvdBackgroundMusicPath(const QString& value);
    std::vector<MusicItemRef> dvdMenuBackgroundMusicArray() const;
    void setDvdMenuBackgroundMusicArray(std::vector<MusicItemRef> songs);
    std::vector<SlideItemRef> dvdMenuSlideArray() const;
    void setDvdMenuSlideArray(std::vector<SlideItemRef> slides);
    std::shared_ptr<MenuAudioMixer> dvdMenuAudioMixer() const;
    void setDvdMenuAudioMixer(std::shared_ptr<MenuAudioMixer> mixer);
    // Empty until loadDVDMenuTemplate has run.
    std::vector<DVDMenuTemplateRef> dvdMenuTemplateArray() const;
    DVDMenuTemplateRef currentDVDMenuTemplate() const;
    void setCurrentDVDMenuTemplate(DVDMenuTemplateRef menu);

    // The menu song of a chosen or stored path: an earlier copy of that file in "Contents" when there is
    // one, so that choosing or loading it again does not copy the song again; else a new copy. Empty, with
    // a message in *error, when the copy failed.
    static QVariantMap menuSongDictionaryForStoredPath(const QString& path, QString* error = nullptr);
    // The menu song a stored path stands for, read from the project alone (whose "Contents" folder is
    // given): the path itself when it is the project's own file, else the project's latest copy of a file
    // of that name. Empty when the project holds neither: a file elsewhere is never read or copied.
    static QVariantMap menuSongInProject(const QString& path, const QString& contentsFolder);
    // Makes the menu's song item from the path as menuSongInProject finds it, and stores the path; a path
    // the project holds nothing for is no menu song, and is dropped.
    void readMenuSong(const QString& path);

private:
    // Threads: the main thread edits the manager while the DVD and export threads read it. The strings,
    // dictionaries, arrays and objects are guarded together in `shared`; the numbers and flags that change
    // are atomic; the screen and picture limits are fixed when the manager is made.
    struct Shared {
        QString fileVersion = QStringLiteral("1.0.0");
        std::vector<SlideshowProjectManagerItemRef> entries;
        SlideshowProjectManagerItemRef currentEntry;
        QVariantMap shareMovieParam;
        std::vector<MusicItemRef> menuSongs;
        std::vector<SlideItemRef> menuSlides;
        std::shared_ptr<MenuAudioMixer> menuMixer;
        std::vector<DVDMenuTemplateRef> templates;
        DVDMenuTemplateRef currentTemplate;
        QString title, subtitle, musicPath;
    };
    platform::Guarded<Shared> shared;
    std::atomic<int> nextProjectID{1};
    std::atomic<int> currItemIndex{-1};
    const bool landscape = true;
    const int screenWidth = 1024;
    const int screenHeight = 768;
    const bool enable1080p = false;
    const int maxImageWidth = 1280;
    const int maxImageHeight = 960;
    std::atomic<bool> useMenu{true};
    std::atomic<float> fadeIn{0.0f};
    std::atomic<float> fadeOut{0.0f};
    std::atomic<int> currentMenu{1};
};
