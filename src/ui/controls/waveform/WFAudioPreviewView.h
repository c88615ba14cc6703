#pragma once

#include "platform/foundation/MainThread.h"
#include "ui/controls/waveform/WFMonoWaveformView.h"
#include "ui/controls/waveform/WFPreviewPlayer.h"

#include "platform/foundation/Scheduler.h"
#include "platform/media/MediaAsset.h"

#include <QFont>

// The overview waveform of the sound of whatever a player plays, read in the background, with a playhead
// that follows the player every 1/30 s, prompts while the overview is read or when there is no sound,
// click-to-seek, and the transport keys: space plays or pauses, Ctrl+Left and Ctrl+Right step 3 s.
class WFAudioPreviewView : public WFMonoWaveformView {
    Q_OBJECT
public:
    static constexpr double kPlayheadInterval = 1.0 / 30.0;
    static constexpr double kKeyStepSeconds = 3.0;

    explicit WFAudioPreviewView(QWidget* parent = nullptr);
    ~WFAudioPreviewView() override;

    // The clock of the playhead: Qt's timers unless a test gives its own. Set it before the player.
    void setScheduler(std::shared_ptr<platform::Scheduler> scheduler);

    std::shared_ptr<WFPreviewPlayer> player() const { return _player; }
    // Follows the player and reads the overview of its current item, again whenever the item changes.
    void setPlayer(std::shared_ptr<WFPreviewPlayer> player);

    QColor playheadColor() const { return _playheadColor; }
    void setPlayheadColor(const QColor& colour);
    bool isReadingOverview() const { return _isReadingOverview; }
    // Whether the current item has no sound to show.
    bool isAssetUnplayable() const { return _assetUnplayable; }
    // The sample the playhead stands on; 0 draws none.
    uint64_t playheadPosition() const { return _playheadPosition; }

    // Reads the overview of the player's current item, or shows that it has no sound.
    void readFirstAudioTrackOfPlayer();
    // Seeks the player to the time of the sample under x, as the playhead maps time to samples.
    void seekPlayerToXPoint(double x);
    // Answers the transport keys; false for every other key, which is left to others.
    bool performKeyEquivalent(const QKeyEvent& event);

    static QFont promptFont();

signals:
    void isReadingOverviewChanged(bool reading);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void _observePlayer();
    void _stopObservingPlayer();
    void _readSamplesFromTrack(int track, const platform::media::MediaAsset& asset);
    void _overviewRead(std::shared_ptr<WFSampleDataProvider> overview);
    void _setPlayheadPosition(float seconds);
    void _setReadingOverview(bool reading);
    void _seekPlayer(double seconds);
    bool hasKnownDuration() const;
    void updatePlayheadStrip();
    void drawPrompt(QPainter& painter, const QString& prompt);

    std::shared_ptr<platform::Scheduler> _scheduler;
    std::shared_ptr<WFPreviewPlayer> _player;
    QMetaObject::Connection _itemObservation;
    platform::Scheduler::Handle _timeObserver;
    uint64_t _playheadPosition = 0;
    double _assetDuration = 0.0;
    QColor _playheadColor = Qt::green;
    bool _isReadingOverview = false;
    bool _assetUnplayable = false;
    // Tells a finished read from one that a newer item has made stale.
    uint64_t _overviewGeneration = 0;
    platform::MainThreadGate gate; // last, so closed first: the overview task posts its result through it
};
