#include "support/MainWindowFixture.h"

#include "model/SlideshowProject.h"
#include "model/SlideshowProjectManager.h"
#include "platform/foundation/MainThread.h"
#include "support/ColourNear.h"
#include "support/LargePictures.h"
#include "ui/UiNotifications.h"
#include "ui/editing/TimeLineCellViewController.h"
#include "ui/editing/TimelineContentView.h"
#include "ui/main/PhotoImporter.h"
#include "ui/main/PhotoResizeWorker.h"

#include <QImageReader>
#include <QPainter>
#include <QSet>

#include <thread>

using platform::NotificationCenter;

namespace {

QStringList originals(const std::vector<SlideItemRef>& slides) {
    QStringList names;
    for (const auto& slide : slides)
        names << QFileInfo(slide->strOriginalFileName()).completeBaseName();
    return names;
}

QSize pictureSize(const QString& path) {
    return QImageReader(path).size();
}

} // namespace

class PhotoImportTest : public MainWindowTest {
protected:
    // Slides "a" and "b" already imported, both ready.
    void importAB() {
        dialogs.mediaOpenAnswers.push_back(
            {writePhoto("a.jpg", {64, 48}, Qt::red), writePhoto("b.jpg", {64, 48}, Qt::blue)});
        controller->buttonAppendPhotoClicked();
        ASSERT_TRUE(waitForImports());
    }
};

TEST_F(PhotoImportTest, AddInsertsAtTheCurrentSlideAndAppendsWithoutOne) {
    makeController();
    importAB();
    ASSERT_EQ(dialogs.openPanels.size(), 1u);
    EXPECT_EQ(dialogs.openPanels[0].title, "Add Photos");
    struct Case {
        int current;
        bool append;
        QStringList expected;
        int firstNew;
    };
    const Case cases[] = {
        {1, false, {"a", "p", "q", "b"}, 1},  // Add at the current slide
        {-1, false, {"a", "b", "p", "q"}, 2}, // Add without a current slide appends
        {0, true, {"a", "b", "p", "q"}, 2},   // Append ignores the current slide
    };
    const std::vector<SlideItemRef> ab = project->slideshowArray();
    for (const Case& c : cases) {
        project->setSlideshowArray(ab);
        controller->setNCurrentSlideshowItemIndex(c.current);
        dialogs.mediaOpenAnswers.push_back(
            {writePhoto("p.jpg", {32, 32}, Qt::green), writePhoto("q.jpg", {32, 32}, Qt::gray)});
        c.append ? controller->buttonAppendPhotoClicked() : controller->buttonAddPhotoClicked();
        ASSERT_TRUE(waitForImports());
        test_support::spinFor(20); // the request's last main-thread step
        EXPECT_EQ(originals(project->slideshowArray()), c.expected) << c.current << c.append;
        EXPECT_EQ(controller->nCurrentSlideshowItemIndex(), c.firstNew);
    }
    dialogs.mediaOpenAnswers.push_back({});
    controller->buttonAddPhotoClicked();
    EXPECT_TRUE(controller->isImportIdle()) << "a cancelled panel imports nothing";
}

TEST_F(PhotoImportTest, ADropSortsFilesByExtensionAndClampsTheSlot) {
    makeController();
    importAB();
    const QString capital = writePhoto("c.JPG", {32, 32}, Qt::white);
    QImage small(32, 32, QImage::Format_RGB32);
    small.fill(Qt::yellow);
    ASSERT_TRUE(small.save(dir.file("w.webp"), "WEBP") && small.save(dir.file("t.tiff"), "TIFF"));
    controller->AcceptFileDropped({capital, dir.file("song.MP3"), dir.file("w.webp"), dir.file("clip.mov"),
                                   dir.file("t.tiff"), dir.file("notes.txt")},
                                  1);
    EXPECT_EQ(controller->calls, (QStringList{"song song.MP3", "clip clip.mov at 1"}));
    ASSERT_TRUE(waitForImports());
    EXPECT_EQ(originals(project->slideshowArray()), (QStringList{"a", "c", "w", "t", "b"}));
    controller->setNSlideInsertIndex(99);
    controller->threadImageAddImages({writePhoto("d.jpg", {32, 32}, Qt::black)});
    ASSERT_TRUE(waitForImports());
    EXPECT_EQ(originals(project->slideshowArray()).last(), "d") << "a slot past the end is the end";
}

TEST_F(PhotoImportTest, TheWorkerQueueTakesInsertedPhotosFirstAndMovesAWantedOneToTheFront) {
    std::vector<SlideItemRef> slides;
    for (int i = 0; i < 4; ++i)
        slides.push_back(platform::makeMainThreadShared<SlideItem>());
    const auto order = [](const PhotoResizeWorker& worker) {
        QStringList paths;
        for (const PhotoWorkItem& item : worker.queueSnapshot())
            paths << item.path;
        return paths;
    };
    PhotoResizeWorker inserting({}); // never started: the queue stands still
    inserting.enqueueBack({"A", slides[0], 0});
    inserting.enqueueBack({"B", slides[1], 1});
    inserting.enqueueFront({"C", slides[2], 2});
    EXPECT_EQ(order(inserting), (QStringList{"C", "A", "B"}));

    PhotoResizeWorker wanted({});
    for (int i = 0; i < 4; ++i)
        wanted.enqueueBack({QString(QChar('A' + i)), slides[std::size_t(i)], quint64(i)});
    EXPECT_TRUE(wanted.moveItemToThreadArrayHead(slides[2].get()));
    EXPECT_EQ(order(wanted), (QStringList{"C", "D", "A", "B"}));
    EXPECT_FALSE(wanted.moveItemToThreadArrayHead(nullptr));
    EXPECT_EQ(order(wanted), (QStringList{"C", "D", "A", "B"}));
}

// Written or not, a slide's picture is no longer awaited once the worker is done with its photo, without a
// word from the main thread: a play (an export's, which never waits for the main thread) that waits for the
// picture goes on, or gives the slide up.
TEST_F(PhotoImportTest, TheWorkerEndsTheWaitForASlidesPictureOnItsOwnThread) {
    const struct {
        const char* photo;
        QString path;
    } cases[] = {{"written", writePhoto("fine.jpg", {40, 30}, Qt::red)},
                 {"unreadable", writeBrokenPhoto("broken.jpg")}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.photo);
        const SlideItemRef slide = PhotoImporter::newPhotoSlide(*project, c.path, "image_", "bk_");
        ASSERT_TRUE(slide->isPictureBeingMade());
        PhotoResizeWorker worker({}); // tells nobody: the main thread hears nothing
        worker.enqueueBack({c.path, slide, 0});
        worker.start();
        while (!worker.isIdle())
            std::this_thread::yield();
        EXPECT_FALSE(slide->isPictureBeingMade());
    }
}

TEST_F(PhotoImportTest, ATurnedPhotoBecomesAnUprightSlideImageBackgroundAndThumbnailUnderNamesOfItsOwn) {
    makeController();
    const QString photo =
        writePhoto("turned.jpg", {4000, 3000}, QColor(200, 120, 40), QImageIOHandler::TransformationRotate90);
    dialogs.mediaOpenAnswers.push_back({photo, writePhoto("second.jpg", {40, 30}, Qt::blue)});
    controller->buttonAppendPhotoClicked();
    ASSERT_TRUE(waitForImports());
    ASSERT_EQ(project->slideCount(), 2u);
    const SlideItemRef slide = project->slideItemAtIndex(0);
    EXPECT_TRUE(slide->iSItemReady());
    EXPECT_EQ(pictureSize(slide->fileName()), QSize(960, 1280));
    EXPECT_EQ(pictureSize(slide->backgroudImageFileName()), QSize(480, 640));
    EXPECT_EQ(pictureSize(slide->strThumbFileName()), QSize(80, 70));
    // Both photos were made within the same hundredth of a second (the test's clock stands still).
    QSet<QString> names;
    for (const auto& made : project->slideshowArray())
        names << made->fileName() << made->backgroudImageFileName() << made->strThumbFileName();
    EXPECT_EQ(names.size(), 6);
    EXPECT_TRUE(project->bIsDirty());
}

// The slide image (which the preview, the movie and the DVD show), the blurred background and the thumbnail
// all show a transparent part as black, never the colour it hides.
TEST_F(PhotoImportTest, APhotosTransparentPartIsBlackInEveryPictureTheImportWrites) {
    makeController();
    const QColor shown(30, 60, 220), hidden(255, 0, 255);
    const QString photo = writeHalfTransparentPhoto("see-through.png", {400, 300}, shown, hidden);
    const QImage written(photo);
    ASSERT_EQ(written.pixelColor(300, 150).alpha(), 0);
    ASSERT_EQ(written.pixelColor(300, 150).rgb(), hidden.rgb()) << "the file hides the colour";
    dialogs.mediaOpenAnswers.push_back({photo});
    controller->buttonAppendPhotoClicked();
    ASSERT_TRUE(waitForImports());
    ASSERT_EQ(project->slideCount(), 1u);
    const SlideItemRef slide = project->slideItemAtIndex(0);
    const auto near = [](QColor a, QColor b) { return test_support::coloursNear(a, b, 29); };
    for (const QString& path :
         {slide->fileName(), slide->backgroudImageFileName(), slide->strThumbFileName()}) {
        SCOPED_TRACE(QFileInfo(path).fileName().toStdString());
        const QImage picture(path);
        ASSERT_FALSE(picture.isNull());
        const int y = picture.height() / 2;
        EXPECT_TRUE(near(picture.pixelColor(picture.width() * 7 / 8, y), Qt::black))
            << "the transparent part: "
            << picture.pixelColor(picture.width() * 7 / 8, y).name().toStdString();
        EXPECT_TRUE(near(picture.pixelColor(picture.width() / 8, y), shown)) << "the opaque part";
    }
}

// A JPEG or PNG cut short or spoilt counts as damaged: shown, its missing part would be a grey area. Each
// photo not added is reported with why; photos as large as cameras, scanners and raw converters make are
// added.
TEST_F(PhotoImportTest, UnreadableOrCutShortPhotosLeaveTheProjectAndAreReportedOnceAfterTheQueueRunsDry) {
    makeController();
    const QString cut = writePhoto("cut.jpg", {400, 300}, Qt::blue);
    QFile cutShort(cut);
    ASSERT_TRUE(cutShort.resize(cutShort.size() * 3 / 4));
    const QString large = dir.file("large.jpg");
    ASSERT_TRUE(test_support::writeLargeJpeg(large, {9000, 6000}));
    const QString deep = dir.file("deep.png");
    ASSERT_TRUE(test_support::writeLargePng(deep, {8000, 4500}, {.bits = 16}));
    const auto written = [&](const QString& name, const QByteArray& bytes) {
        model_test::writeFile(dir.file(name), bytes);
        return dir.file(name);
    };
    const QString spoilt = writeHalfTransparentPhoto("spoilt.png", {400, 300}, Qt::green, Qt::red);
    QFile spoiltFile(spoilt);
    ASSERT_TRUE(spoiltFile.open(QIODevice::ReadWrite));
    QByteArray png = spoiltFile.readAll();
    png[png.indexOf("IDAT") + 40] = char(~png[png.indexOf("IDAT") + 40]);
    ASSERT_TRUE(spoiltFile.seek(0) && spoiltFile.write(png) == png.size());
    spoiltFile.close();
    std::vector<platform::Notification> reports;
    auto& center = NotificationCenter::defaultCenter();
    platform::ObserverHandle observer(
        center, center.addObserver(kNotifyAddPhotoFailed,
                                   [&](const platform::Notification& n) { reports.push_back(n); }));
    dialogs.mediaOpenAnswers.push_back(
        {writeBrokenPhoto("x.jpg"), writePhoto("good.jpg", {40, 30}, Qt::red), writeBrokenPhoto("y.jpg"), cut,
         large, written("bomb.png", test_support::pngDeclaring({60000, 60000})), deep,
         written("twelve.jpg", test_support::twelveBitJpeg({640, 480})),
         written("wide.webp", test_support::webpDeclaring({10000, 8000})),
         written("deep.tif", test_support::tiffDeclaring({8500, 5800}, 16)),
         written("endless.jpg", test_support::jpegRepeatingAScan({2000, 1500}, 20000)), spoilt});
    controller->buttonAppendPhotoClicked();
    ASSERT_TRUE(waitForImports());
    ASSERT_TRUE(test_support::spinUntil([&] { return project->slideCount() == 3; }));
    EXPECT_EQ(originals(project->slideshowArray()), (QStringList{"good", "large", "deep"}));
    EXPECT_EQ(pictureSize(project->slideItemAtIndex(1)->fileName()), QSize(1280, 853));
    EXPECT_EQ(pictureSize(project->slideItemAtIndex(2)->fileName()), QSize(1280, 720));
    scheduler->advance(1.1);
    EXPECT_TRUE(reports.empty());
    scheduler->advance(0.1);
    ASSERT_EQ(reports.size(), 1u);
    QStringList reported;
    for (const QVariant& entry : reports[0].object.toList())
        reported << QFileInfo(entry.toMap().value("SLIDE_IMAGE_FILENAME").toString()).fileName() + ": " +
                        entry.toMap().value("REASON").toString();
    EXPECT_EQ(reported, (QStringList{"x.jpg: not a picture", "y.jpg: not a picture", "cut.jpg: damaged",
                                     "bomb.png: too large: 60000 x 60000", "twelve.jpg: not supported",
                                     "wide.webp: too large: 10000 x 8000", "deep.tif: too large: 8500 x 5800",
                                     "endless.jpg: damaged", "spoilt.png: damaged"}));
    scheduler->advance(5.0);
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(PhotoImportTest, TheStripIsAsWideAsItsCellsOrItsSecondsAndTheTitleCountsThePhotos) {
    makeController(true);
    const auto width = [&] {
        controller->layoutScrollImages();
        return controller->outlets().scrollContentView->width();
    };
    project->setMusicArray({});
    EXPECT_EQ(width(), 170) << "one cell for an empty project";
    useColourSlides({Qt::red, Qt::green, Qt::blue, Qt::white, Qt::black});
    EXPECT_EQ(width(), 1020);
    project->setMusicArray({songOf(60.0)});
    EXPECT_EQ(width(), 2281) << "or as far as its music goes: 53 s past the 7 s show at 170 points per 6 s";
    project->setMusicArray({});
    project->setFltSlideshowFadeIn(0.0f);
    project->setFltSlideshowFadeOut(0.0f);
    for (const auto& slide : project->slideshowArray())
        slide->customSetDurations(5.0f, 1.25f);
    project->calcSlideItemsPhotoTransitionDuration();
    project->setNTimelineStyle(1);
    EXPECT_EQ(width(), 840) << "30 s at 28 points a second";
    EXPECT_EQ(controller->outlets().scrollContentView->height(), 205);
    controller->updateProjectInfo();
    EXPECT_EQ(controller->windowTitle(), "Vistrelle - Trip [5 photos]");
    EXPECT_EQ(window->windowTitle(), "Vistrelle - Trip [5 photos]");
    EXPECT_EQ(controller->outlets().positionSlider->maximum(), int(project->totalFrameCount()));
}

// The import before the queue appends one photo at once with a cell controller of its own; the cell gets its
// slide and thumbnail (at most 128 on a side, uncropped) once the call has returned, and the resize worker
// writes the slide's images under names that carry its place.
TEST_F(PhotoImportTest, TheSinglePhotoImportAppendsAtOnceWithACellOfItsOwn) {
    makeController(true);
    importAB();
    const std::size_t cellsBefore = controller->timelineCellViewArray().size();
    const QString photo = writePhoto("wide.jpg", {400, 200}, Qt::green);
    controller->addImageToProject(photo);
    ASSERT_EQ(project->slideCount(), 3u) << "appended before the call returns";
    const SlideItemRef slide = project->slideItemAtIndex(2);
    EXPECT_EQ(slide->strOriginalFileName(), photo);
    EXPECT_TRUE(QFileInfo(slide->fileName()).fileName().startsWith("psd_002_"));
    EXPECT_TRUE(QFileInfo(slide->backgroudImageFileName()).fileName().startsWith("psd_bk_002_"));
    EXPECT_EQ(pictureSize(slide->strThumbFileName()), QSize(128, 64)) << "uncropped";
    EXPECT_TRUE(project->bIsDirty());
    ASSERT_EQ(controller->timelineCellViewArray().size(), cellsBefore + 1);
    TimeLineCellViewController* cell = controller->timelineCellViewArray().back();
    EXPECT_EQ(cell->nIndexTag(), int(cellsBefore));
    EXPECT_EQ(cell->sItem(), nullptr) << "the slide reaches the cell after the call";

    QCoreApplication::processEvents();
    EXPECT_EQ(cell->sItem(), slide);
    EXPECT_EQ(cell->nIndexTag(), 2);
    EXPECT_EQ(cell->photoThumbnailView()->pixmap().size(), QSize(128, 64));
    EXPECT_EQ(cell->view()->parentWidget(), nullptr) << "never over the strip, which draws the slide";
    EXPECT_TRUE(controller->windowTitle().endsWith(" [3 photos]")) << controller->windowTitle().toStdString();
    ASSERT_TRUE(waitForImports());
    EXPECT_TRUE(slide->iSItemReady());
    EXPECT_EQ(pictureSize(slide->fileName()), QSize(400, 200));
}

// The picture operations of the slide images: the middle square drawn at any size, the slide images' size,
// and the square thumbnail that holds the whole picture.
TEST_F(PhotoImportTest, TheMiddleSquareTheSlideSizeAndTheSquareThumbnail) {
    QImage wide(300, 100, QImage::Format_RGB32);
    wide.fill(Qt::red);
    QPainter(&wide).fillRect(100, 0, 100, 100, Qt::blue);
    QImage tall = wide.transformed(QTransform().rotate(90));
    for (const QImage& picture : {wide, tall}) {
        const QImage square = SlideshowMainObject::imageResize(picture, QSize(40, 20));
        ASSERT_EQ(square.size(), QSize(40, 20));
        for (const QPoint at : {QPoint(2, 2), QPoint(37, 17), QPoint(20, 10)})
            EXPECT_EQ(square.pixelColor(at), QColor(Qt::blue)) << at.x() << "," << at.y();
    }
    EXPECT_TRUE(SlideshowMainObject::imageResize(QImage(), QSize(40, 40)).isNull());
    EXPECT_TRUE(SlideshowMainObject::imageResize(wide, QSize(0, 40)).isNull());
    const auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    EXPECT_EQ(SlideshowMainObject::resizePhotoForSlide(wide).size(),
              QSize(manager->nMaxImageWidth(), manager->nMaxImageHeight()));
    for (const QImage& picture : {wide, tall}) {
        const QImage thumbnail = SlideshowMainObject::resizePhotoForThmbnail(picture);
        ASSERT_EQ(thumbnail.size(), QSize(128, 128));
        const bool across = picture.width() > picture.height();
        const auto at = [&](int along) { return across ? QPoint(along, 64) : QPoint(64, along); };
        EXPECT_EQ(thumbnail.pixelColor(at(10)), QColor(Qt::red)) << "the start of the picture";
        EXPECT_EQ(thumbnail.pixelColor(at(64)), QColor(Qt::blue));
        EXPECT_EQ(thumbnail.pixelColor(at(117)), QColor(Qt::red)) << "the end of the picture";
    }
    EXPECT_TRUE(SlideshowMainObject::resizePhotoForThmbnail(QImage()).isNull());
}
