#pragma once

#include "model/VideoSlideItem.h"
#include "ui/editing/PopOverAppliesAtClose.h"
#include "ui/editing/ProjectSource.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

class DoubleSlider;

// The inspector of a clip slide, shown in the duration call-out: the clip's length (read only), the
// transition after it, the clip's own sound level and the music level while it plays. The two levels change
// the slide as their sliders move; the transition duration and the project's dirty flag are applied once,
// when the call-out closes by whichever road.
class VideoItemPropertyViewController : public QWidget, public PopOverAppliesAtClose {
    Q_OBJECT
public:
    static constexpr double kTransitionRange[2] = {0.0, 10.0};

    // The edit marks the project dirty.
    VideoItemPropertyViewController(std::shared_ptr<VideoSlideItem> slide, ProjectSource project,
                                    QWidget* parent = nullptr);
    // Applies when no close road did.
    ~VideoItemPropertyViewController() override;

    std::shared_ptr<VideoSlideItem> currentSlideItem() const { return slide; }
    float fltTransitionDuration() const { return transitionSeconds; }
    bool bDataDirty() const { return dataDirty; }
    bool bOutputVolumeChange() const { return outputVolumeChange; }

    void enableBKMusicVolumeControls(bool enabled);
    void checkboxEnableChangeBKMusicVolumeClicked();
    void sliderTransitionDurationValueChanged();
    void sliderVideoClipVolumeValueChanged();
    void sliderBKMusicVolumeValueChanged();
    // Asks the main window to close the call-out.
    void buttonOKClicked();
    // Writes the transition duration and marks the project dirty; only the first call does anything.
    void handleProjectDataChanged();
    void applyAtClose() override { handleProjectDataChanged(); }

    QCheckBox* checkboxEnableChangeBKMusicVolume() const { return musicCheck; }
    DoubleSlider* sliderPhotoDuration() const { return photoSlider; }
    DoubleSlider* sliderTransitionDuration() const { return transitionSlider; }
    DoubleSlider* sliderVideoClipVolume() const { return clipSlider; }
    DoubleSlider* sliderBKMusicVolume() const { return musicSlider; }
    QLabel* photoDurationText() const { return photoText; }
    QLabel* transitionDurationText() const { return transitionText; }
    QLabel* textFieldVideoClipVolume() const { return clipText; }
    QLabel* textFieldBKMusicVolume() const { return musicText; }
    QPushButton* okButton() const { return ok; }

private:
    void awakeFromNib();
    void layOut();

    ProjectSource projectSource;
    std::shared_ptr<VideoSlideItem> slide;
    float transitionSeconds = 0.0f;
    bool dataDirty = false;
    bool outputVolumeChange = false;
    bool applied = false;
    QCheckBox* musicCheck;
    DoubleSlider* photoSlider;
    DoubleSlider* transitionSlider;
    DoubleSlider* clipSlider;
    DoubleSlider* musicSlider;
    QLabel* photoCaption;
    QLabel* photoText;
    QLabel* transitionText;
    QLabel* clipText;
    QLabel* musicText;
    QLabel* musicMinHint;
    QLabel* musicMaxHint;
    QLabel* musicHint;
    QPushButton* ok;
};
