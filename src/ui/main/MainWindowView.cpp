#include "ui/main/MainWindowView.h"

#include "platform/foundation/StringTable.h"
#include "ui/controls/SDSideBar.h"
#include "ui/controls/TabStopButton.h"
#include "ui/editing/TimelineContentView.h"
#include "ui/editing/TimelineScrollView.h"
#include "ui/main/ApplicationLook.h"
#include "ui/main/ImageBrowserObject.h"
#include "ui/main/SlideshowWindowControllerObj.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

using application_look::kBarGrey;
using application_look::kWindowGrey;
constexpr int kSideBarWidth = 72;
constexpr int kSidePanelWidth = 350;

QPushButton* pushButton(const QString& name, const QString& title, QWidget* parent) {
    auto* button = new QPushButton(title, parent);
    button->setObjectName(name);
    tab_stop_button::makeTabStop(*button);
    return button;
}

// The step buttons' pictures, light on the dark bar: a triangle pointing back or on, with a bar at the
// end for first and last.
QIcon stepIcon(bool forward, bool toEnd) {
    QPixmap picture(40, 40);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(235, 235, 240));
    if (!forward) {
        painter.translate(40, 0);
        painter.scale(-1, 1);
    }
    const double left = toEnd ? 9 : 13;
    painter.drawPolygon(QPolygonF({QPointF(left, 10), QPointF(left + 18, 20), QPointF(left, 30)}));
    if (toEnd)
        painter.drawRect(QRectF(28, 10, 4, 20));
    return QIcon(picture);
}

QToolButton* stepButton(const QString& name, bool forward, bool toEnd, const QString& tip, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(stepIcon(forward, toEnd));
    button->setIconSize(QSize(20, 20));
    button->setToolTip(tip);
    button->setAutoRaise(true);
    tab_stop_button::makeTabStop(*button);
    return button;
}

QWidget* bar(const QString& name, const QColor& colour, QWidget* parent) {
    auto* widget = new QWidget(parent);
    widget->setObjectName(name);
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    return widget;
}

} // namespace

MainWindowView::MainWindowView(ProjectSource project, QWidget* parent)
    : QMainWindow(parent), projectSource(std::move(project)) {
    setObjectName("mainWindow");
    setWindowTitle(QStringLiteral("Vistrelle"));
    resize(1180, 760);
    outletSet.mainWindow = this;

    auto* central = new QWidget(this);
    central->setObjectName("mainWindowView");
    outletSet.mainWindowView = central;
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(makePhotoBar());
    column->addWidget(makeSplitView(), 1);
    column->addWidget(makeTimelineBar());

    auto* strip = new TimelineScrollView(projectSource, central);
    outletSet.scrollView1 = strip;
    outletSet.scrollContentView = strip->contentView();
    column->addWidget(strip);
    setCentralWidget(central);
    makeMenus();
    makeWindowObjects();
    // Space is Play's key: the window opens with the focus on no button, which would take it.
    outletSet.positionSlider->setFocus();
}

QWidget* MainWindowView::makeSplitView() {
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->setObjectName("splitView");
    split->setChildrenCollapsible(false);
    outletSet.splitView = split;

    QWidget* previewColumn = bar("splitRightView", kWindowGrey, split);
    auto* previewStack = new QVBoxLayout(previewColumn);
    previewStack->setContentsMargins(0, 0, 0, 0);
    previewStack->setSpacing(0);
    auto* preview = bar("previewHost", Qt::black, previewColumn);
    auto* previewLayout = new QVBoxLayout(preview);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    outletSet.previewHost = preview;
    outletSet.leftPanelView = preview;
    outletSet.splitRightView = previewColumn;
    previewStack->addWidget(preview, 1);
    previewStack->addWidget(makePreviewControls());
    previewColumn->setMinimumWidth(320);

    QWidget* sidePanel = bar("sidePanel", kWindowGrey, split);
    auto* sideRow = new QHBoxLayout(sidePanel);
    sideRow->setContentsMargins(0, 0, 0, 0);
    sideRow->setSpacing(0);
    auto* sideBar = new SDSideBar(sidePanel);
    sideBar->setObjectName("sideBarDefault");
    sideBar->setFixedWidth(kSideBarWidth);
    outletSet.sideBarDefault = sideBar;
    QWidget* right = bar("rightPanelView", kWindowGrey, sidePanel);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    outletSet.rightPanelView = right;
    auto* browser = new QWidget(right);
    browser->setObjectName("mediaBrowserView");
    outletSet.mediaBrowserView = browser;
    sideRow->addWidget(sideBar);
    sideRow->addWidget(right, 1);
    sidePanel->setMinimumWidth(kSideBarWidth + 240);

    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);
    split->setSizes({width() - kSideBarWidth - kSidePanelWidth, kSideBarWidth + kSidePanelWidth});
    return split;
}

void MainWindowView::makeWindowObjects() {
    auto* browser = new ImageBrowserObject(outletSet.mediaBrowserView, projectSource, this);
    browser->setObjectName("mediaBrowserObj");
    outletSet.mediaBrowserObj = browser;
    SlideshowWindowControllerObj::Views views;
    views.mainWindow = this;
    views.leftPanelView = outletSet.leftPanelView;
    views.rightPanelView = outletSet.rightPanelView;
    views.splitRightView = outletSet.splitRightView;
    views.mediaBrowserView = outletSet.mediaBrowserView;
    views.splitView = outletSet.splitView;
    views.sideBarDefault = outletSet.sideBarDefault;
    views.mediaBrowserObj = browser;
    auto* controller = new SlideshowWindowControllerObj(views, this);
    controller->setObjectName("windowController");
    outletSet.windowController = controller;
    connect(outletSet.toggleFullScreenMenuItem, &QAction::triggered, controller,
            &SlideshowWindowControllerObj::toggleFullScreenClicked);
}

QWidget* MainWindowView::makePhotoBar() {
    QWidget* photoBar = bar("toolbarView", kBarGrey, this);
    auto* row = new QHBoxLayout(photoBar);
    row->setContentsMargins(10, 6, 10, 6);
    outletSet.toolbarView = photoBar;
    outletSet.addPhotoButton = pushButton("addPhotoButton", tr_("Add Photos"), photoBar);
    outletSet.appendPhotoButton = pushButton("appendPhotoButton", tr_("Append Photos"), photoBar);
    outletSet.addVideoButton = pushButton("addVideoButton", tr_("Add Video"), photoBar);
    outletSet.addMusicButton = pushButton("addMusicButton", tr_("Add Music"), photoBar);
    outletSet.toolboxButton = pushButton("toolboxButton", tr_("Tools"), photoBar);
    row->addWidget(outletSet.addPhotoButton);
    row->addWidget(outletSet.appendPhotoButton);
    row->addWidget(outletSet.addVideoButton);
    row->addSpacing(12);
    row->addWidget(outletSet.addMusicButton);
    row->addStretch();
    row->addWidget(outletSet.toolboxButton);
    return photoBar;
}

QWidget* MainWindowView::makePreviewControls() {
    QWidget* controls = bar("previewControls", kWindowGrey, this);
    auto* row = new QHBoxLayout(controls);
    row->setContentsMargins(10, 4, 10, 4);
    // Made in the order of the row, which the Tab key follows.
    outletSet.firstImageButton = stepButton("firstImageButton", false, true, tr_("First"), controls);
    outletSet.previousImageButton =
        stepButton("previousImageButton", false, false, tr_("Previous"), controls);
    auto* play = pushButton("m_btnPlayStop", tr_("Play"), controls);
    play->setIconSize(QSize(20, 20));
    play->setMinimumWidth(96);
    outletSet.m_btnPlayStop = play;
    outletSet.nextImageButton = stepButton("nextImageButton", true, false, tr_("Next"), controls);
    outletSet.lastImageButton = stepButton("lastImageButton", true, true, tr_("Last"), controls);
    for (QAbstractButton* button : {outletSet.firstImageButton.data(), outletSet.previousImageButton.data()})
        row->addWidget(button);
    row->addStretch();
    row->addWidget(play);
    row->addStretch();
    for (QAbstractButton* button : {outletSet.nextImageButton.data(), outletSet.lastImageButton.data()})
        row->addWidget(button);
    return controls;
}

QWidget* MainWindowView::makeTimelineBar() {
    QWidget* timelineBar = bar("timelineToolbarView", kBarGrey, this);
    auto* row = new QHBoxLayout(timelineBar);
    row->setContentsMargins(10, 4, 10, 4);
    outletSet.timelineToolbarView = timelineBar;
    auto* time = new QLabel(QStringLiteral("00:00"), timelineBar);
    time->setObjectName("timelineTimeText");
    auto* elapsed = new QLabel(QStringLiteral("00:00"), timelineBar);
    elapsed->setObjectName("realTimeText");
    elapsed->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    outletSet.timelineTimeText = time;
    outletSet.realTimeText = elapsed;
    // Made in the order of the row, which the Tab key follows.
    outletSet.themeButton = pushButton("themeButton", tr_("Theme"), timelineBar);
    outletSet.syncPhotoMusicButton = pushButton("syncPhotoMusicButton", tr_("Sync to Music"), timelineBar);
    outletSet.syncPhotoMusicButton->setToolTip(tr_("Fit the photos to the background music"));
    auto* slider = new QSlider(Qt::Horizontal, timelineBar);
    slider->setObjectName("positionSlider");
    outletSet.positionSlider = slider;
    outletSet.m_btnShare = pushButton("m_btnShare", tr_("Burn DVD"), timelineBar);
    outletSet.m_btnShare1 = pushButton("m_btnShare1", tr_("Share"), timelineBar);
    row->addWidget(time);
    row->addSpacing(12);
    row->addWidget(elapsed);
    row->addSpacing(12);
    row->addWidget(outletSet.themeButton);
    row->addWidget(outletSet.syncPhotoMusicButton);
    row->addSpacing(12);
    row->addWidget(slider, 1);
    row->addSpacing(12);
    row->addWidget(outletSet.m_btnShare);
    row->addWidget(outletSet.m_btnShare1);
    return timelineBar;
}

// Each title carries its access key (after "&"), unique within its menu and among the menus of the bar.
void MainWindowView::makeMenus() {
    QMenu* file = menuBar()->addMenu(tr_("&File"));
    newAction = file->addAction(tr_("&New Project..."));
    newAction->setShortcut(QKeySequence::New);
    openAction = file->addAction(tr_("&Open Project..."));
    openAction->setShortcut(QKeySequence::Open);
    saveAction = file->addAction(tr_("&Save Project"));
    saveAction->setShortcut(QKeySequence::Save);
    propertiesAction = file->addAction(tr_("Project P&roperties..."));
    file->addSeparator();
    outletSet.quitAppMenuItem = file->addAction(tr_("&Quit"));
    outletSet.quitAppMenuItem->setShortcut(QKeySequence::Quit);

    QMenu* slideshow = menuBar()->addMenu(tr_("&Slideshow"));
    outletSet.addPhotoMenuItem = slideshow->addAction(tr_("&Add Photos..."));
    outletSet.appendPhotoMenuItem = slideshow->addAction(tr_("Appe&nd Photos..."));
    outletSet.addVideoMenuItem = slideshow->addAction(tr_("Add &Video..."));
    slideshow->addSeparator();
    outletSet.playMenuItem = slideshow->addAction(tr_("&Play"));
    outletSet.playMenuItem->setShortcut(Qt::Key_Space);
    outletSet.playMixedAudioMenuItem = slideshow->addAction(tr_("Play Sound &Mix"));
    makeMusicMenuItems(*slideshow);
    slideshow->addSeparator();
    outletSet.optionsMenuItem = slideshow->addAction(tr_("&Options..."));
    outletSet.optionsMenuItem->setShortcut(QKeySequence::Preferences);

    QMenu* share = menuBar()->addMenu(tr_("Sh&are"));
    share->setObjectName("m_menuShare1");
    outletSet.m_menuShare1 = share;
    outletSet.shareMovieMenuItem = share->addAction(tr_("&Movie File..."));
    outletSet.shareVideoSiteMenuItem = share->addAction(tr_("&Video Site..."));
    outletSet.shareSocialSiteMenuItem = share->addAction(tr_("&Social Site..."));
    outletSet.sepratorShareMenuItem1 = share->addSeparator();
    outletSet.burnDVDMenuItem = share->addAction(tr_("&Burn DVD..."));
    share->addSeparator();
    outletSet.dvdMenuMenuItem = share->addAction(tr_("&DVD Menu..."));

    QMenu* window = menuBar()->addMenu(tr_("&Window"));
    outletSet.hideAppMenuItem = window->addAction(tr_("&Hide"));
    outletSet.toggleFullScreenMenuItem = window->addAction(tr_("Toggle &Full Screen"));
    // F11 on every desktop: the toolkit's standard full-screen key is none on some of them.
    outletSet.toggleFullScreenMenuItem->setShortcut(Qt::Key_F11);
    QMenu* help = menuBar()->addMenu(tr_("&Help"));
    outletSet.aboutAppMenuItem = help->addAction(tr_("&About"));
    outletSet.websiteAppMenuItem = help->addAction(tr_("&Website"));
    help->addSeparator();
    outletSet.testMenu = help->addMenu(tr_("&Test"));
    outletSet.testMenu->setObjectName("testMenu");
    outletSet.encodeDVDMenuMenuItem = outletSet.testMenu->addAction(tr_("&Encode DVD Menu"));
    outletSet.testSpumuxMenuItem = outletSet.testMenu->addAction(tr_("&Mux DVD Menu Buttons"));
    outletSet.testDVDMenuMenuItem = outletSet.testMenu->addAction(tr_("&Play DVD Menu Slides"));
    outletSet.testMenu->addSeparator();
    outletSet.testAudioLayerMenuItem =
        outletSet.testMenu->addAction(tr_("Add Test &Sounds to the Audio Layer"));
    outletSet.testTextLayerMenuItem =
        outletSet.testMenu->addAction(tr_("Add Test &Compositions to the Text Layer"));
    outletSet.playSongTestMenuItem = outletSet.testMenu->addAction(tr_("Play the Stock S&ong"));
    outletSet.testMenu->addSeparator();
    outletSet.addCompositionTestMenuItem = outletSet.testMenu->addAction(tr_("&Add a Composition Slide..."));
    outletSet.addClipCompositionTestMenuItem =
        outletSet.testMenu->addAction(tr_("Add a C&lip Played Through a Composition..."));
    outletSet.renderCompositionTestMenuItem =
        outletSet.testMenu->addAction(tr_("&Render the Test Composition in the Preview"));
    // F10 opens the first menu, as on the desktops.
    auto* openMenuBar = new QAction(this);
    openMenuBar->setObjectName("openMenuBarItem");
    openMenuBar->setShortcut(Qt::Key_F10);
    connect(openMenuBar, &QAction::triggered, this, [this] {
        if (const QList<QAction*> menus = menuBar()->actions(); !menus.isEmpty())
            menuBar()->setActiveAction(menus.first());
    });
    addAction(openMenuBar);
}

void MainWindowView::makeMusicMenuItems(QMenu& slideshow) {
    slideshow.addSeparator();
    outletSet.addMusicMenuItem = slideshow.addAction(tr_("Add Background M&usic..."));
    outletSet.backgroundMusicListMenuItem = slideshow.addAction(tr_("&Background Music..."));
    outletSet.syncPhotoMusicMenuItem = slideshow.addAction(tr_("S&ync Photos to Music..."));
    slideshow.addSeparator();
    outletSet.timelineModeMenuItem = slideshow.addAction(tr_("Switch &Timeline Style"));
    outletSet.timelineUnitMenu = slideshow.addMenu(tr_("Time Sca&le"));
    // Each scale's access key is a digit of its own.
    const std::pair<int, const char*> scales[] = {{14, "1&4"}, {28, "&28"}, {56, "&56"}, {112, "&112"}};
    for (const auto& [pointsPerSecond, title] : scales)
        outletSet.timelineUnitMenu->addAction(tr_("%1 points per second").arg(QLatin1String(title)))
            ->setData(pointsPerSecond);
}
