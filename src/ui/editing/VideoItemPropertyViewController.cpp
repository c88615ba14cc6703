#include "ui/editing/VideoItemPropertyViewController.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StringTable.h"
#include "ui/UiNotifications.h"
#include "ui/controls/ButtonTextColor.h"
#include "ui/controls/DoubleSlider.h"

#include <QGridLayout>
#include <QSignalBlocker>

#include <cmath>

namespace {

constexpr float kTolerance = 0.0001f;
const QColor kEnabledText = Qt::white;
const QColor kDisabledText = Qt::darkGray;

void colourText(QLabel& label, const QColor& colour) {
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, colour);
    label.setPalette(palette);
}

QLabel* whiteLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent); // the inspector owns its parts
    colourText(*label, kEnabledText);
    return label;
}

QString durationText(double seconds) {
    return QString::asprintf("%2.1fs", seconds);
}

QString levelText(double level) {
    return QString::asprintf("%.2f", level);
}

// Fills a slider without it counting as an edit; a value beyond the range widens it.
void fill(DoubleSlider& slider, double value) {
    const QSignalBlocker quiet(slider);
    if (value > slider.maximumDouble())
        slider.setDoubleRange(slider.minimumDouble(), value);
    slider.setDoubleValue(value);
}

} // namespace

VideoItemPropertyViewController::VideoItemPropertyViewController(std::shared_ptr<VideoSlideItem> edited,
                                                                 ProjectSource project, QWidget* parent)
    : QWidget(parent), projectSource(std::move(project)), slide(std::move(edited)),
      musicCheck(new QCheckBox(tr_("Change the background music level during this clip"), this)),
      photoSlider(new DoubleSlider(0.0, 60.0, 600, this)),
      transitionSlider(new DoubleSlider(kTransitionRange[0], kTransitionRange[1], 1000, this)),
      clipSlider(new DoubleSlider(0.0, 1.0, 100, this)), musicSlider(new DoubleSlider(0.0, 1.0, 100, this)),
      photoCaption(whiteLabel(tr_("Video clip duration:"), this)), photoText(whiteLabel(QString(), this)),
      transitionText(whiteLabel(QString(), this)), clipText(whiteLabel(QString(), this)),
      musicText(whiteLabel(QString(), this)), musicMinHint(whiteLabel(tr_("Quiet"), this)),
      musicMaxHint(whiteLabel(tr_("Loud"), this)),
      musicHint(whiteLabel(tr_("Background music level:"), this)), ok(new QPushButton(tr_("OK"), this)) {
    setObjectName("VideoItemPropertyViewController");
    musicCheck->setObjectName("checkboxEnableChangeBKMusicVolume");
    photoSlider->setObjectName("sliderPhotoDuration");
    transitionSlider->setObjectName("sliderTransitionDuration");
    clipSlider->setObjectName("sliderVideoClipVolume");
    musicSlider->setObjectName("sliderBKMusicVolume");
    layOut();
    connect(musicCheck, &QCheckBox::clicked, this,
            &VideoItemPropertyViewController::checkboxEnableChangeBKMusicVolumeClicked);
    connect(transitionSlider, &QSlider::valueChanged, this,
            &VideoItemPropertyViewController::sliderTransitionDurationValueChanged);
    connect(clipSlider, &QSlider::valueChanged, this,
            &VideoItemPropertyViewController::sliderVideoClipVolumeValueChanged);
    connect(musicSlider, &QSlider::valueChanged, this,
            &VideoItemPropertyViewController::sliderBKMusicVolumeValueChanged);
    connect(ok, &QPushButton::clicked, this, &VideoItemPropertyViewController::buttonOKClicked);
    awakeFromNib();
    adjustSize();
}

VideoItemPropertyViewController::~VideoItemPropertyViewController() {
    handleProjectDataChanged();
}

void VideoItemPropertyViewController::layOut() {
    auto* grid = new QGridLayout(this); // the view owns its layout
    grid->setContentsMargins(12, 10, 12, 10);
    int row = 0;
    grid->addWidget(photoCaption, row, 0, 1, 2);
    grid->addWidget(photoText, row++, 2, Qt::AlignRight);
    grid->addWidget(photoSlider, row++, 0, 1, 3);
    grid->addWidget(whiteLabel(tr_("Transition duration:"), this), row, 0, 1, 2);
    grid->addWidget(transitionText, row++, 2, Qt::AlignRight);
    grid->addWidget(transitionSlider, row++, 0, 1, 3);
    grid->addWidget(whiteLabel(tr_("Video clip volume:"), this), row, 0, 1, 2);
    grid->addWidget(clipText, row++, 2, Qt::AlignRight);
    grid->addWidget(clipSlider, row++, 0, 1, 3);
    grid->addWidget(musicCheck, row++, 0, 1, 3);
    grid->addWidget(musicHint, row, 0, 1, 2);
    grid->addWidget(musicText, row++, 2, Qt::AlignRight);
    grid->addWidget(musicMinHint, row, 0);
    grid->addWidget(musicSlider, row, 1);
    grid->addWidget(musicMaxHint, row++, 2);
    grid->addWidget(ok, row, 2, Qt::AlignRight);
    for (DoubleSlider* slider : {photoSlider, transitionSlider, clipSlider, musicSlider})
        slider->setMinimumWidth(220);
}

void VideoItemPropertyViewController::awakeFromNib() {
    dataDirty = false;
    outputVolumeChange = false;
    button_text_color::setTextColor(*musicCheck, Qt::white);
    if (!slide)
        return;
    fill(*photoSlider, slide->clipDuration());
    photoText->setText(durationText(slide->clipDuration()));
    // Shown, never edited: the row reads as disabled, its figures as well as its slider.
    photoSlider->setEnabled(false);
    for (QLabel* label : {photoCaption, photoText})
        colourText(*label, kDisabledText);
    transitionSeconds = slide->fSecTransitionDuration();
    fill(*transitionSlider, transitionSeconds);
    transitionText->setText(durationText(transitionSeconds));
    fill(*clipSlider, slide->fltOutputVolume());
    clipText->setText(levelText(slide->fltOutputVolume()));
    fill(*musicSlider, slide->fltBKMusicVolume());
    musicText->setText(levelText(slide->fltBKMusicVolume()));
    const bool customised = slide->isCustomizedBKMusicVolume();
    {
        const QSignalBlocker quiet(musicCheck);
        musicCheck->setChecked(customised);
    }
    enableBKMusicVolumeControls(customised);
}

void VideoItemPropertyViewController::enableBKMusicVolumeControls(bool enabled) {
    for (QLabel* label : {musicMinHint, musicMaxHint, musicHint, musicText})
        colourText(*label, enabled ? kEnabledText : kDisabledText);
    musicSlider->setEnabled(enabled);
}

// On only opens the slider; the slide stays uncustomised until the slider moves.
void VideoItemPropertyViewController::checkboxEnableChangeBKMusicVolumeClicked() {
    const bool on = musicCheck->isChecked();
    enableBKMusicVolumeControls(on);
    if (on || !slide)
        return;
    slide->resetCustomizedBKMusicVolumeFlag();
    musicText->setText(levelText(slide->fltBKMusicVolume()));
    fill(*musicSlider, slide->fltBKMusicVolume());
    dataDirty = true;
}

void VideoItemPropertyViewController::sliderTransitionDurationValueChanged() {
    const double value = transitionSlider->doubleValue();
    transitionText->setText(QString::asprintf("%.1fs", value));
    transitionSeconds = float(value);
    dataDirty = true;
}

void VideoItemPropertyViewController::sliderVideoClipVolumeValueChanged() {
    const double value = clipSlider->doubleValue();
    clipText->setText(levelText(value));
    if (slide)
        slide->setFltOutputVolume(float(value));
    dataDirty = true;
    outputVolumeChange = true;
}

void VideoItemPropertyViewController::sliderBKMusicVolumeValueChanged() {
    const double value = musicSlider->doubleValue();
    musicText->setText(levelText(value));
    if (slide)
        slide->customizeBKMusicVolume(float(value));
    dataDirty = true;
}

void VideoItemPropertyViewController::buttonOKClicked() {
    platform::NotificationCenter::defaultCenter().post(kNotifyCloseVideoItemPropertyPanel);
}

void VideoItemPropertyViewController::handleProjectDataChanged() {
    if (applied || !slide)
        return;
    applied = true;
    if (std::abs(slide->fSecTransitionDuration() - transitionSeconds) > kTolerance) {
        slide->setFSecTransitionDuration(transitionSeconds);
        slide->setBCustomDurationFlag(true);
        dataDirty = true;
    }
    if (dataDirty)
        if (const auto project = projectSource())
            project->setBIsDirty(true);
    if (outputVolumeChange)
        slide->changePlayVolumeHandle();
}
