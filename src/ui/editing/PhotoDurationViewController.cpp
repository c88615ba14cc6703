#include "ui/editing/PhotoDurationViewController.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StringTable.h"
#include "ui/UiNotifications.h"
#include "ui/controls/ButtonTextColor.h"
#include "ui/editing/PopOverParts.h"

#include <QGridLayout>
#include <QSignalBlocker>

#include <cmath>

namespace {

constexpr float kTolerance = 0.0001f;
// A frame-aligned duration stored in single precision may fall a hair short of its frame.
constexpr double kFrameSnapSlack = 1e-4;

QSlider* frameSlider(const int range[2], QWidget* parent) {
    auto* slider = new QSlider(Qt::Horizontal, parent); // the pop-over owns its parts
    slider->setRange(range[0], range[1]);
    slider->setSingleStep(1);
    slider->setPageStep(PhotoDurationViewController::kFramesPerSecond);
    slider->setMinimumWidth(240);
    return slider;
}

bool isClip(const SlideItem& slide) {
    return slide.itemType() == SlideItem::kItemTypeVideo;
}

// Fills a slider with a duration, widening its range for a duration beyond it.
void showFrames(QSlider& slider, const int range[2], float seconds) {
    const QSignalBlocker quiet(slider);
    const int frames = PhotoDurationViewController::framesForSeconds(seconds);
    slider.setRange(std::min(range[0], frames), std::max(range[1], frames));
    slider.setValue(frames);
}

} // namespace

using pop_over::whiteLabel;

PhotoDurationViewController::PhotoDurationViewController(SlideItemRef edited, ProjectSource project,
                                                         QWidget* parent)
    : QWidget(parent), projectSource(std::move(project)), photoSlider(frameSlider(kPhotoFrames, this)),
      transitionSlider(frameSlider(kTransitionFrames, this)), photoText(whiteLabel(QString(), this)),
      transitionText(whiteLabel(QString(), this)), photoCaption(whiteLabel(tr_("Photo duration:"), this)),
      transitionCaption(whiteLabel(tr_("Transition duration:"), this)),
      applyToAllBox(new QCheckBox(tr_("Apply to all"), this)), ok(new QPushButton(tr_("OK"), this)) {
    setObjectName("PhotoDurationViewController");
    photoSlider->setObjectName("sliderPhotoDuration");
    transitionSlider->setObjectName("sliderTransitionDuration");
    auto* grid = new QGridLayout(this); // the view owns its layout
    grid->setContentsMargins(12, 10, 12, 10);
    grid->addWidget(photoCaption, 0, 0);
    grid->addWidget(photoText, 0, 1, Qt::AlignRight);
    grid->addWidget(photoSlider, 1, 0, 1, 2);
    grid->addWidget(transitionCaption, 2, 0);
    grid->addWidget(transitionText, 2, 1, Qt::AlignRight);
    grid->addWidget(transitionSlider, 3, 0, 1, 2);
    grid->addWidget(applyToAllBox, 4, 0);
    grid->addWidget(ok, 4, 1, Qt::AlignRight);
    connect(photoSlider, &QSlider::valueChanged, this, &PhotoDurationViewController::SliderDurationChanged);
    connect(transitionSlider, &QSlider::valueChanged, this,
            &PhotoDurationViewController::TransitionDurationChanged);
    connect(applyToAllBox, &QCheckBox::clicked, this, &PhotoDurationViewController::AppleAllCheckboxClocked);
    connect(ok, &QPushButton::clicked, this, &PhotoDurationViewController::OkButtonClicked);
    photoText->setText(durationText(photoSeconds));
    transitionText->setText(durationText(transitionSeconds));
    slide = std::move(edited);
    awakeFromNib();
    adjustSize();
}

PhotoDurationViewController::~PhotoDurationViewController() {
    handleDurationChange();
}

int PhotoDurationViewController::framesForSeconds(double seconds) {
    return int(std::trunc(seconds * kFramesPerSecond + kFrameSnapSlack));
}

QString PhotoDurationViewController::durationText(float seconds) {
    return QString::asprintf("%2.1fs", double(seconds));
}

float PhotoDurationViewController::snapped(const QSlider& slider) {
    return float(slider.value()) / float(kFramesPerSecond);
}

void PhotoDurationViewController::setCurrentSlideItem(const SlideItemRef& value) {
    slide = value;
    awakeFromNib();
}

void PhotoDurationViewController::awakeFromNib() {
    button_text_color::setTextColor(*applyToAllBox, Qt::white);
    QPalette indicator = applyToAllBox->palette(); // the box stands out on the dark call-out
    indicator.setColor(QPalette::Base, QColor(96, 96, 102));
    applyToAllBox->setPalette(indicator);
    if (!slide)
        return;
    photoSeconds = slide->fSecPhotoDuration();
    transitionSeconds = slide->fSecTransitionDuration();
    showFrames(*photoSlider, kPhotoFrames, photoSeconds);
    showFrames(*transitionSlider, kTransitionFrames, transitionSeconds);
    photoText->setText(durationText(photoSeconds));
    transitionText->setText(durationText(transitionSeconds));
    if (isClip(*slide)) {
        photoSlider->setEnabled(false);
        const QSignalBlocker quiet(applyToAllBox);
        applyToAllBox->setEnabled(false);
        applyToAllBox->setChecked(false);
        applyAll = 0.0f;
        photoCaption->setText(QStringLiteral("Video clip duration:"));
    }
}

// ---- the controls

void PhotoDurationViewController::SliderDurationChanged() {
    photoSeconds = snapped(*photoSlider);
    photoText->setText(durationText(photoSeconds));
}

void PhotoDurationViewController::TransitionDurationChanged() {
    transitionSeconds = snapped(*transitionSlider);
    transitionText->setText(durationText(transitionSeconds));
}

void PhotoDurationViewController::AppleAllCheckboxClocked() {
    applyAll = applyToAllBox->isChecked() ? 1.0f : 0.0f;
}

void PhotoDurationViewController::OkButtonClicked() {
    platform::NotificationCenter::defaultCenter().post(kNotifyCloseSlideItemDurationPanel);
}

void PhotoDurationViewController::postUpdate(const QVariantMap& userInfo) const {
    platform::NotificationCenter::defaultCenter().post(
        kNotifyUpdateSlideItemDuration, QVariant::fromValue(platform::ArchivableRef(slide)), userInfo);
}

// ---- applying

void PhotoDurationViewController::handleDurationChange() {
    if (applied)
        return;
    applied = true;
    bool changed = false;
    const auto update = [&](float current, float wanted, void (SlideItem::*set)(float)) {
        if (std::abs(current - wanted) <= kTolerance)
            return;
        (slide.get()->*set)(wanted);
        slide->setBCustomDurationFlag(true);
        changed = true;
    };
    if (slide) {
        if (!isClip(*slide))
            update(slide->fSecPhotoDuration(), photoSeconds, &SlideItem::setFSecPhotoDuration);
        update(slide->fSecTransitionDuration(), transitionSeconds, &SlideItem::setFSecTransitionDuration);
    }
    const auto project = projectSource();
    if (project && applyAll != 0.0f) {
        for (const SlideItemRef& each : project->slideshowArray()) {
            if (!isClip(*each))
                each->setFSecPhotoDuration(photoSeconds);
            each->setFSecTransitionDuration(transitionSeconds);
        }
        project->setBIsDirty(true);
    } else if (project && changed) {
        project->setBIsDirty(true);
    }
    postUpdate({});
}

void PhotoDurationViewController::SliderDurationChanged_Old() {
    const bool all = applyToAllBox->isChecked();
    const auto project = projectSource();
    if (!slide || !project)
        return;
    if (!isClip(*slide)) {
        slide->setFSecPhotoDuration(snapped(*photoSlider));
        slide->setBCustomDurationFlag(true);
    }
    if (all)
        for (const SlideItemRef& each : project->slideshowArray())
            if (!isClip(*each))
                each->setFSecPhotoDuration(snapped(*photoSlider));
    photoText->setText(durationText(slide->fSecPhotoDuration()));
    project->setBIsDirty(true);
    postUpdate({{QStringLiteral("ApplyToAll"), all}});
}

void PhotoDurationViewController::TransitionDurationChanged_Old() {
    const bool all = applyToAllBox->isChecked();
    const auto project = projectSource();
    if (!slide || !project)
        return;
    slide->setFSecTransitionDuration(snapped(*transitionSlider));
    slide->setBCustomDurationFlag(true);
    if (all)
        for (const SlideItemRef& each : project->slideshowArray())
            each->setFSecTransitionDuration(snapped(*transitionSlider));
    transitionText->setText(durationText(slide->fSecTransitionDuration()));
    project->setBIsDirty(true);
    postUpdate({{QStringLiteral("ApplyToAll"), all}});
}
