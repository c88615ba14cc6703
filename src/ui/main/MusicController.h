#pragma once

#include "model/MusicItem.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Scheduler.h"
#include "ui/editing/ProjectSource.h"
#include "ui/main/SlideshowMainObject.h"

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class AWAttachedWindow;
class ControllerDialogs;
class MusicDirector;
class MusicTimelineViewController;
class SlideshowProject;
class WaveFormViewOSX;
namespace platform::media {
class AudioPlayer;
class SerialQueue;
} // namespace platform::media

// The document window's music: the songs added to the project off the main thread, their waveform strips
// along the timeline's time axis, the music options and photo-music sync call-outs, the photo-music sync
// window before an export, the timeline's style and unit, the preview's music director and the (hidden)
// music strip. It works on the project its source hands it. Main thread only, but for the song queue.
class MusicController : public QObject {
    Q_OBJECT
public:
    // The hub stays the owner of the window's other state: this asks it to stop the show, lay out the
    // cells, show the project's information, and reach the call-outs shared with the timeline editing;
    // songs chosen are handed to its addMusicToProject, which a subclass may replace.
    MusicController(SlideshowMainObject& hub, ControllerDialogs& dialogs,
                    std::shared_ptr<platform::Scheduler> scheduler, const MainWindowOutlets& outlets,
                    ProjectSource project);
    // The song queue's thread is joined before the gate its jobs post through goes.
    ~MusicController() override;

    MusicDirector& director() const { return *music; }
    MusicTimelineViewController& timeline() const { return *musicTimeline; }

    // The buttons and menu items of the music commands, each to the hub's command of the same name.
    void connectActions();
    // A song import under way stops at its next file, and its results are dropped.
    void stopSongImports();

    // adding songs
    void buttonAddMusicClcked();
    // The work of the hub's addMusicToProject: the copies are made and measured on the song queue.
    void addMusicToProject(const QStringList& paths);
    bool isMusicImportIdle() const { return pendingSongImports.load() == 0; }
    // The earlier form: the songs are copied and measured alike and join the project (the stock song giving
    // way) without strips of their own and without a new layout.
    void addMusicToProject_old(const QStringList& paths);

    // the waveform strips
    void AddMusicItemSubView(const MusicItemRef& song);
    void rebuildMusicSubViews();
    std::vector<QRectF> musicStripFrames(std::size_t count);
    void layoutMusicSubViews();
    float getTimelineXPositionFromFrame_Music(quint64 frame);
    const std::vector<QPointer<WaveFormViewOSX>>& musicSubviewArray() const { return musicViews; }

    // the music options and photo-music sync
    void backgroundMusicListMenuItemClicked();
    void notifyMusicTimelineClicked(const platform::Notification& notification);
    void notifyMusicOptionsCloseClicked(const platform::Notification& notification);
    void notifyMusicOptionsAddMusicClicked(const platform::Notification& notification);
    void syncPhotoMusicButtonClicked();
    void notifyMusicSyncButtonClicked(const platform::Notification& notification);
    void notifyRefreshTimelineUI(const platform::Notification& notification);
    int runPhotoMusicSyncForExport(const QVariantMap& syncResult);
    AWAttachedWindow* attachedWindowMusicOptions() const { return musicOptionsCallOut; }
    AWAttachedWindow* attachedWindowPhotoMusicSync() const { return photoMusicSyncCallOut; }
    void closeMusicOptionsCallOut();
    void closePhotoMusicSyncCallOut();
    // The music-list popover: once it closes (is hidden), popoverDidClose lets it go.
    QWidget* popOverMusicList() const { return musicListPopover; }
    void setPopOverMusicList(QWidget* popover);
    void popoverDidClose();

    // the timeline's style and unit, the strip's play indicator, the song test command
    void ChangeTimelineMode();
    void TimelineUnitChanged(int pixelsPerSecond);
    void stopRefreshPlayintIndicator();
    void playSongTest();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using SongsFinish = void (MusicController::*)(const std::vector<QVariantMap>& songs);
    void importSongs(const QStringList& paths, SongsFinish finish);
    void finishAddingMusic(const std::vector<QVariantMap>& songs);
    void finishAddingMusic_old(const std::vector<QVariantMap>& songs);
    // The stock song of a new project leaves the list; the song when it was there.
    static MusicItemRef removeStockSong(SlideshowProject& project);
    static void removeStockSongCopy(const SlideshowProject& project, const MusicItemRef& stock);
    void showChangedMusic(double scrollX);
    // The songs' strips made again for the list as it is, where the strip stood.
    void relayMusicStrips();
    void dropMusicSubViews(std::size_t count);
    AWAttachedWindow* openMusicCallOut(CallOutKind kind, QWidget* view, QPointF point, int side);

    SlideshowMainObject& hub;
    ControllerDialogs& userDialogs;
    std::shared_ptr<platform::Scheduler> clock;
    const MainWindowOutlets& ui;
    ProjectSource currentProject;

    std::unique_ptr<MusicDirector> music;
    std::unique_ptr<MusicTimelineViewController> musicTimeline;
    platform::MainThreadGate gate; // the song queue's results
    std::vector<QPointer<WaveFormViewOSX>> musicViews;
    QPointer<AWAttachedWindow> musicOptionsCallOut, photoMusicSyncCallOut;
    QPointer<QWidget> musicListPopover;
    std::atomic<int> pendingSongImports{0};
    std::atomic<bool> stopping{false};
    std::unique_ptr<platform::media::SerialQueue> songQueue; // after the gate: its jobs post through it
    platform::Scheduler::Handle queuedMusicRebuild;
    std::unique_ptr<platform::media::AudioPlayer> testSongPlayer;
};
