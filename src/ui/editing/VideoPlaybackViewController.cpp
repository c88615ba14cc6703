#include "ui/editing/VideoPlaybackViewController.h"

#include "platform/foundation/StringTable.h"
#include "ui/editing/VideoFrameImage.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QVideoFrame>
#include <QVideoSink>

#include <cmath>

namespace {

constexpr int kSliderStepsPerSecond = 10;

QPushButton* controlButton(const QString& name, const QString& title, QWidget* parent) {
    auto* button = new QPushButton(title, parent); // the view owns its parts
    button->setObjectName(name);
    button->setFocusPolicy(Qt::NoFocus);
    button->setEnabled(false);
    return button;
}

QLabel* notice(const QString& name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent); // the view owns its parts
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    label->hide();
    return label;
}

} // namespace

QString ClipPlaybackRules::playPauseTitle(double rate) {
    return rate == 1.0 ? tr_("Pause") : tr_("Play");
}

// ---- the picture

PlayerView::PlayerView(QWidget* parent) : QWidget(parent), sink(new QVideoSink(this)) {
    setObjectName("playerView");
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(sink, &QVideoSink::videoFrameChanged, this, [this](const QVideoFrame& next) {
        frame = imageOfVideoFrame(next);
        update();
    });
}

void PlayerView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (frame.isNull())
        return;
    QSizeF fitted = QSizeF(frame.size()).scaled(QSizeF(size()), Qt::KeepAspectRatio);
    const QRectF target(QPointF((width() - fitted.width()) / 2.0, (height() - fitted.height()) / 2.0),
                        fitted);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, frame);
}

// ---- the controller

VideoPlaybackViewController::VideoPlaybackViewController(std::shared_ptr<platform::Scheduler> scheduler,
                                                         PlayerFactory makePlayer, QWidget* parent)
    : QWidget(parent), clock(std::move(scheduler)), factory(std::move(makePlayer)),
      view(new PlayerView(this)), spinner(new QProgressBar(this)),
      unplayable(notice("unplayableLabel", tr_("This clip cannot be played."), this)),
      noVideo(notice("noVideoLabel", tr_("This clip has no pictures."), this)),
      playPause(controlButton("playPauseButton", tr_("Play"), this)),
      forward(controlButton("fastForwardButton", QStringLiteral(">>"), this)),
      backward(controlButton("rewindButton", QStringLiteral("<<"), this)),
      slider(new QSlider(Qt::Horizontal, this)) {
    setObjectName("VideoPlaybackViewController");
    spinner->setObjectName("loadingSpinner");
    spinner->setRange(0, 0); // busy
    spinner->setMaximumWidth(120);
    spinner->setTextVisible(false);
    spinner->hide();
    slider->setObjectName("timeSlider");
    slider->setRange(0, 0);
    forward->setToolTip(tr_("Fast Forward"));
    backward->setToolTip(tr_("Rewind"));
    layOut();
    connect(playPause, &QPushButton::clicked, this, &VideoPlaybackViewController::playPauseToggle);
    connect(forward, &QPushButton::clicked, this, &VideoPlaybackViewController::fastForward);
    connect(backward, &QPushButton::clicked, this, &VideoPlaybackViewController::rewind);
    connect(slider, &QSlider::sliderMoved, this,
            [this](int value) { setCurrentTime(double(value) / kSliderStepsPerSecond); });
}

VideoPlaybackViewController::~VideoPlaybackViewController() {
    stopPlaying();
}

void VideoPlaybackViewController::layOut() {
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    setPalette(palette);
    auto* grid = new QGridLayout(this); // the view owns its layout
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    grid->addWidget(view, 0, 0);
    grid->addWidget(spinner, 0, 0, Qt::AlignCenter);
    grid->addWidget(unplayable, 0, 0, Qt::AlignCenter);
    grid->addWidget(noVideo, 0, 0, Qt::AlignCenter);
    auto* controls = new QWidget(this);
    controls->setObjectName("clipPlayerControls");
    auto* row = new QHBoxLayout(controls);
    row->setContentsMargins(10, 4, 10, 4);
    row->addWidget(backward);
    row->addWidget(playPause);
    row->addWidget(forward);
    row->addSpacing(8);
    row->addWidget(slider, 1);
    grid->addWidget(controls, 1, 0);
    grid->setRowStretch(0, 1);
}

void VideoPlaybackViewController::loadVideoFromURL(const QString& path,
                                                   std::shared_ptr<VideoSlideItem> clip) {
    stopPlaying();
    slide = std::move(clip);
    spinner->show();
    unplayable->hide();
    noVideo->hide();
    mediaPlayer = factory();
    if (!mediaPlayer)
        return;
    connect(mediaPlayer.get(), &ClipMediaPlayer::statusChanged, this,
            &VideoPlaybackViewController::statusChanged);
    connect(mediaPlayer.get(), &ClipMediaPlayer::rateChanged, this,
            &VideoPlaybackViewController::rateChanged);
    mediaPlayer->setVideoSink(view->videoSink());
    mediaPlayer->setSource(path);
    if (slide)
        mediaPlayer->setVolume(slide->fltOutputVolume());
    if (mediaPlayer->status() != ClipMediaPlayer::Status::Loading)
        statusChanged();
}

void VideoPlaybackViewController::statusChanged() {
    switch (mediaPlayer->status()) {
    case ClipMediaPlayer::Status::Ready:
        setUpPlayback();
        enableButtons(true);
        break;
    case ClipMediaPlayer::Status::Unplayable:
        stopLoadingAnimation();
        unplayable->show();
        enableButtons(false);
        break;
    case ClipMediaPlayer::Status::Failed:
        stopLoadingAnimation();
        enableButtons(false);
        break;
    case ClipMediaPlayer::Status::Loading:
        enableButtons(false);
        break;
    }
}

// A clip without pictures still plays its sound.
void VideoPlaybackViewController::setUpPlayback() {
    stopLoadingAnimation();
    if (!mediaPlayer->hasVideo())
        noVideo->show();
    else if (mediaPlayer->rate() == 0.0)
        mediaPlayer->pause(); // a paused player shows the clip's first picture; a stopped one shows black
    slider->setRange(0, int(std::ceil(duration() * kSliderStepsPerSecond)));
    if (!timeObserverToken.isActive())
        timeObserverToken = clock->scheduleRepeating(kObserverPeriod, [this] { showTime(); });
}

void VideoPlaybackViewController::showTime() {
    if (!slider->isSliderDown())
        slider->setValue(int(std::lround(currentTime() * kSliderStepsPerSecond)));
}

void VideoPlaybackViewController::stopLoadingAnimation() {
    spinner->hide();
}

void VideoPlaybackViewController::enableButtons(bool enabled) {
    for (QPushButton* button : {playPause, forward, backward})
        button->setEnabled(enabled);
}

void VideoPlaybackViewController::rateChanged(double) {
    playPause->setText(ClipPlaybackRules::playPauseTitle(rate()));
}

void VideoPlaybackViewController::stopPlaying() {
    stopBackwardSteps();
    timeObserverToken.cancel();
    if (!mediaPlayer)
        return;
    disconnect(mediaPlayer.get(), nullptr, this, nullptr);
    mediaPlayer->pause();
    mediaPlayer.reset();
}

// ---- the buttons

// ---- no document

namespace {

void setUnimplemented(platform::Error* error) {
    if (error)
        *error = platform::Error(QString::fromLatin1(VideoPlaybackViewController::kOSStatusErrorDomain),
                                 VideoPlaybackViewController::kUnimplementedError);
}

} // namespace

QByteArray VideoPlaybackViewController::dataOfType(const QString&, platform::Error* error) const {
    setUnimplemented(error);
    return {};
}

// Nothing was read: a failure, whatever the error says.
bool VideoPlaybackViewController::readFromData(const QByteArray&, const QString&, platform::Error* error) {
    setUnimplemented(error);
    return false;
}

double VideoPlaybackViewController::duration() const {
    return mediaPlayer && mediaPlayer->status() == ClipMediaPlayer::Status::Ready ? mediaPlayer->duration()
                                                                                  : 0.0;
}

double VideoPlaybackViewController::currentTime() const {
    return mediaPlayer ? mediaPlayer->position() : 0.0;
}

void VideoPlaybackViewController::setCurrentTime(double seconds) {
    if (mediaPlayer)
        mediaPlayer->setPosition(double(std::lround(seconds)));
}

double VideoPlaybackViewController::rate() const {
    if (backwardSteps.isActive())
        return backwardRate;
    return mediaPlayer ? mediaPlayer->rate() : 0.0;
}

void VideoPlaybackViewController::playPauseToggle() {
    if (!mediaPlayer)
        return;
    if (rate() == 1.0) {
        mediaPlayer->pause();
        rateChanged(0.0);
        return;
    }
    stopBackwardSteps();
    if (currentTime() >= duration())
        mediaPlayer->setPosition(0.0);
    mediaPlayer->setRate(1.0);
    mediaPlayer->play();
    rateChanged(1.0);
}

void VideoPlaybackViewController::fastForward() {
    if (!mediaPlayer)
        return;
    const double next = ClipPlaybackRules::fastForwardRate(rate());
    stopBackwardSteps();
    mediaPlayer->setRate(next);
    rateChanged(next);
}

void VideoPlaybackViewController::rewind() {
    if (!mediaPlayer)
        return;
    const double next = ClipPlaybackRules::rewindRate(rate());
    if (mediaPlayer->setRate(next))
        stopBackwardSteps();
    else
        startBackwardSteps(next);
    rateChanged(next);
}

// ---- playing backwards by steps

void VideoPlaybackViewController::startBackwardSteps(double stepRate) {
    mediaPlayer->pause();
    backwardRate = stepRate;
    if (!backwardSteps.isActive())
        backwardSteps = clock->scheduleRepeating(kObserverPeriod, [this] { stepBackward(); });
}

void VideoPlaybackViewController::stopBackwardSteps() {
    backwardSteps.cancel();
    backwardRate = 0.0;
}

// At the clip's start it stops, as a player does.
void VideoPlaybackViewController::stepBackward() {
    const double next = std::max(0.0, currentTime() + backwardRate * kObserverPeriod);
    mediaPlayer->setPosition(next);
    showTime();
    if (next <= 0.0) {
        stopBackwardSteps();
        rateChanged(0.0);
    }
}
