#pragma once

#include "model/SlideItem.h"
#include "ui/editing/PopOverAppliesAtClose.h"
#include "ui/editing/ProjectSource.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QWidget>

// The duration pop-over of one slide: how long its photo shows and how long its transition into the next
// slide lasts, in whole frames at 30 per second, for this slide or (Apply to all) every slide. It edits
// copies of the two durations and writes them into the slides once, when it closes.
class PhotoDurationViewController : public QWidget, public PopOverAppliesAtClose {
    Q_OBJECT
public:
    static constexpr int kFramesPerSecond = 30;
    static constexpr int kPhotoFrames[2] = {15, 900};     // 0.5 s to 30 s
    static constexpr int kTransitionFrames[2] = {3, 300}; // 0.1 s to 10 s

    // "Apply to all" reaches every slide of the project.
    PhotoDurationViewController(SlideItemRef slide, ProjectSource project, QWidget* parent = nullptr);
    // Applies when no close road did.
    ~PhotoDurationViewController() override;

    // The whole frames of a duration, a frame-aligned duration keeping all of its frames.
    static int framesForSeconds(double seconds);
    // "%2.1fs".
    static QString durationText(float seconds);

    SlideItemRef currentSlideItem() const { return slide; }
    // Fills the controls from the slide; filling is no edit.
    void setCurrentSlideItem(const SlideItemRef& value);
    float fltPhotoDuration() const { return photoSeconds; }
    void setFltPhotoDuration(float seconds) { photoSeconds = seconds; }
    float fltTransitionDuration() const { return transitionSeconds; }
    void setFltTransitionDuration(float seconds) { transitionSeconds = seconds; }
    float bApplyAll() const { return applyAll; }
    void setBApplyAll(float value) { applyAll = value; }

    QSlider* sliderPhotoDuration() const { return photoSlider; }
    QSlider* sliderTransitionDuration() const { return transitionSlider; }
    QLabel* photoDurationText() const { return photoText; }
    QLabel* transitionDurationText() const { return transitionText; }
    QLabel* photoDurationLabel() const { return photoCaption; }
    QCheckBox* btnApplyToAll() const { return applyToAllBox; }
    QPushButton* okButton() const { return ok; }

    // The sliders moved: the pop-over's copies change, the slides not yet.
    void SliderDurationChanged();
    void TransitionDurationChanged();
    void AppleAllCheckboxClocked();
    // Asks the main window to close the pop-over.
    void OkButtonClicked();
    // Each changes the slide (and with the check box every slide) at once.
    void SliderDurationChanged_Old();
    void TransitionDurationChanged_Old();

    // Writes the copies into the slide, or every slide, and posts "NOTIFY_UPDATE_SLIDEITEM_DURATION";
    // only the first call does anything.
    void handleDurationChange();
    void applyAtClose() override { handleDurationChange(); }
    bool hasApplied() const { return applied; }

private:
    void awakeFromNib();
    static float snapped(const QSlider& slider);
    void postUpdate(const QVariantMap& userInfo) const;

    float photoSeconds = 4.0f;
    float transitionSeconds = 2.0f;
    float applyAll = 0.0f;
    ProjectSource projectSource;
    SlideItemRef slide;
    bool applied = false;
    QSlider* photoSlider;
    QSlider* transitionSlider;
    QLabel* photoText;
    QLabel* transitionText;
    QLabel* photoCaption;
    QLabel* transitionCaption;
    QCheckBox* applyToAllBox;
    QPushButton* ok;
};
