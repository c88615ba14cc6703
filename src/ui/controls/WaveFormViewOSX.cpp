#include "ui/controls/WaveFormViewOSX.h"

#include "platform/foundation/MainThread.h"
#include "platform/media/AudioPlayer.h"
#include "ui/UiNotifications.h"
#include "ui/controls/SpinningProgressIndicator.h"

#include <QFontDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

const QColor kGreen(143, 196, 72);      // panel border
const QColor kGray(64, 63, 65);         // panel fill
const QColor kLightGray(75, 75, 75);    // wave and status boxes
const QColor kGreenWave(218, 218, 218); // the outline, a light grey
const QColor kDarkGray(47, 47, 48);     // outline of the play and pause glyphs
const QColor kStatusText(0, 255, 0);    // the status line
constexpr double kSmallControlWidth = 40.0;

QFont miniLabelFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::SmallestReadableFont);
    font.setPointSizeF(9.0);
    return font;
}

} // namespace

WaveFormViewOSX::WaveFormViewOSX(const QRect& frame, QWidget* parent,
                                 std::shared_ptr<platform::Scheduler> scheduler)
    : QWidget(parent) {
    setObjectName("WaveFormViewOSX");
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    spinner = new SpinningProgressIndicator(this, std::move(scheduler));
    spinner->hide();
    setInfoString(QStringLiteral("No Audio"));
    auto& center = platform::NotificationCenter::defaultCenter();
    stopObserver = platform::ObserverHandle(
        center, center.addObserver(kNotifyStopPlayingMusic, [this, poster = gate.poster()](
                                                                const platform::Notification& notification) {
            poster.post([this, notification] { StopPlayingNotify(notification); });
        }));
    setGeometry(frame);
    placeProgress();
}

WaveFormViewOSX::~WaveFormViewOSX() = default;

// ---- geometry

QRectF WaveFormViewOSX::statusRect() const {
    return QRectF(6.0, 6.0, width() - 9.0, 16.0);
}

QRectF WaveFormViewOSX::waveRect() const {
    const QRectF status = statusRect();
    const double y = status.y() + status.height() + 2.0;
    return QRectF(6.0, y, width() - 9.0, height() - 6.0 - y);
}

QRectF WaveFormViewOSX::progressRect() const {
    return QRectF(10.0, 10.0, height() - 20.0, height() - 20.0);
}

QRectF WaveFormViewOSX::toWidget(const QRectF& rect) const {
    return QRectF(rect.x(), height() - rect.y() - rect.height(), rect.width(), rect.height());
}

void WaveFormViewOSX::placeProgress() {
    const QRectF square = progressRect();
    spinner->setControlSize(square.width() < kSmallControlWidth
                                ? SpinningProgressIndicator::ControlSize::Small
                                : SpinningProgressIndicator::ControlSize::Regular);
    spinner->setGeometry(toWidget(square).toRect());
}

// ---- the song

void WaveFormViewOSX::openAudioURL(const QUrl& url, const QString& title) {
    player.reset();
    outline.clear();
    update();
    spinner->show();
    spinner->startAnimation();
    provider = std::make_unique<WaveSampleProvider>(url, title);
    provider->setDelegate(this);
    provider->createSampleData();
}

void WaveFormViewOSX::statusUpdated(WaveSampleProvider&, int, const QString& message) {
    setInfoString(message);
}

// A failure leaves its message in the status line, and the spinner turning.
void WaveFormViewOSX::sampleProcessed(WaveSampleProvider& source, int status) {
    if (status != WaveSampleProvider::Loaded)
        return;
    int filled = 0;
    const std::vector<float> values = source.dataForResolution(kResolution, &filled);
    setSampleData(values, filled);
    setInfoString(QString());
    setTimeString(QString::asprintf("%02d:%02d", source.minute(), source.sec()));
    startAudio();
    createBackgroundImage();
}

void WaveFormViewOSX::setSampleData(const std::vector<float>& values, int n) {
    n = std::clamp(n, 0, int(values.size()));
    std::vector<QPointF> points;
    points.reserve(std::size_t(n) + 2);
    points.emplace_back(0.0, 0.0);
    for (int i = 0; i < n; ++i)
        points.emplace_back(double(i + 1), double(values[std::size_t(i)]));
    points.emplace_back(double(n + 1), 0.0);
    outline = std::move(points);
    spinner->hide();
    spinner->stopAnimation();
    update();
}

void WaveFormViewOSX::setInfoString(const QString& text) {
    const QString title = provider ? provider->title() : QString();
    info = title.isEmpty() ? text : QStringLiteral("%1 (%2)").arg(text, title);
    update();
}

void WaveFormViewOSX::setTimeString(const QString& text) {
    time = text;
    update();
}

// ---- the player nobody makes

void WaveFormViewOSX::pauseAudio() {
    if (player && player->isPlaying()) {
        player->pause();
        setInfoString(QStringLiteral("Paused"));
        return;
    }
    if (player)
        player->play();
    else
        startAudio();
    setInfoString(QStringLiteral("Playing"));
}

void WaveFormViewOSX::StopPlayingNotify(const platform::Notification&) {
    if (!player || !player->isPlaying())
        return;
    player->pause();
    setInfoString(QStringLiteral("Paused"));
}

// ---- drawing

void WaveFormViewOSX::createBackgroundImage() {
    if (width() <= 0.5 || height() <= 0.5) {
        background = QPixmap();
        return;
    }
    const qreal ratio = devicePixelRatioF();
    QPixmap picture(size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    drawRect_Sub(painter);
    painter.end();
    background = picture;
}

void WaveFormViewOSX::paintEvent(QPaintEvent*) {
    if (background.isNull())
        return;
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawPixmap(rect(), background);
}

// The picture is made again once the resize has returned, as one queued call per resize.
void WaveFormViewOSX::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeProgress();
    QMetaObject::invokeMethod(
        this,
        [this] {
            createBackgroundImage();
            update();
        },
        Qt::QueuedConnection);
}

void WaveFormViewOSX::drawRect_Sub(QPainter& painter) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    drawRoundRect(painter, QRectF(0, 0, width(), height()), kGray, kGreen, 8.0, 2.0);
    drawRoundRect(painter, waveRect(), kLightGray, kLightGray, 4.0, 2.0);
    drawRoundRect(painter, statusRect(), kLightGray, kLightGray, 4.0, 2.0);
    drawWave(painter);
    painter.restore();
    const QRectF status = statusRect();
    drawText(painter, info, QRectF(status.x() + 4.0, status.y(), status.width() - 65.0, status.height()),
             Qt::AlignLeft, kStatusText);
    drawText(painter, time, QRectF(status.x() + status.width() - 65.0, status.y(), 60.0, status.height()),
             Qt::AlignRight, kStatusText);
}

void WaveFormViewOSX::drawRoundRect(QPainter& painter, const QRectF& rect, const QColor& fill,
                                    const QColor& stroke, double radius, double lineWidth) {
    const QRectF inset =
        toWidget(rect).adjusted(lineWidth * 0.5, lineWidth * 0.5, -lineWidth * 0.5, -lineWidth * 0.5);
    if (!std::isfinite(inset.width()) || inset.width() <= 0.0 || inset.height() <= 0.0)
        return;
    QPainterPath path;
    path.addRoundedRect(inset, radius, radius);
    QPen pen(stroke);
    pen.setWidthF(lineWidth);
    painter.fillPath(path, fill);
    painter.strokePath(path, pen);
}

// The outline, once above the centre line and once mirrored below it, stroked and then filled.
void WaveFormViewOSX::drawWave(QPainter& painter) {
    if (outline.empty())
        return;
    const QRectF wave = waveRect();
    const double sx = (wave.width() - 12.0) / double(outline.size());
    const double hh = std::floor(wave.height() * 0.5);
    const double amplitude = hh - 6.0;
    const double centreY = height() - (wave.y() + hh); // widget coordinates
    QPainterPath path;
    for (const double sign : {1.0, -1.0}) {
        QPolygonF line;
        line.reserve(qsizetype(outline.size()));
        for (const QPointF& point : outline)
            line << QPointF(wave.x() + 6.0 + point.x() * sx, centreY - sign * point.y() * amplitude);
        path.addPolygon(line);
    }
    painter.setPen(QPen(kGreenWave, 1.0));
    painter.drawPath(path);
    painter.fillPath(path, kGreenWave);
}

void WaveFormViewOSX::drawText(QPainter& painter, const QString& text, const QRectF& rect,
                               Qt::Alignment alignment, const QColor& colour) {
    if (text.isNull() || rect.width() <= 0.0)
        return;
    const QRectF box = toWidget(rect);
    painter.save();
    painter.setClipRect(box);
    painter.setFont(miniLabelFont());
    painter.setPen(colour);
    // Right-aligned text keeps one point off the edge.
    const QRectF area = alignment & Qt::AlignRight ? box.adjusted(0.0, 0.0, -1.0, 0.0) : box;
    painter.drawText(area, int(alignment | Qt::AlignVCenter), text);
    painter.restore();
}

void WaveFormViewOSX::drawTextCentered(QPainter& painter, const QString& text, const QRectF& rect,
                                       const QColor& colour) {
    drawText(painter, text, rect, Qt::AlignHCenter, colour);
}

// ---- the play and pause glyphs

void WaveFormViewOSX::drawPlay(QPainter& painter, const QRectF& rect) {
    double margin = std::max(6.0, 0.22 * rect.width());
    if (std::isnan(margin))
        margin = 6.0;
    const QPolygonF triangle({QPointF(rect.x() + margin, rect.y() + margin),
                              QPointF(rect.x() + rect.width() - margin, rect.y() + rect.height() * 0.5),
                              QPointF(rect.x() + margin, rect.y() + rect.height() - margin)});
    QPolygonF shown;
    for (const QPointF& corner : triangle)
        shown << QPointF(corner.x(), height() - corner.y());
    painter.save();
    // The margin's floor would put a glyph outside a rectangle narrower than 27 points (and around the
    // point of an empty one): it stays inside.
    painter.setClipRect(toWidget(rect));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kDarkGray, 1.0));
    painter.setBrush(kGreen);
    painter.drawPolygon(shown);
    painter.restore();
}

// Each bar is half the width less the margin; its height counts from the rectangle's y, as the panel's
// pictures always had it.
void WaveFormViewOSX::drawPause(QPainter& painter, const QRectF& rect) {
    const double margin = 0.22 * rect.width();
    const double barWidth = rect.width() * 0.5 - margin;
    const double barHeight = rect.y() + rect.height() - 2.0 * margin;
    if (!(barWidth > 0.0) || !(barHeight > 0.0))
        return;
    const double bottom = margin + 2.0;
    painter.save();
    painter.setPen(QPen(kDarkGray, 1.0));
    painter.setBrush(kGreen);
    for (const double left : {rect.x() + margin - margin / 3.0, rect.x() + rect.width() * 0.5 + margin / 3.0})
        painter.drawRect(toWidget(QRectF(left, bottom, barWidth, barHeight)));
    painter.restore();
}

// ---- clicks

void WaveFormViewOSX::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::RightButton || (event->modifiers() & Qt::ControlModifier))
        platform::NotificationCenter::defaultCenter().post(kNotifyShowMusicList);
}

void WaveFormViewOSX::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton)
        platform::NotificationCenter::defaultCenter().post(kNotifyShowMusicList);
}
