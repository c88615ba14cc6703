#include "ui/editing/MusicTimelineViewController.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/NotificationCenter.h"
#include "render/DrawUtils.h"
#include "ui/UiNotifications.h"
#include "ui/editing/MusicTimelineLayout.h"
#include "ui/editing/ResourceImage.h"

#include <QAbstractScrollArea>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>

namespace {

QBrush waveformPattern(const QImage& picture) {
    return picture.isNull() ? QBrush(Qt::darkGray) : CreatePatternColorFromImage(picture);
}

QFont labelFont() {
    QFont font(QStringLiteral("Times"));
    font.setStyleHint(QFont::Serif);
    font.setPointSizeF(15.0);
    return font;
}

} // namespace

// ---- the strip

MusicTimelineView::MusicTimelineView(const QRect& frame, QWidget* parent)
    : QWidget(parent), waveform1(resourceImage(QStringLiteral("wavefrom-22-1.png"))),
      waveform2(resourceImage(QStringLiteral("wavefrom-1-1.png"))) {
    setObjectName("musicTimelineView");
    setGeometry(frame);
}

void MusicTimelineView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF bounds = rect();
    const std::vector<QRectF> bands = music_timeline_layout::songBands(records, bounds);
    painter.setFont(labelFont());
    const QFontMetricsF metrics(painter.font());
    for (std::size_t i = 0; i < bands.size(); ++i) {
        const QRectF& band = bands[i];
        const bool even = i % 2 == 0;
        painter.fillRect(band, waveformPattern(even ? waveform1 : waveform2));
        const QString label = records[int(i)].toMap().value(QStringLiteral("desc")).toString();
        if (label.isEmpty())
            continue;
        const QSizeF text = metrics.size(Qt::TextSingleLine, label);
        painter.fillRect(QRectF(band.x(), bounds.y() + 1.0, text.width() + 18.0, bounds.height() - 2.0),
                         even ? firstLabel : secondLabel);
        painter.setPen(Qt::white);
        painter.drawText(
            QRectF(QPointF(band.x() + 1.0, bounds.y() + (bounds.height() - text.height()) * 0.5), text),
            Qt::AlignLeft | Qt::AlignTop, label);
    }
}

void MusicTimelineView::mousePressEvent(QMouseEvent* event) {
    postClick(*event);
}

// Every click posts, the second of a double click too.
void MusicTimelineView::mouseDoubleClickEvent(QMouseEvent* event) {
    postClick(*event);
}

void MusicTimelineView::postClick(const QMouseEvent& event) {
    const QPointF global = event.globalPosition();
    const double screenHeight = screen() ? screen()->virtualGeometry().height() : 0.0;
    const QWidget* frame = window();
    const QPointF inWindow = mapTo(frame, event.position());
    platform::NotificationCenter::defaultCenter().post(
        kNotifyMusicTimelineClicked, QVariant(),
        {{QStringLiteral("mouseLocation"), QPointF(global.x(), screenHeight - global.y())},
         {QStringLiteral("locationInWindow"), QPointF(inWindow.x(), frame->height() - inWindow.y())}});
}

// ---- the marker

TimelinePlayingIndicatorView::TimelinePlayingIndicatorView(QWidget* parent)
    : QLabel(parent), picture(resourceImage(QStringLiteral("indicator-1.png"))) {
    setObjectName("tlPlayingIndicatorView");
    setPixmap(QPixmap::fromImage(picture));
    resize(picture.size());
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

// ---- the controller

MusicTimelineViewController::MusicTimelineViewController(ProjectSource project, QObject* parent)
    : QObject(parent), projectSource(std::move(project)) {}

MusicTimelineViewController::~MusicTimelineViewController() = default;

MusicTimelineView* MusicTimelineViewController::view() {
    if (!strip)
        loadView();
    return strip;
}

void MusicTimelineViewController::loadView() {
    unhostedStrip = std::make_unique<MusicTimelineView>(QRect(0, 0, 500, 30));
    strip = unhostedStrip.get();
    if (host)
        adoptInto(host);
}

void MusicTimelineViewController::adoptInto(QWidget* parent) {
    strip->setParent(parent);
    strip->show();
    if (unhostedStrip.get() == strip.data())
        static_cast<void>(unhostedStrip.release()); // its parent owns it now
}

bool MusicTimelineViewController::createMusicTimelineViewIfNecessary(QWidget* hostView, const QRect& frame) {
    host = hostView;
    if (!strip) {
        unhostedStrip = std::make_unique<MusicTimelineView>(frame);
        strip = unhostedStrip.get();
        if (host)
            adoptInto(host);
    }
    if (!strip->parentWidget() && host)
        adoptInto(host);
    strip->setGeometry(frame);
    return true;
}

void MusicTimelineViewController::respondMusicArrayChanged() {
    MusicTimelineView* musicStrip = view();
    const auto project = projectSource();
    musicStrip->setSongDrawInfoArray(
        project ? music_timeline_layout::songDrawInfo(project->musicArray(), project->slideCount() > 0,
                                                      project->slideshowTotalDuration())
                : QVariantList());
    musicStrip->update();
}

void MusicTimelineViewController::refreshPlayintIndicator(quint64 currentFrame, quint64 totalFrames) {
    MusicTimelineView* musicStrip = view();
    if (totalFrames == 0) {
        musicStrip->setNumberAlphaFactor(QVariant());
        musicStrip->update();
        return;
    }
    QWidget* clip = host ? host->parentWidget() : nullptr; // frames the visible part of the host
    const QRect visible = clip ? clip->geometry() : QRect();
    if (!indicator) {
        unhostedIndicator = std::make_unique<TimelinePlayingIndicatorView>();
        indicator = unhostedIndicator.get();
        placeIndicator(visible.x() + visible.width() * 0.5 - indicator->width() * 0.5);
        if (clip && clip->parentWidget()) {
            indicator->setParent(clip->parentWidget());
            indicator->show();
            static_cast<void>(unhostedIndicator.release()); // its parent owns it now
        }
    }
    const music_timeline_layout::IndicatorStep step = music_timeline_layout::indicatorStep(
        currentFrame, totalFrames, musicStrip->width(), visible.x(), visible.width(), indicator->width());
    placeIndicator(step.markerX);
    if (auto* area = clip ? qobject_cast<QAbstractScrollArea*>(clip->parentWidget()) : nullptr)
        area->horizontalScrollBar()->setValue(int(step.scrollX));
    musicStrip->update();
}

// Two points above the bottom of the visible part, as the strip's own marker has always stood.
void MusicTimelineViewController::placeIndicator(double x) {
    QWidget* clip = host ? host->parentWidget() : nullptr;
    const QRect visible = clip ? clip->geometry() : QRect();
    const int y = visible.isNull() ? 2 : visible.bottom() + 1 - 2 - indicator->height();
    indicator->move(int(x), y);
}

// A strip not made yet has nothing to stop: stopping never makes one.
void MusicTimelineViewController::stopRefreshPlayintIndicator() {
    if (!strip)
        return;
    strip->setNumberAlphaFactor(QVariant());
    strip->update();
    if (!indicator)
        return;
    indicator->hide();
    indicator->setParent(nullptr);
    if (!unhostedIndicator)
        unhostedIndicator.reset(indicator.data());
    unhostedIndicator.reset();
}
