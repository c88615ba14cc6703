#include "ui/main/SlideshowWindowControllerObj.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StringTable.h"
#include "ui/UiNotifications.h"
#include "ui/main/ImageBrowserObject.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QLayout>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

const QColor kChosenBlue(74, 155, 255);
const QColor kPlainWhite(235, 235, 240);
constexpr int kIconSize = 32;

struct Entry {
    const char* title;
    const char* image;
    const char* alternateImage;
    void (ImageBrowserObject::*show)(QObject*);
};

const Entry kEntries[] = {
    {"Images", "121-landscape_blue", "121-landscape_white", &ImageBrowserObject::switchToPhotoMediaView},
    {"Video", "video_camera_blue", "video_camera_white", &ImageBrowserObject::switchToVideoMediaView},
    {"Music", "music_icon&24_blue", "music_icon&24_white", &ImageBrowserObject::switchToMusicMediaView},
    {"Theme", "98-palette_blue", "98-palette_white", &ImageBrowserObject::switchToThemeView},
    {"Options", "19-gear_blue", "19-gear_white", &ImageBrowserObject::switchToOptionsView},
};
constexpr unsigned kEntryCount = sizeof(kEntries) / sizeof(kEntries[0]);

void drawLandscape(QPainter& painter) {
    painter.drawRoundedRect(QRectF(4, 7, 24, 18), 2, 2);
    QPainterPath hills;
    hills.moveTo(6, 23);
    hills.lineTo(13, 14);
    hills.lineTo(18, 19);
    hills.lineTo(21, 16);
    hills.lineTo(26, 23);
    painter.fillPath(hills, painter.pen().color());
    painter.setBrush(painter.pen().color());
    painter.drawEllipse(QPointF(21, 12), 2, 2);
}

void drawCamera(QPainter& painter) {
    painter.setBrush(painter.pen().color());
    painter.drawRoundedRect(QRectF(3, 10, 18, 13), 2, 2);
    painter.drawPolygon(QPolygonF({QPointF(22, 16.5), QPointF(29, 11), QPointF(29, 22)}));
}

void drawNote(QPainter& painter) {
    painter.setBrush(painter.pen().color());
    painter.drawEllipse(QPointF(10, 23), 4, 3);
    painter.drawEllipse(QPointF(23, 21), 4, 3);
    painter.drawPolygon(
        QPolygonF({QPointF(13, 23), QPointF(13, 8), QPointF(27, 5), QPointF(27, 21), QPointF(25.5, 21),
                   QPointF(25.5, 9), QPointF(14.5, 11.2), QPointF(14.5, 23)}));
}

void drawPalette(QPainter& painter) {
    QPainterPath palette;
    palette.addEllipse(QRectF(3, 6, 26, 21));
    for (const QPointF& hole : {QPointF(10, 12), QPointF(17, 10), QPointF(23, 14), QPointF(11, 19)})
        palette.addEllipse(hole, 2.2, 2.2);
    palette.addEllipse(QPointF(20, 21), 3, 3);
    palette.setFillRule(Qt::OddEvenFill);
    painter.fillPath(palette, painter.pen().color());
}

void drawGear(QPainter& painter) {
    QPainterPath gear;
    const QPointF centre(16, 16);
    constexpr int kTeeth = 8;
    for (int i = 0; i < kTeeth * 4; ++i) {
        const double angle = (i - 0.5) * M_PI / (kTeeth * 2);
        const double radius = (i % 4 < 2) ? 13.0 : 10.0;
        const QPointF point = centre + QPointF(std::cos(angle), std::sin(angle)) * radius;
        i == 0 ? gear.moveTo(point) : gear.lineTo(point);
    }
    gear.closeSubpath();
    gear.addEllipse(centre, 4.5, 4.5);
    gear.setFillRule(Qt::OddEvenFill);
    painter.fillPath(gear, painter.pen().color());
}

} // namespace

SlideshowWindowControllerObj::SlideshowWindowControllerObj(const Views& views, QObject* parent)
    : QObject(parent), ui(views) {
    terminate = [] { QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection); };
    if (ui.mainWindow)
        ui.mainWindow->installEventFilter(this);
    if (ui.splitView)
        connect(ui.splitView, &QSplitter::splitterMoved, this, [this] { postSizeChanged(); });
}

void SlideshowWindowControllerObj::awakeFromNib() {
    if (awoken)
        return;
    awoken = true;
    fullScreen = false;
    timelineWindowController = nullptr;
    mediaBrowserWidth = 350;
    positionSubView();
    setupSideBar();
}

void SlideshowWindowControllerObj::positionSubView() {
    if (fullScreen || !ui.rightPanelView || !ui.mediaBrowserView)
        return;
    QLayout* host = ui.rightPanelView->layout();
    if (host && host->indexOf(ui.mediaBrowserView) < 0) {
        host->addWidget(ui.mediaBrowserView);
        ui.mediaBrowserView->show();
    }
}

QImage SlideshowWindowControllerObj::buildSelectionImage(const QColor& fill) {
    QImage notch(12, 22, QImage::Format_ARGB32_Premultiplied);
    notch.fill(Qt::transparent);
    QPainter painter(&notch);
    painter.setRenderHint(QPainter::Antialiasing);
    // The right-hand corners lie a point outside the picture: only the slanted edges show.
    const QPolygonF path({QPointF(13, 0), QPointF(0, 11), QPointF(13, 22)});
    painter.setBrush(fill);
    painter.setPen(QPen(Qt::darkGray, 1.0));
    painter.drawPolygon(path);
    return notch;
}

QIcon SlideshowWindowControllerObj::sideBarIcon(const QString& name) {
    QPixmap picture(kIconSize, kIconSize);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(name.endsWith(QLatin1String("_blue")) ? kChosenBlue : kPlainWhite, 2.0));
    if (name.startsWith(QLatin1String("121-landscape")))
        drawLandscape(painter);
    else if (name.startsWith(QLatin1String("video_camera")))
        drawCamera(painter);
    else if (name.startsWith(QLatin1String("music_icon")))
        drawNote(painter);
    else if (name.startsWith(QLatin1String("98-palette")))
        drawPalette(painter);
    else if (name.startsWith(QLatin1String("19-gear")))
        drawGear(painter);
    return QIcon(picture);
}

void SlideshowWindowControllerObj::setupSideBar() {
    SDSideBar* bar = ui.sideBarDefault;
    if (!bar)
        return;
    bar->setLayoutMode(SDSideBar::Top);
    bar->setAnimateSelection(true);
    bar->setSidebarDelegate(this);
    const QColor panel = ui.rightPanelView ? ui.rightPanelView->palette().color(QPalette::Window)
                                           : QApplication::palette().color(QPalette::Window);
    bar->setSelectionImage(buildSelectionImage(panel));
    for (const Entry& entry : kEntries) {
        QAbstractButton* button = bar->addButtonWithTitle(tr_(entry.title), sideBarIcon(entry.image),
                                                          sideBarIcon(entry.alternateImage));
        button->setObjectName(QStringLiteral("sideBar%1").arg(entry.title));
        button->setToolTip(tr_(entry.title));
    }
    bar->selectButtonAtRow(0);
    bar->setNoiseAlpha(0.01);
}

void SlideshowWindowControllerObj::sideBarDidSelectButton(SDSideBar&, unsigned index) {
    ImageBrowserObject* browser = ui.mediaBrowserObj;
    if (!browser)
        return;
    if (index < kEntryCount)
        (browser->*kEntries[index].show)(nullptr);
    else if (index == kEntryCount)
        browser->switchToOptionsView(nullptr);
}

void SlideshowWindowControllerObj::postSizeChanged() {
    platform::NotificationCenter::defaultCenter().post(kNotifyWindowSizeChanged);
}

void SlideshowWindowControllerObj::windowDidResize() {
    if (!fullScreen)
        positionSubView();
    postSizeChanged();
}

void SlideshowWindowControllerObj::windowWillEnterFullScreen() {
    // Set before the window changes size, so the resizes of the change do not re-place the views.
    fullScreen = true;
    if (ui.leftPanelView)
        ui.leftPanelView->update();
}

void SlideshowWindowControllerObj::windowDidEnterFullScreen() {
    postSizeChanged();
}

void SlideshowWindowControllerObj::windowWillExitFullScreen() {
    if (timelineWindowController)
        timelineWindowController->close();
}

void SlideshowWindowControllerObj::windowDidExitFullScreen() {
    fullScreen = false;
    postSizeChanged();
}

void SlideshowWindowControllerObj::toggleFullScreenClicked() {
    if (!ui.mainWindow)
        return;
    // Qt tells only of a finished change, and not on every platform: the toggle runs the steps itself,
    // setting the flag before the window changes size.
    toggling = true;
    if (!fullScreen) {
        windowWillEnterFullScreen();
        ui.mainWindow->showFullScreen();
        windowDidEnterFullScreen();
    } else {
        windowWillExitFullScreen();
        ui.mainWindow->showNormal();
        windowDidExitFullScreen();
    }
    toggling = false;
}

bool SlideshowWindowControllerObj::windowShouldClose() {
    if (terminate)
        terminate();
    return true;
}

bool SlideshowWindowControllerObj::eventFilter(QObject* watched, QEvent* event) {
    if (watched != ui.mainWindow)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Resize:
        windowDidResize();
        break;
    case QEvent::WindowStateChange: {
        // Changes made elsewhere (the window manager's own full-screen key).
        const bool isFull = ui.mainWindow->windowState() & Qt::WindowFullScreen;
        if (toggling || isFull == fullScreen)
            break;
        if (isFull) {
            windowWillEnterFullScreen();
            windowDidEnterFullScreen();
        } else {
            windowDidExitFullScreen();
        }
        break;
    }
    case QEvent::Close:
        // Filters run newest first: one that keeps the window open has already eaten the event.
        windowShouldClose();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
