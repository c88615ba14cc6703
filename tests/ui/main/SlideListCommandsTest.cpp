// The slide-list commands of the main window controller: moves and removals, blank and wood pictures, the
// cursor, slide sounds, the timeline's rebuild, and the menus that reach them.
#include "support/MainWindowFixture.h"
#include "support/PostedNotifications.h"
#include "support/UnwritableFolder.h"

#include "model/QuartzSlideItem.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/StandardPaths.h"
#include "ui/UiNotifications.h"
#include "ui/editing/ArrangeOrderWndController.h"
#include "ui/editing/ToolboxWindowController.h"
#include "ui/editing/blankImageWndController.h"
#include "ui/main/SlideshowMenus.h"

#include <QFile>
#include <QImageReader>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QTest>

#include <functional>

using platform::NotificationCenter;
using Posts = test_support::PostedNotifications;
using IndexSet = SlideshowMainObject::IndexSet;

class SlideListCommandsTest : public MainWindowTest {
protected:
    std::vector<SlideItemRef> fiveSlides() {
        return useColourSlides({Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan});
    }
    // The slides now, as positions in `before`.
    std::vector<int> order(const std::vector<SlideItemRef>& before) const {
        std::vector<int> positions;
        for (const SlideItemRef& slide : project->slideshowArray())
            positions.push_back(int(std::find(before.begin(), before.end(), slide) - before.begin()));
        return positions;
    }
};

TEST_F(SlideListCommandsTest, MovesLandBeforeTheGapAndNeverReachOutsideTheList) {
    makeController();
    struct Case {
        IndexSet indexes;
        quint64 destination;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {{0, 1}, 4, {2, 3, 0, 1, 4}}, {{3}, 0, {3, 0, 1, 2, 4}},
        {{1}, 99, {0, 2, 3, 4, 1}},   // a destination past the end appends
        {{4, 9}, 0, {4, 0, 1, 2, 3}}, // an index past the end is ignored
        {{7}, 2, {0, 1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        const auto slides = fiveSlides();
        controller->setNCurrentSlideshowItemIndex(1);
        project->setBIsDirty(false);
        controller->moveItemsAtIndexes(c.indexes, c.destination);
        EXPECT_EQ(order(slides), c.expected) << "to " << c.destination;
        EXPECT_EQ(controller->nCurrentSlideshowItemIndex(), 1) << "the same position stays current";
        EXPECT_TRUE(project->bIsDirty());
    }
}

TEST_F(SlideListCommandsTest, RemovalsPickTheCurrentSlideAndDeleteTheSlidesFiles) {
    makeController();
    struct Case {
        int count, current;
        IndexSet removed;
        int expectedCount, expectedCurrent;
    };
    const Case cases[] = {
        {5, 4, {4}, 4, 3},  // the current last slide: the new last one
        {1, 0, {0}, 0, -1}, // the only slide: none
        {5, -1, {0}, 4, 3}, // none current: the last one
        {5, 1, {3}, 4, 1},  {5, 2, {9}, 5, 2},
    };
    for (const Case& c : cases) {
        auto slides = fiveSlides();
        slides.resize(std::size_t(c.count));
        project->setSlideshowArray(slides);
        controller->setNCurrentSlideshowItemIndex(c.current);
        const QString firstRemoved =
            *c.removed.begin() < slides.size() ? slides[*c.removed.begin()]->fileName() : QString();
        controller->removeItemsAtIndexes(c.removed);
        EXPECT_EQ(int(project->slideCount()), c.expectedCount);
        EXPECT_EQ(controller->nCurrentSlideshowItemIndex(), c.expectedCurrent);
        if (!firstRemoved.isEmpty()) {
            EXPECT_FALSE(QFile::exists(firstRemoved)) << "the slide's picture goes with it";
        }
    }
}

// Delete, from the menu, keeps a file another slide still names (two slides of a received project may share a
// picture or a composition's copy), so that slide stays when the project opens again; the last slide naming
// the file takes it along.
TEST_F(SlideListCommandsTest, DeleteKeepsTheFilesAnotherSlideStillNames) {
    makeController(true);
    SlideshowMenus menus(*window, *controller);
    const QString contents = project->strMacProjectBundleContentsPath();
    const auto sharedPicture = [&] {
        const SlideItemRef photo = useColourSlides({Qt::red})[0];
        auto twin = platform::makeMainThreadShared<SlideItem>();
        twin->setFileName(photo->shortFileName());
        twin->setStrThumbFileName(QFileInfo(photo->strThumbFileName()).fileName());
        return std::vector<SlideItemRef>{photo, twin};
    };
    const auto sharedComposition = [&] {
        EXPECT_TRUE(QFile::copy(platform::paths::pathForResource("coolSlideshow", "vcomp"),
                                contents + "/Twin.vcomp"));
        std::vector<SlideItemRef> slides;
        for (int i = 0; i < 2; ++i) {
            auto slide = platform::makeMainThreadShared<QuartzSlideItem>();
            slide->setStrQuartzFilePath(contents + "/Twin.vcomp", contents);
            slides.push_back(slide);
        }
        return slides;
    };
    const std::pair<const char*, std::function<std::vector<SlideItemRef>()>> cases[] = {
        {"a picture", sharedPicture}, {"a composition's copy", sharedComposition}};
    for (const auto& [what, twins] : cases) {
        SCOPED_TRACE(what);
        project->setSlideshowArray(twins());
        controller->layoutScrollImages();
        const QString shared = project->slideItemAtIndex(0)->mediaFilePath();
        ASSERT_TRUE(QFileInfo(shared).isFile());
        for (const std::size_t left : {1u, 0u}) {
            controller->setNCurrentSlideshowItemIndex(0);
            menus.action("deleteSlideMenuItem")->trigger();
            ASSERT_EQ(project->slideCount(), left);
            EXPECT_EQ(QFileInfo::exists(shared), left == 1);
            project->checkItemVaild();
            EXPECT_EQ(project->slideCount(), left) << "kept when the project opens again";
        }
    }
}

TEST_F(SlideListCommandsTest, ABlankPictureTakesTheCurrentSlidesPlaceOrIsAppended) {
    makeController();
    const QString stock = platform::paths::pathForResource("vector_003", "jpg");
    ASSERT_FALSE(stock.isEmpty());
    for (const int current : {2, -1}) {
        const auto slides = fiveSlides();
        controller->setNCurrentSlideshowItemIndex(current);
        NotificationCenter::defaultCenter().post(kNotifyInsertBlankImage, stock);
        ASSERT_TRUE(waitForImports());
        ASSERT_EQ(project->slideCount(), 6u);
        const std::size_t at = current < 0 ? 5 : 2;
        EXPECT_EQ(project->slideItemAtIndex(at)->strOriginalFileName(), stock) << current;
        EXPECT_EQ(controller->nCurrentSlideshowItemIndex(), current) << "the new picture, or none";
    }
}

TEST_F(SlideListCommandsTest, WoodPicturesAreWrittenUnderNamesOfTheirOwn) {
    makeController();
    fiveSlides();
    controller->setNSlideInsertIndex(1);
    controller->AddBlankImageButtonClicked();
    controller->AddBlankImageButtonClicked(); // at the same moment: the name must still be new
    ASSERT_TRUE(waitForImports());
    ASSERT_EQ(project->slideCount(), 7u);
    const QString first = project->slideItemAtIndex(1)->strOriginalFileName();
    const QString second = project->slideItemAtIndex(2)->strOriginalFileName();
    EXPECT_NE(first, second);
    for (const QString& path : {first, second}) {
        EXPECT_TRUE(QFileInfo(path).fileName().startsWith("psd_")) << path.toStdString();
        EXPECT_TRUE(path.endsWith(".jpg"));
        EXPECT_EQ(QImageReader(path).size(), QSize(1920, 1080));
    }
    const QImage wood = QImage(first).scaled(64, 36);
    EXPECT_NE(wood.pixel(3, 3), wood.pixel(40, 20)) << "a pattern, not a plain fill";
}

// Add Wood Picture on a project whose folder cannot be written says why, and adds nothing.
TEST_F(SlideListCommandsTest, AWoodPictureThatCannotBeWrittenIsReportedWithItsReason) {
    makeController(true);
    fiveSlides();
    const QString contents = project->strMacProjectBundleContentsPath();
    {
        const test_support::UnwritableFolder unwritable(contents);
        SlideshowMenus(*window, *controller).action("addWoodPictureMenuItem")->trigger();
        ASSERT_TRUE(waitForImports());
        scheduler->advance(2.0); // the import's own report would have come
    }
    EXPECT_EQ(project->slideCount(), 5u);
    ASSERT_EQ(dialogs.alerts.size(), 1u) << qPrintable(dialogs.alertText());
    EXPECT_EQ(dialogs.alerts[0].title, "ERROR");
    EXPECT_TRUE(
        dialogs.alerts[0].message.startsWith("The wood picture could not be added to the project.\n\n"));
    EXPECT_TRUE(dialogs.alerts[0].message.contains(contents)) << "the reason names where it was to go";
}

TEST_F(SlideListCommandsTest, DeletingAndCursorJumpsFollowTheCurrentSlide) {
    makeController();
    const auto slides = fiveSlides();
    controller->DeleteCurrentPhoto(); // none current
    EXPECT_EQ(project->slideCount(), 5u);
    controller->setNCurrentSlideshowItemIndex(1);
    controller->DeleteCurrentPhoto();
    EXPECT_EQ(order(slides), (std::vector<int>{0, 2, 3, 4}));
    EXPECT_EQ(controller->nCurrentSlideshowItemIndex(), 1);
    controller->MoveCursorToLastSlide();
    EXPECT_EQ(controller->nCurrentSlideshowItemIndex(), 3);
    controller->MoveCursorToFirstSlide();
    EXPECT_EQ(controller->nCurrentSlideshowItemIndex(), 0);
    project->setSlideshowArray({});
    controller->MoveCursorToLastSlide();
    EXPECT_EQ(controller->nCurrentSlideshowItemIndex(), 0) << "kept: 0 on an empty project";
}

TEST_F(SlideListCommandsTest, ASoundGoesOnlyToASlideThatExistsAndIsSaved) {
    makeController();
    const auto slides = fiveSlides();
    const QString sound = dir.file("voice.caf");
    controller->setNCurrentSlideshowItemIndex(7); // beyond the slides
    NotificationCenter::defaultCenter().post(kNotifyUpdateSlideItemSoundFile, sound);
    controller->setNCurrentSlideshowItemIndex(3);
    project->setBIsDirty(false);
    NotificationCenter::defaultCenter().post(kNotifyUpdateSlideItemSoundFile, sound);
    for (std::size_t i = 0; i < slides.size(); ++i)
        EXPECT_EQ(slides[i]->strSoundFileName(), i == 3 ? sound : QString()) << i;
    EXPECT_TRUE(project->bIsDirty());
}

TEST_F(SlideListCommandsTest, TheRebuildMakesMissingThumbnailsFromThePictures) {
    makeController(true);
    const auto slides = fiveSlides();
    slides[0]->setStrThumbFileName(QString());
    model_test::writeFile(slides[1]->strThumbFileName(), "not a picture");
    controller->setNCurrentSlideshowItemIndex(2);
    controller->refreshUIForOpenProject();
    EXPECT_EQ(controller->nCurrentSlideshowItemIndex(), 0) << "an opened project starts at its first slide";
    EXPECT_EQ(markedCells(), std::vector<std::size_t>{0});
    ASSERT_TRUE(test_support::spinUntil([&] { return !controller->isTimelineRefreshRunning(); }));
    for (int i : {0, 1}) {
        const QImage thumbnail(slides[std::size_t(i)]->strThumbFileName());
        ASSERT_FALSE(thumbnail.isNull()) << i;
        EXPECT_EQ(thumbnail.pixelColor(thumbnail.width() / 2, thumbnail.height() / 2).red() > 200, i == 0)
            << "made from the slide's own picture";
    }
    // A second rebuild while one runs stops the first; the controller going stops the last.
    controller->refreshUIForOpenProject();
    controller->refreshUIForOpenProject();
    controller.reset();
}

TEST_F(SlideListCommandsTest, TheMenuRuleNeedsASlideAndForSomeItemsAPicture) {
    auto photo = platform::makeMainThreadShared<SlideItem>();
    auto clip = platform::makeMainThreadShared<SlideItem>();
    clip->setItemType(SlideItem::kItemTypeVideo);
    struct Case {
        std::vector<SlideItemRef> slides;
        int current;
        bool slideItems, pictureItems;
    };
    const Case cases[] = {
        {{}, 0, false, false},
        {{photo, clip}, 1, true, false},
        {{photo, clip}, -1, false, false},
        {{photo, clip}, 0, true, true},
    };
    for (const Case& c : cases) {
        for (int tag : {2000, 2001, 2002})
            EXPECT_EQ(SlideshowMainObject::validateMenuItem(tag, c.slides, c.current), c.slideItems) << tag;
        for (int tag : {3000, 3003})
            EXPECT_EQ(SlideshowMainObject::validateMenuItem(tag, c.slides, c.current), c.pictureItems) << tag;
        EXPECT_TRUE(SlideshowMainObject::validateMenuItem(0, c.slides, c.current));
    }
}

TEST_F(SlideListCommandsTest, TheMenusReachTheCommandsAndFollowTheCurrentSlide) {
    makeController(true);
    fiveSlides();
    SlideshowMenus menus(*window, *controller);
    QStringList titles;
    for (QAction* entry : window->menuBar()->actions())
        titles << entry->text().remove(QLatin1Char('&'));
    EXPECT_EQ(titles.indexOf("Slide"), titles.indexOf("Share") - 1) << titles.join(", ").toStdString();
    EXPECT_EQ(titles.indexOf("Edit"), titles.indexOf("Slide") - 1);

    QAction* remove = menus.action("deleteSlideMenuItem");
    QAction* rotate = menus.action("rotateMenuItem");
    ASSERT_TRUE(remove && rotate);
    EXPECT_FALSE(remove->isEnabled()) << "no slide is current";
    controller->setNCurrentSlideshowItemIndex(4);
    EXPECT_TRUE(remove->isEnabled() && rotate->isEnabled());

    Posts tools(kNotifyToolboxButtonClicked);
    for (const char* name : {"addTextMenuItem", "panZoomMenuItem", "adjustColourMenuItem", "rotateMenuItem"})
        menus.action(name)->trigger();
    QStringList posted;
    for (const auto& post : tools.list)
        posted << post.object.toString();
    EXPECT_EQ(posted, QStringList({"Text", "PanZoom", "ColorAdjust", "Rotate"}));

    menus.action("outputFolderMenuItem")->trigger();
    EXPECT_EQ(dialogs.revealed, QStringList{SlideshowProject::strOutputVideoPath()});
    menus.action("proEditionMenuItem")->trigger();
    menus.action("studioEditionMenuItem")->trigger();
    ASSERT_EQ(dialogs.webPages.size(), 2);
    EXPECT_NE(dialogs.webPages[0], dialogs.webPages[1]);

    menus.action("deleteSlideMenuItem")->trigger();
    EXPECT_EQ(project->slideCount(), 4u);
    menus.action("arrangeSlidesMenuItem")->trigger();
    ASSERT_NE(controller->arrangeOrderWC(), nullptr);
    EXPECT_TRUE(controller->arrangeOrderWC()->isVisible());
    controller->arrangeOrderWC()->CloseWindowClicked();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(controller->arrangeOrderWC(), nullptr) << "released once closed";
    menus.action("addBlankImageMenuItem")->trigger();
    ASSERT_NE(controller->blankWnd(), nullptr);
    EXPECT_TRUE(controller->blankWnd()->isVisible());
    EXPECT_FALSE(controller->blankWnd()->m_bThemeBackground());
}

// Rotate turns the current photo a quarter turn clockwise, and both its menu item and the toolbox's Rotate
// say so: a picture blue on its left and red on its right comes out blue above red.
TEST_F(SlideListCommandsTest, RotateTurnsThePhotoTheWayItsMenuItemAndToolboxTipSay) {
    makeController(true);
    const auto slides = fiveSlides();
    SlideshowMenus menus(*window, *controller);
    window->show();
    controller->setNCurrentSlideshowItemIndex(0);
    QTest::mouseClick(controller->outlets().toolboxButton, Qt::LeftButton);
    ASSERT_TRUE(controller->toolboxObj() && controller->toolboxObj()->toolboxController()->isVisible());
    QPushButton* toolboxRotate = controller->toolboxObj()->toolboxController()->button("Rotate");
    QAction* rotateItem = menus.action("rotateMenuItem");
    const struct {
        QString says;
        std::function<void()> turn;
    } roads[] = {
        {rotateItem->text(), [&] { rotateItem->trigger(); }},
        {toolboxRotate->toolTip(), [&] { QTest::mouseClick(toolboxRotate, Qt::LeftButton); }},
    };
    for (const auto& road : roads) {
        SCOPED_TRACE(road.says.toStdString());
        QImage picture(640, 360, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QPainter(&picture).fillRect(0, 0, 320, 360, Qt::blue);
        ASSERT_TRUE(picture.save(slides[0]->fileName()));
        EXPECT_TRUE(road.says.contains("clockwise", Qt::CaseInsensitive));
        road.turn();
        const QImage turned(slides[0]->fileName());
        ASSERT_EQ(turned.size(), QSize(360, 640));
        const QColor top = turned.pixelColor(180, 100), bottom = turned.pixelColor(180, 540);
        EXPECT_TRUE(top.blue() > 200 && top.red() < 60) << qPrintable(top.name());
        EXPECT_TRUE(bottom.red() > 200 && bottom.blue() < 60) << qPrintable(bottom.name());
    }
}
