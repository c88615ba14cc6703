#pragma once

#include "model/MusicItem.h"
#include "model/SlideItem.h"
#include "model/SlideshowThemeManager.h"
#include "platform/foundation/FileIdentity.h"
#include "platform/foundation/Guarded.h"
#include "platform/foundation/KeyedArchive.h"

#include <QSet>
#include <QSizeF>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class QImage;
namespace platform {
class Clock;
}
class ProjectAudioMixer;
class ProjectDirector;

// The open project: slides, songs, theme, durations and volumes, DVD flags, share options and the export's
// Cancel, with the arithmetic that turns slide durations into frames, its folder and its archive
// "SlideshowProject.dat". One project is open at a time: mainProject().
class SlideshowProject : public platform::Archivable, public std::enable_shared_from_this<SlideshowProject> {
public:
    static constexpr float kDefaultVolumeWhenPhotos = 0.9f;
    static constexpr float kDefaultVolumeWhenVideos = 0.1f;

    SlideshowProject(); // init, with initVar
    ~SlideshowProject() override;
    SlideshowProject(const SlideshowProject&) = delete;
    SlideshowProject& operator=(const SlideshowProject&) = delete;
    void initVar();

    // ---- the open project
    // The singleton, made at the first call: the folder named by "LastProjectBundlePath" when it is a
    // valid project, else a new project folder. Null while that first call is still running.
    static std::shared_ptr<SlideshowProject> mainProject();
    // The last project that the first call of mainProject() could not read (and left as it was), and
    // why; nothing when it opened, or once taken.
    struct StartupLoadFailure {
        QString folder;
        QString reason; // names the folder too
    };
    static std::optional<StartupLoadFailure> takeStartupLoadFailure();
    // The singleton as it is now, without making one.
    static std::shared_ptr<SlideshowProject> currentMainProject();
    // Makes project the open one; the previous one lives on only as long as others hold it.
    static void retainProject(std::shared_ptr<SlideshowProject> project);
    static std::shared_ptr<SlideshowProject> newProject();
    // Forgets the singleton and the first-call guard (tests start each case afresh).
    static void resetMainProjectForTesting();

    // ---- class-level output settings
    static QSizeF sizeVideoOutput();
    static void setSizeVideoOutput(const QSizeF& size);
    static unsigned long ulFrameRate();
    static void setULFrameRate(unsigned long rate);
    static unsigned long ulEncodeVideoBitrate();
    static void setULEncodeVideoBitrate(unsigned long bitsPerSecond);
    static int nMonitorIndex();
    static void setNMonitorIndex(int index);
    static QStringList monitorDesc();
    // The clock that names copied files (tests set a manual one).
    static std::shared_ptr<platform::Clock> clock();
    static void setClock(std::shared_ptr<platform::Clock> clock);

    // ---- slides, songs and layers (snapshots; edits on the main thread)
    std::vector<SlideItemRef> slideshowArray() const;
    void setSlideshowArray(std::vector<SlideItemRef> slides);
    void addSlideItem(SlideItemRef slide);
    void insertSlideItem(std::size_t index, SlideItemRef slide);
    void removeSlideItemAtIndex(std::size_t index);
    std::size_t slideCount() const;
    SlideItemRef slideItemAtIndex(std::size_t index) const;
    bool containsSlideItem(const SlideItem* slide) const;
    std::vector<MusicItemRef> musicArray() const;
    void setMusicArray(std::vector<MusicItemRef> songs);
    void addMusicItem(MusicItemRef song);
    std::vector<MusicItemRef> audioLayerArray() const;
    void setAudioLayerArray(std::vector<MusicItemRef> layers);
    std::vector<SlideItemRef> textLayerArray() const;
    void setTextLayerArray(std::vector<SlideItemRef> layers);
    // A slide that a drag in the strip has taken out of the list, and the place it left; null when none.
    // Every save writes it back in that place, so that a save during the drag (the autosave, with a crash
    // after it) loses no slide.
    void setSlideOutForDrag(SlideItemRef slide, std::size_t index);
    SlideItemRef slideOutForDrag() const;

    // ---- durations and frames (frame rate: ulFrameRate())
    int nPhotoDurationFrameCount() const;
    int nTransitionDurationFrameCount() const;
    quint64 nFrameSlideshowFadeIn() const;
    quint64 nFrameSlideshowFadeOut() const;
    bool calcSlideItemsPhotoTransitionDuration(const std::vector<SlideItemRef>& slides) const;
    bool calcSlideItemsPhotoTransitionDuration() const;
    quint64 totalFrameCountFromArray(const std::vector<SlideItemRef>& slides) const;
    quint64 totalFrameCount() const;
    double slideshowTotalDuration() const;
    double musicTotalDuration() const;
    bool doesSyncMusicAndSlideshowDuration() const;
    // Fits the free photos' durations to the music: {"failType", "desc", "result"}.
    QVariantMap syncMusicAndSlideshowDuration();
    float getSlideStartTime(std::size_t index) const;
    float getSlideAudioStartTime(std::size_t index) const;
    QString getSongTitle(int index) const;
    QString strShareServceType() const;
    static QString timeToString(float seconds, bool wide, bool trim);

    // ---- timeline and playback
    void updateTimelineItemsPosition();
    void ClearAllAudioLayerSelectedState();
    void ClearAllTextLayerSelectedState();
    void resetPlayerToBegin();
    void resetAllSlidesCustimzedDurationFlag();
    // Makes a clip slide's missing pictures again from its clip, drops slides and songs whose files are
    // missing, then lays the frames out again; the project is marked changed when any of it changed.
    void checkItemVaild();
    // The slides of which a file an export draws is gone, empty or does not decode (the picture, clip or
    // composition, the backdrop picture a moving backdrop draws, the caption picture), by the name of the
    // file the slide shows, in slide order: an export of them could only stall or show holes, so every
    // export asks first.
    QStringList missingSlideFiles() const;
    // The alert that refuses an export for them, for photos' own sounds and songs that cannot be read from
    // their start (songs also when they hold clearly less than their recorded length), the project's and
    // `moreSongs` (a DVD menu's), and for the theme's backdrop picture, naming each slide's place and the
    // file the user added or chose as the slide's sound, and each song's title; empty when every file can be
    // read.
    QString missingSlideFilesMessage(const std::vector<MusicItemRef>& moreSongs = {}) const;
    // The same alert for the pictures a play of `slides` draws (photos, backdrops, captions, the theme's)
    // whose header reads but which do not decode whole: asked beside the export's play, as decoding a show's
    // worth of photos would hold the window up. The slides are decoded on every core; once `stopped`
    // answers true the rest are left alone and the answer means nothing.
    QString undecodablePicturesMessage(const std::vector<SlideItemRef>& slides,
                                       const std::function<bool()>& stopped = {}) const;
    // The "backgroundID" of the moving backdrop an export draws from the slides' backdrop pictures; none
    // when the project names a picture of its own for the stage, or the theme's backdrop is black or a fixed
    // picture.
    std::optional<int> movingBackdropID() const;
    // What the user is told when slide `index` (from 0) lost its file during an export.
    static QString slideFileLostMessage(std::size_t index, const SlideItem& slide);
    // The same for a song of the title given; with `spoiltSeconds`, the seconds of its sound that a damaged
    // file lost, it tells that the song is damaged and what to do.
    static QString songFileLostMessage(const QString& title, double spoiltSeconds = 0.0);
    // The same for the theme's backdrop picture.
    QString themePictureLostMessage() const;
    // The same for a file that the export's sound could not read: a song, a clip's sound or a slide's.
    QString soundFileLostMessage(const QString& path, double spoiltSeconds = 0.0) const;
    static QString stringWithUUID();
    QString strProjectBundleName() const;

    // ---- earlier forms and stand-ins without a caller
    // The length in frames from the project's default durations alone: count x (photo + transition / 2)
    // + photo / 2, in whole frames.
    quint64 totalFrameCount_old() const;
    // The start time less the transition that brings the slide on; 0 out of range.
    float getSlideStartTime_Old(std::size_t index) const;
    // Sets the project's default photo and transition durations so that every slide takes an equal share
    // of the music, when that share is 3 to 10 s; otherwise answers how many photos would fit:
    // {"failType" ("NoPhotos", "NoMusic", "MorePhotos", "LessPhotos" or "Success"), "desc", "result", and
    // with "MorePhotos" or "LessPhotos" "nExceptCountMin", "nExceptCountMax", "nExceptCountDefault"}.
    QVariantMap syncMusicAndSlideshowDuration_Old();
    // Stand-ins that take nothing in: no media items, no file moved (the file stays where it is), no
    // change of duration.
    QVariantList mediaItemsArray(const QVariantList& items) const;
    QString moveFileToProjectFolder(const QString& path) const;
    float fltPrevSlideItemsDurationDelta(std::size_t index, bool transition) const;
    // The frame laid over a selected item: the resource "item_selected_new.png".
    static QImage seletedItemFlagFrameImage();

    // ---- folder, archive and paths
    static QString appDocFullPath();
    static QString docExtenstionName() { return QStringLiteral("VistrelleProject"); }
    static QString contentFolderName() { return QStringLiteral("Contents"); }
    static QString shortFileName() { return QStringLiteral("SlideshowProject.dat"); }
    // The title as a file name: sanitised, "New Project" from the string table when empty.
    static QString fileNameForTitle(const QString& title);
    // Makes "<Movies>/Vistrelle/<title>.VistrelleProject" (or "<title>-N...") with its "Contents"
    // folder and the default song, and writes its archive at once so the folder is valid from the
    // start. Null, with a message in *error, when any of it fails.
    static std::shared_ptr<SlideshowProject> createNewBundleProject(const QString& title,
                                                                    QString* error = nullptr);
    static bool isValidProjectBundle(const QString& path);
    // Null, with a message in *error, for an invalid folder or an archive that does not read or that is a
    // link leading out of the folder.
    static std::shared_ptr<SlideshowProject> loadBundleProject(const QString& path, QString* error = nullptr);
    // Writes the archive atomically; clears the dirty flag only when that succeeded.
    bool saveProjectToFile(QString* error = nullptr);
    QString getProjectFullFileName() const;
    bool loadProjectFromFile(QString* error = nullptr);
    static void copyDefaultMP3FileToPackage(const std::shared_ptr<SlideshowProject>& project);
    // Whether anything of the project names the file at path: a slide's files and sound, a song's file or
    // copy (background, audio layer, DVD menu), the stage picture. A copy the project made goes only once
    // nothing does.
    bool refersToFile(const QString& path) const;
    // The files, resolved, that anything of the project names, as refersToFile counts them.
    QSet<QString> namedFiles() const;
    // Removes the file at path when it is the project's own copy (in its "Contents" folder) and nothing of
    // the project names it any more; anything else stays.
    void removeCopyNamedByNothing(const QString& path) const;
    // Deletes the files of slides that have left the project (their pictures, sounds, clips, compositions)
    // that are its own and that nothing of it names any more: two slides of a received project may name one
    // file. The slides are discarded.
    void deleteFilesOfRemovedSlides(const std::vector<SlideItemRef>& removed) const;
    QString strProjectVideoFileDirectory() const;
    QString createVideoFilePathInProjectFromSource(const QString& source) const;
    static QString homeDirectory();
    QString projectFullPath() const { return homeDirectory(); }
    static QString convertFilePathToApp(const QString& path);
    static QString getShortFilePathRelativeRootFolder(const QString& path);
    static QString getShortFilePathRelativeProjectBundleFolder(const QString& path);

    // ---- user defaults
    static QString strLastProjectBundlePath();
    static void setStrLastProjectBundlePath(const QString& path);
    static QString strOutputVideoPath();
    static void setStrOutputVideoPath(const QString& path);
    static QString strVideoOutputFormat();
    static void setStrVideoOutputFormat(const QString& format);

    // ---- export paths
    // The private folder of the small fixed temporary names and pipes.
    static QString strProjectTempDirectoryBase();
    // The private folder on disk of the large ones: the encoded movie and the mixed sound.
    static QString strLargeTempDirectoryBase();
    QString strEncodingVideoFilePath(const QSizeF& size) const;
    // The same without its extension (for the streams of other formats that share the name).
    static QString strEncodingVideoFileBase(const QSizeF& size);
    // Whether a file name is one an encoded movie is made under (any size, either extension).
    static bool isEncodingVideoFileName(const QString& name);
    // Removes the movies that exports killed midway left in the large temporary folder; for the start,
    // before any export runs.
    static void deleteEncodingVideoFiles();
    static QString strTempM4AAudioFullPath();
    // Moves the encoded movie into the output folder; the target path, or empty when the move failed,
    // with a message in *error that names where the movie is kept (beside its temporary name, under a name
    // of its own). `written` is the movie as its writer left it: a file at the name that is not that one is
    // neither moved nor touched, and the message says so.
    static QString copyEncodedMovieFileForExport(const std::optional<platform::FileIdentity>& written,
                                                 QString* error = nullptr);
    static QString bundleIdentifierForApplication();
    // The identifier of the installed application of that name (its desktop entry's), or empty.
    static QString bundleIdentifierForApplicationName(const QString& name);
    // The encoded movie's earlier place, in the project folder: "video_%dx%d.mov" or ".mp4".
    QString strEncodingVideoFilePath_Bundle(const QSizeF& size) const;
    // Copies the movie at that place into the output folder, as copyEncodedMovieFileForExport names it;
    // the copy's path, or empty with a message (the movie kept where it was).
    static QString copyEncodedMovieFileForExport_Bundle(QString* error = nullptr);
    // An import step that nothing reaches: leaves an empty file named after the source in the private
    // temporary folder (whatever stood there, a link above all, is replaced, never written through) and
    // moves nothing; always null.
    QString importSourceToTempDirAndMoveItToProject(const QString& source) const;

    // ---- archive
    static std::shared_ptr<SlideshowProject> initWithCoder(platform::KeyedUnarchiver& coder);
    QStringList archiveClassNames() const override { return {QStringLiteral("SlideshowProject")}; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;

    // ---- fields
    QString strMacProjectBundleFullPath() const;
    void setStrMacProjectBundleFullPath(const QString& path);
    QString strMacProjectBundleContentsPath() const;
    void setStrMacProjectBundleContentsPath(const QString& path);
    QString strFileVersion() const { return fileVersion; }
    void setStrFileVersion(const QString& value) { fileVersion = value; }
    QString strProjectFolderBase() const { return projectFolderBase; }
    void setStrProjectFolderBase(const QString& value) { projectFolderBase = value; }
    QString strProjectTitle() const;
    void setStrProjectTitle(const QString& title);
    std::shared_ptr<SlideshowThemeManager> themeManger() const { return shared.get(&Shared::themeManager); }
    void setThemeManger(std::shared_ptr<SlideshowThemeManager> manager);
    bool bPlayLoop() const { return playLoop; }
    void setBPlayLoop(bool value) { playLoop = value; }
    float fltPhotoDuration() const { return photoDuration; }
    void setFltPhotoDuration(float seconds) { photoDuration = sanitizedSeconds(seconds); }
    float fltTransitionDuration() const { return transitionDuration; }
    void setFltTransitionDuration(float seconds) { transitionDuration = sanitizedSeconds(seconds); }
    bool bApplyTransitionToAll() const { return applyTransitionToAll; }
    void setBApplyTransitionToAll(bool value) { applyTransitionToAll = value; }
    int nScreenWidth() const { return screenWidth; }
    int nScreenHeight() const { return screenHeight; }
    void setNScreenWidth(int value) { screenWidth = value; }
    void setNScreenHeight(int value) { screenHeight = value; }
    bool bIsDirty() const { return dirty.load(); }
    void setBIsDirty(bool value) { dirty = value; }
    QVariantMap blankImageFontInfo() const { return shared.get(&Shared::blankImageFont); }
    void setBlankImageFontInfo(const QVariantMap& info) { shared.set(&Shared::blankImageFont, info); }
    QVariantMap subTitleFontInfo() const { return shared.get(&Shared::subTitleFont); }
    void setSubTitleFontInfo(const QVariantMap& info) { shared.set(&Shared::subTitleFont, info); }
    bool bIsMusicSideshow() const { return musicSlideshow; }
    void setBIsMusicSideshow(bool value) { musicSlideshow = value; }
    int nWidthOpenGLView() const { return viewRect[0]; }
    int nHeightOpenGLView() const { return viewRect[1]; }
    int nXOpenGLView() const { return viewRect[2]; }
    int nYOpenGLView() const { return viewRect[3]; }
    void setOpenGLViewRect(int width, int height, int x, int y);
    int nCurrentStatus() const { return currentStatus.load(); }
    void setNCurrentStatus(int status) { currentStatus = status; }
    QVariantMap dictFileRefreshDate() const { return shared.get(&Shared::fileRefreshDate); }
    void setDictFileRefreshDate(const QVariantMap& value) { shared.set(&Shared::fileRefreshDate, value); }
    QString strThemeBackground() const { return shared.get(&Shared::themeBackground); }
    void setStrThemeBackground(const QString& name) { shared.set(&Shared::themeBackground, name); }
    // The picture the stage shows behind the slides, or empty for the theme's own backdrop: the stored
    // path (a name is one in "Contents") when it is one of our stock pictures or a file of the project.
    QString themeBackgroundPicture() const;
    // The file name of the picture the project names for the stage, empty when it names none; the picture
    // itself may be gone or out of reach (themeBackgroundPicture empty), which a play shows as black and an
    // export refuses.
    QString themeBackgroundPictureName() const;
    QVariantMap shareOptionsDict() const;
    void setShareOptionsDict(const QVariantMap& options);
    void setShareOption(const QString& key, const QVariant& value);
    bool bBackgroundMusicLoopFlag() const { return backgroundMusicLoop; }
    void setBBackgroundMusicLoopFlag(bool value) { backgroundMusicLoop = value; }
    bool bExportProgressCancelButtonClicked() const { return exportCancelled.load(); }
    void setBExportProgressCancelButtonClicked(bool value) { exportCancelled = value; }
    bool bTVSystemPAL() const { return tvSystemPAL; }
    void setBTVSystemPAL(bool value) { tvSystemPAL = value; }
    bool bDVDVideoAspect16_9() const { return dvdAspect16_9; }
    void setBDVDVideoAspect16_9(bool value) { dvdAspect16_9 = value; }
    float fltBackgroundMusicVolumeWhenPhotos() const { return volumeWhenPhotos; }
    void setFltBackgroundMusicVolumeWhenPhotos(float value) { volumeWhenPhotos = value; }
    float fltBackgroundMusicVolumeWhenVideos() const { return volumeWhenVideos; }
    void setFltBackgroundMusicVolumeWhenVideos(float value) { volumeWhenVideos = value; }
    float fltSlideshowFadeIn() const { return fadeIn; }
    void setFltSlideshowFadeIn(float seconds) { fadeIn = sanitizedSeconds(seconds); }
    float fltSlideshowFadeOut() const { return fadeOut; }
    void setFltSlideshowFadeOut(float seconds) { fadeOut = sanitizedSeconds(seconds); }
    int nTimelineStyle() const { return timelineStyle; }
    void setNTimelineStyle(int style) { timelineStyle = style; }
    int nTimelinePixelPerSecond() const { return pixelsPerSecond; }
    void setNTimelinePixelPerSecond(int value) { pixelsPerSecond = value; }
    // Beyond every slide: the strip marks none.
    static constexpr quint64 kNoCurrentSlideItem = std::numeric_limits<quint64>::max();
    quint64 nCurrentSlideItem() const { return currentSlideItem.load(); }
    void setNCurrentSlideItem(quint64 index) { currentSlideItem = index; }
    std::shared_ptr<ProjectAudioMixer> audioMixer() const;
    void setAudioMixer(std::shared_ptr<ProjectAudioMixer> mixer);
    std::shared_ptr<ProjectDirector> director() const;
    void setDirector(std::shared_ptr<ProjectDirector> director);

private:
    // The alert of missingSlideFilesMessage (songs too) or, `whole`, of undecodablePicturesMessage.
    QString exportRefusal(bool whole, const std::vector<SlideItemRef>& slides,
                          const std::vector<MusicItemRef>& moreSongs,
                          const std::function<bool()>& stopped = {}) const;
    struct ArchiveSnapshot;
    void assignFolder(const QString& folder);
    bool writeArchive(QString* error);
    std::vector<SlideItemRef> slidesToSave() const;
    void fitFreeSlides(const std::vector<SlideItemRef>& slides, float music, float fixed, int freeCount,
                       bool lastIsFree);

    // Threads: the main thread edits the project while the player, the loader, the mixers and the export
    // threads read it. The arrays, paths, title, share options, the mixer and player links, the theme
    // manager and the font, date and backdrop settings are guarded together in `shared`; every number and
    // flag is atomic. Only the file version and folder base, read and written with the archive on the
    // main thread, are plain.
    struct Shared {
        std::vector<SlideItemRef> slides;
        std::vector<MusicItemRef> songs;
        std::vector<MusicItemRef> audioLayers;
        std::vector<SlideItemRef> textLayers;
        SlideItemRef slideOutForDrag;
        std::size_t slideOutForDragIndex = 0;
        QString bundlePath, contentsPath, title;
        QVariantMap shareOptions;
        std::shared_ptr<ProjectAudioMixer> mixer;
        // Not owned: the player belongs to the preview; a project held last by a player's own thread must
        // not take the player down with it on that thread.
        std::weak_ptr<ProjectDirector> player;
        std::shared_ptr<SlideshowThemeManager> themeManager;
        QVariantMap blankImageFont;
        QVariantMap subTitleFont;
        QVariantMap fileRefreshDate;
        QString themeBackground;
    };
    platform::Guarded<Shared> shared;

    QString fileVersion = QStringLiteral("1.0.0");
    QString projectFolderBase;
    std::atomic<bool> playLoop{true};
    std::atomic<float> photoDuration{4.0f};
    std::atomic<float> transitionDuration{2.0f};
    std::atomic<bool> applyTransitionToAll{false};
    std::atomic<int> screenWidth{1920};
    std::atomic<int> screenHeight{1080};
    std::atomic<bool> dirty{false};
    std::atomic<bool> musicSlideshow{false};
    std::atomic<int> viewRect[4] = {1280, 720, 0, 0};
    std::atomic<int> currentStatus{0};
    std::atomic<bool> backgroundMusicLoop{true};
    std::atomic<bool> exportCancelled{false};
    std::atomic<bool> tvSystemPAL{false};
    std::atomic<bool> dvdAspect16_9{false};
    std::atomic<float> volumeWhenPhotos{kDefaultVolumeWhenPhotos};
    std::atomic<float> volumeWhenVideos{kDefaultVolumeWhenVideos};
    std::atomic<float> fadeIn{0.0f};
    std::atomic<float> fadeOut{0.0f};
    std::atomic<int> timelineStyle{0};
    std::atomic<int> pixelsPerSecond{28};
    std::atomic<quint64> currentSlideItem{0};
};

using SlideshowProjectRef = std::shared_ptr<SlideshowProject>;
