#pragma once

#include "model/MusicItem.h"
#include "ui/editing/MusicTimelineViewController.h"
#include "ui/editing/ProjectSource.h"

#include <QAbstractTableModel>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QStringList>
#include <QTableView>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

namespace platform::media {
class AudioPlayer;
}

// The song list of the music options: one row per song of the project, its columns answered by
// identifier ("index" from 1, "time" as "mm:ss", "strTitle", or any key of the song's dictionary).
class MusicListTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    MusicListTableModel(ProjectSource project, QStringList columnIdentifiers, QObject* parent = nullptr);

    // Nothing for a row the project (or no project) does not have.
    static QVariant objectValue(const SlideshowProject* project, const QString& identifier, int row);
    QStringList columnIdentifiers() const { return identifiers; }
    // Reads the project's songs again.
    void reloadData();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    ProjectSource projectSource;
    QStringList identifiers;
};

// The background-music options: the open project's songs, a song played once for listening, a song removed
// (with its copy in the project) or moved up or down, more songs asked for, and the two background-music
// levels. Changes reach the project at once. When it closes (its close button, or its destruction) it posts
// "NOTIFY_MUSIC_OPTIONS_CLOSE_CLICKED" once, saying whether the song list is other than it found it.
class BKMusicOptionsController : public QWidget {
    Q_OBJECT
public:
    static constexpr int kLevelSteps = 100;

    explicit BKMusicOptionsController(ProjectSource project, QWidget* parent = nullptr);
    ~BKMusicOptionsController() override;

    void setMusicTLVC(MusicTimelineViewController* controller) { musicTLVC = controller; }
    // Lays the strip's songs out again at once whenever the list changes; without it only the music
    // timeline follows until the options close.
    void setRelayStrip(std::function<void()> relay) { relayStrip = std::move(relay); }
    MusicTimelineViewController* musicTimelineController() const { return musicTLVC; }
    const std::vector<MusicItemRef>& enterMusicArray() const { return enteredSongs; }
    bool bHavePostCloseMessages() const { return closePosted; }

    // ---- the song list
    MusicListTableModel* tableModel() const { return model; }
    // The first selected row, -1 for none.
    int selectedRow() const;
    // Selects the row alone and scrolls to it.
    void selectRow(int row);

    // ---- listening
    void playButtonClicked();
    // False with no row selected; otherwise true, playing the row's song when its file is there.
    bool playSelectedMusicFile();
    void stop();
    bool isPlaying() const { return audioPlayer != nullptr; }
    platform::media::AudioPlayer* player() const { return audioPlayer.get(); }

    // ---- the list's commands
    void removeButtonClicked();
    void upButtonPressed();
    void downButtonPressed();
    void addMusicButtonClicked();
    void closeButtonPressed();

    // ---- the levels (the sliders' values in hundredths)
    void SliderBackgroundVolumeWhenPhotosChanged();
    void SliderBackgroundVolumeWhenVideosChanged();

    // Posts the closing report, only the first time.
    void postCloseMessages();

    QTableView* musicListTableView() const { return table; }
    QPushButton* buttonPlay() const { return play; }
    QPushButton* buttonRemove() const { return remove; }
    QPushButton* buttonUp() const { return up; }
    QPushButton* buttonDown() const { return down; }
    QPushButton* buttonAdd() const { return add; }
    QPushButton* buttonClose() const { return close; }
    QSlider* sliderBackgroundVolumeWhenPhotos() const { return photosSlider; }
    QSlider* sliderBackgroundvolumeWhenVideos() const { return videosSlider; }
    QLabel* textfieldBackgroundVolumeWhenPhotos() const { return photosLabel; }
    QLabel* textfieldBackgroundVolumeWhenVideos() const { return videosLabel; }

private:
    void awakeFromNib();
    QWidget* makeLevels();
    void showPlayImage(bool playing);
    // A song moved from `from` to `to`: the project, the list, the strip and the selection follow.
    void moveSong(int from, int to);
    void songListChanged(int rowToSelect);
    std::vector<MusicItemRef> projectSongs() const;
    void setProjectSongs(std::vector<MusicItemRef> songs);

    ProjectSource projectSource;
    std::vector<MusicItemRef> enteredSongs;
    bool closePosted = false;
    std::unique_ptr<platform::media::AudioPlayer> audioPlayer;
    QPointer<MusicTimelineViewController> musicTLVC;
    std::function<void()> relayStrip;
    MusicListTableModel* model;
    QTableView* table;
    QPushButton *play, *remove, *up, *down, *add, *close;
    QSlider *photosSlider, *videosSlider;
    QLabel *photosLabel, *videosLabel;
};
