#include "support/MainWindowFixture.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/MainThread.h"
#include "render/NSGLView.h"
#include "render/SlideshowDirector.h"
#include "render/StageBackground.h"
#include "support/SlideBeingImported.h"
#include "support/WidgetClick.h"
#include "ui/editing/TimelineContentView.h"
#include "ui/editing/TimelineLayout.h"
#include "ui/editing/TimelineScrollView.h"
#include "ui/main/ApplicationLook.h"
#include "ui/main/PhotoResizeWorker.h"
#include "ui/main/PreviewWidget.h"

#include <QApplication>
#include <QImageWriter>
#include <QTest>

void MainWindowTest::SetUp() {
    ModelTest::SetUp();
    project = openNewProject(QStringLiteral("Trip"));
    ASSERT_TRUE(project);
    project->setStrProjectTitle(QStringLiteral("Trip"));
}

void MainWindowTest::TearDown() {
    controller.reset();
    window.reset();
    player.stop();
    project.reset();
    ModelTest::TearDown();
}

void MainWindowTest::makeController(bool withWindow) {
    controller = std::make_unique<HookRecordingMainObject>(dialogs, scheduler);
    MainWindowServices::setCurrent(controller.get());
    if (withWindow) {
        if (auto* application = qobject_cast<QApplication*>(QCoreApplication::instance()))
            application_look::apply(*application);
        window = std::make_unique<MainWindowView>(&SlideshowProject::currentMainProject);
        controller->setOutlets(window->outlets());
    }
    controller->awakeFromNib();
}

QString MainWindowTest::useRealPlayer() {
    const QString why = player.start(7);
    if (why.isEmpty() && controller)
        controller->setDirector(player.director);
    return why;
}

bool MainWindowTest::makeWindowWithPreview() {
    makeController(true);
    displayTime = std::make_shared<ManualDisplayLinkTimeSource>();
    if (!controller->hostPreview(displayTime))
        return false;
    controller->director()->backgroundRender()->setTheme({{"backgroundID", 2}}); // a black stage
    controller->director()->setClock(playerClock);
    window->resize(1024, 700);
    window->show();
    return test_support::spinUntil([&] { return !controller->previewWidget()->shownFrame().isNull(); });
}

bool MainWindowTest::tickPreview() {
    PreviewWidget* widget = controller->previewWidget();
    const qint64 before = widget->shownFrame().cacheKey();
    playerClock->advance(1.0 / 30.0);
    displayTime->advance(1.0 / 30.0);
    if (!controller->m_bPlaying())
        return true;
    return test_support::spinUntil([&] { return widget->shownFrame().cacheKey() != before; });
}

QString MainWindowTest::writePhoto(const QString& name, QSize size, QColor colour,
                                   QImageIOHandler::Transformations turn) const {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(colour);
    const QString path = dir.file(name);
    QImageWriter writer(path, "jpeg");
    writer.setTransformation(turn);
    EXPECT_TRUE(writer.write(picture)) << writer.errorString().toStdString();
    return path;
}

QString MainWindowTest::writeHalfTransparentPhoto(const QString& name, QSize size, QColor shown,
                                                  QColor hidden) const {
    QImage picture(size, QImage::Format_ARGB32); // not premultiplied: the hidden colour is kept
    picture.fill(qRgba(hidden.red(), hidden.green(), hidden.blue(), 0));
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width() / 2; ++x)
            picture.setPixel(x, y, shown.rgb());
    const QString path = dir.file(name);
    EXPECT_TRUE(picture.save(path, "PNG"));
    return path;
}

QString MainWindowTest::writeBrokenPhoto(const QString& name) const {
    const QString path = dir.file(name);
    model_test::writeFile(path, "not a picture at all");
    return path;
}

std::vector<SlideItemRef> MainWindowTest::useColourSlides(const std::vector<QColor>& colours) {
    std::vector<SlideItemRef> slides;
    const QString contents = project->strMacProjectBundleContentsPath();
    for (std::size_t i = 0; i < colours.size(); ++i) {
        slides.push_back(stillPhoto(contents, QStringLiteral("colour%1.png").arg(i), colours[i]));
        // The timeline's thumbnail, as the import makes it: 80 x 70.
        QImage thumbnail(80, 70, QImage::Format_RGB32);
        thumbnail.fill(colours[i]);
        const QString name = QStringLiteral("thumb_colour%1.png").arg(i);
        EXPECT_TRUE(thumbnail.save(contents + "/" + name));
        slides.back()->setStrThumbFileName(name);
    }
    project->setSlideshowArray(slides);
    project->calcSlideItemsPhotoTransitionDuration();
    if (controller)
        controller->layoutScrollImages();
    return slides;
}

std::shared_ptr<VideoSlideItem> MainWindowTest::makeClipSlide(const QString& name,
                                                              ClipMaker::Options options) {
    const QString path = project->strMacProjectBundleContentsPath() + "/" + name;
    EXPECT_TRUE(ClipMaker::make(path, options));
    auto clip = platform::makeMainThreadShared<VideoSlideItem>();
    clip->PrepareVideoItem(path);
    EXPECT_TRUE(clip->LoadVideoThumbnail());
    return clip;
}

void MainWindowTest::playUntilAFrameWaitsForAPicture(const std::vector<QColor>& colours, PlayWaits& waits) {
    std::vector<SlideItemRef> slides = useColourSlides(colours);
    const auto importing = test_support::slideBeingImported(
        project->strMacProjectBundleContentsPath() + "/importing.jpg", 1.0f, 0.5f);
    ASSERT_TRUE(importing);
    slides.insert(slides.begin(), importing);
    project->setSlideshowArray(slides);
    project->calcSlideItemsPhotoTransitionDuration();
    controller->layoutScrollImages();
    controller->setNCurrentSlideshowItemIndex(0);
    QTest::mouseClick(controller->outlets().m_btnPlayStop, Qt::LeftButton);
    scheduler->advance(0.5);
    ASSERT_EQ(controller->director()->directorStatus(), 1);
    displayTime->advance(1.0 / 30.0);
    waits.waitForThreads(2); // the loader's wait for the picture, and the frame's for the loader
}

bool MainWindowTest::waitForImports() {
    return test_support::spinUntil(
        [&] { return controller->isImportIdle() && controller->resizeWorker().isIdle(); }, 30000);
}

std::vector<std::size_t> MainWindowTest::markedCells() const {
    std::vector<std::size_t> marked;
    QWidget* strip = controller ? controller->outlets().scrollContentView : nullptr;
    if (!strip)
        return marked;
    const QImage drawn = strip->grab().toImage();
    const std::vector<SlideItemRef> slides = project->slideshowArray();
    const bool ruler = project->nTimelineStyle() == 1;
    for (std::size_t i = 0; i < slides.size(); ++i) {
        // The cell's backing left of its thumbnail: blue when marked, grey when not; on the time scale
        // yellow when marked, blue when not.
        const QRectF cell = TimelineContentView::toWidget(slides[i]->timelineRect());
        const QColor backing =
            drawn.pixelColor(QPointF(cell.left() + (ruler ? 5 : 12), cell.center().y()).toPoint());
        if (ruler ? backing.red() - backing.blue() > 100 : backing.blue() - backing.red() > 20)
            marked.push_back(i);
    }
    return marked;
}

QPoint MainWindowTest::timelinePointInWindow(QPointF timelinePoint) const {
    return controller->outlets()
        .scrollContentView
        ->mapTo(window.get(), timeline_layout::flipped(timelinePoint, TimelineContentView::kHeight))
        .toPoint();
}

void MainWindowTest::clickCell(const SlideItem& slide) {
    QWidget* viewport = controller->outlets().scrollView1->viewport();
    const QRectF cell = slide.timelineRect();
    const QPointF centre(cell.x() + 30.0, cell.center().y());
    test_support::leftClick(*viewport, viewport->mapFrom(window.get(), timelinePointInWindow(centre)));
}

std::unique_ptr<VideoSiteUploaderObject> MainWindowTest::makeWindowUploader() {
    auto uploader = std::make_unique<VideoSiteUploaderObject>(
        dialogs, window.get(), [this] { return controller->refusesToShare(); });
    uploader->awakeFromNib();
    return uploader;
}
