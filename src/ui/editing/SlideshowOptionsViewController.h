#pragma once

#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "ui/controls/IVInspectorView.h"
#include "ui/editing/ProjectSource.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QWidget>

class ControllerDialogs;
class SlideshowProject;
class IVInspectorViewContainer;
class QAbstractButton;
class QScrollArea;

// The options of the open project in the side panel, in two collapsible panes: default photo and transition
// durations (with Apply to all slides), repeat, music slideshow and the sync of the slides with the music;
// and the background-music levels, the TV system and the DVD aspect. Every change marks the project dirty.
class SlideshowOptionsViewController : public QWidget {
    Q_OBJECT
public:
    // Ids of the TV-system and aspect choices.
    enum : int { kNTSC = 1, kPAL = 2, kAspect16_9 = 1, kAspect4_3 = 2 };
    // The duration sliders' ranges in tenths of a second: above zero, so a default duration never reaches
    // the zero divisor of the frame arithmetic.
    static constexpr int kMinTenths = 5;
    static constexpr int kMaxPhotoTenths = 200;
    static constexpr int kMaxTransitionTenths = 100;

    // The options are the project's.
    explicit SlideshowOptionsViewController(ProjectSource project, QWidget* parent = nullptr);
    ~SlideshowOptionsViewController() override;

    // "4.0 sec": tenths of a second, truncated.
    static QString durationText(float seconds);
    // The duration sliders count tenths of a second.
    static int sliderTenths(float seconds);
    // The controls of the project's default durations and repeat, in the pane and in the options window.
    struct DurationControls {
        QSlider* photo;
        QLabel* photoText;
        QSlider* transition;
        QLabel* transitionText;
        QCheckBox* repeat;
    };
    // Fills them from the project, no action running; the options' other home changed them.
    static void showDurationsAndRepeat(const SlideshowProject& project, const DurationControls& controls);
    static void postOptionsChanged();

    // Fills every control from the open project (no action runs while it does).
    void initOptions();
    // Adds the two panes, once.
    void setupOptionsPanel();
    bool bSetupOK() const { return setupDone; }
    // Asks the sync question and shows its result.
    void setDialogs(ControllerDialogs* value) { dialogs = value; }

    void SliderShowTimeChanged();
    void SliderTransitionTimeChanged();
    void ApplyToAllButtonClicked();
    void buttonRepeatClicked();
    void buttonMusicSlideshowClicked();
    void buttonSyncMusicAndSlideshowClicked();
    void findSelectedButton(QButtonGroup* matrix);
    void SliderBackgroundVolumeWhenPhotosChanged();
    void SliderBackgroundVolumeWhenVideosChanged();
    void updateBKMusicUI();
    void notifySlideshowTypeChanged();

    QSlider* sliderSlideshowTime() const { return photoSlider; }
    QSlider* sliderTransitionTime() const { return transitionSlider; }
    QLabel* slideshowTextField() const { return photoText; }
    QLabel* transitionTime() const { return transitionText; }
    QCheckBox* btnRepeat() const { return repeat; }
    QCheckBox* btnMusicSlidehsow() const { return musicSlideshow; }
    QCheckBox* resetCustomizedDuration() const { return resetCustom; }
    QPushButton* applyToAllButton() const { return applyToAll; }
    QPushButton* syncButton() const { return sync; }
    QButtonGroup* tvMatrix() const { return tvGroup; }
    QButtonGroup* videoAspectMatrix() const { return aspectGroup; }
    QSlider* sliderBackgroundVolumeWhenPhotos() const { return photoVolume; }
    QSlider* sliderBackgroundvolumeWhenVideos() const { return videoVolume; }
    QLabel* textfieldBackgroundVolumeWhenPhotos() const { return photoVolumeText; }
    QLabel* textfieldBackgroundVolumeWhenVideos() const { return videoVolumeText; }
    IVInspectorViewContainer* inspectorContainer() const { return container; }
    IVInspectorView* textInspector() const { return durationsPane; }
    IVInspectorView* buttonInspector() const { return levelsPane; }
    // A third pane, made with the others but never added to the container.
    IVInspectorView* tvInspector() const { return tvPane; }

protected:
    // The panes follow the width of the scroll area's viewport.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* makeDurationsBody();
    QWidget* makeLevelsBody();
    QButtonGroup* makeMatrix(QWidget* parent, const QString& name, const QString& first,
                             const QString& second, class QBoxLayout* row);
    void markDirty() const;
    DurationControls durationControls() const;

    ProjectSource projectSource;
    QPointer<QSlider> photoSlider, transitionSlider, photoVolume, videoVolume;
    QPointer<QLabel> photoText, transitionText, photoVolumeText, videoVolumeText;
    QPointer<QCheckBox> repeat, musicSlideshow, resetCustom;
    QPointer<QPushButton> applyToAll, sync;
    QButtonGroup* tvGroup = nullptr;
    QButtonGroup* aspectGroup = nullptr;
    QScrollArea* scroll = nullptr;
    IVInspectorViewContainer* container = nullptr;
    QPointer<IVInspectorView> durationsPane, levelsPane, tvPane;
    bool setupDone = false;
    ControllerDialogs* dialogs = nullptr;
    platform::ObserverHandle typeObserver, volumeObserver, optionsObserver;
    platform::MainThreadGate gate; // last, so closed first: observers post to the main thread through it
};
