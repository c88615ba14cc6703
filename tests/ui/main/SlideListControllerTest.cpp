// The slide list's controller works on the project its source hands it, whatever project is open.
#include "support/MainWindowFixture.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "ui/main/SlideListController.h"

#include <QImageReader>

namespace {

struct Picture {
    QString path;
    quint64 slot;
};

} // namespace

class SlideListControllerTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        makeController();
        openSlides = useColourSlides({Qt::red, Qt::green});
        handed = SlideshowProject::createNewBundleProject(QStringLiteral("Handed"));
        ASSERT_TRUE(handed);
        ASSERT_NE(SlideshowProject::currentMainProject(), handed);
        for (int i = 0; i < 4; ++i)
            handedSlides.push_back(platform::makeMainThreadShared<SlideItem>());
        handed->setSlideshowArray(handedSlides);
        handed->setBIsDirty(false);
        SlideListController::Hooks hooks;
        hooks.addPicture = [this](const QString& path, quint64 slot) { pictures.push_back({path, slot}); };
        list = std::make_unique<SlideListController>(
            *controller, dialogs, scheduler, controller->outlets(), [this] { return handed; },
            std::move(hooks));
    }
    void TearDown() override {
        list.reset();
        handed.reset();
        MainWindowTest::TearDown();
    }
    // The handed project's slides now, as positions in handedSlides.
    std::vector<int> handedOrder() const {
        std::vector<int> positions;
        for (const SlideItemRef& slide : handed->slideshowArray())
            positions.push_back(
                int(std::find(handedSlides.begin(), handedSlides.end(), slide) - handedSlides.begin()));
        return positions;
    }

    std::vector<SlideItemRef> openSlides, handedSlides;
    SlideshowProjectRef handed;
    std::vector<Picture> pictures;
    std::unique_ptr<SlideListController> list;
};

TEST_F(SlideListControllerTest, MovesAndRemovalsChangeTheHandedProjectOnly) {
    list->moveItemsAtIndexes({0}, 4);
    EXPECT_EQ(handedOrder(), (std::vector<int>{1, 2, 3, 0}));
    EXPECT_TRUE(handed->bIsDirty());
    list->removeItemsAtIndexes({1});
    EXPECT_EQ(handedOrder(), (std::vector<int>{1, 3, 0}));
    EXPECT_EQ(project->slideshowArray(), openSlides) << "the open project is left alone";
}

TEST_F(SlideListControllerTest, TheCurrentSlideIsTheHandedProjectsOne) {
    controller->setNCurrentSlideshowItemIndex(3); // past the open project's two slides
    list->DeleteCurrentPhoto();
    EXPECT_EQ(handedOrder(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(project->slideCount(), 2u);

    list->MoveCursorToLastSlide();
    EXPECT_EQ(controller->nCurrentSlideshowItemIndex(), 2);

    controller->setNCurrentSlideshowItemIndex(1);
    handed->setBIsDirty(false);
    list->notifyUpdateSlideItemSound({QStringLiteral("sound"), dir.file("voice.caf"), {}});
    EXPECT_EQ(handedSlides[1]->strSoundFileName(), dir.file("voice.caf"));
    EXPECT_TRUE(handed->bIsDirty());
    EXPECT_TRUE(openSlides[1]->strSoundFileName().isEmpty());
}

TEST_F(SlideListControllerTest, AWoodPictureIsWrittenIntoTheHandedProject) {
    controller->setNSlideInsertIndex(2);
    list->AddBlankImageButtonClicked();
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].slot, 2u);
    EXPECT_EQ(QFileInfo(pictures[0].path).absolutePath(),
              QFileInfo(handed->strMacProjectBundleContentsPath()).absoluteFilePath());
    EXPECT_EQ(QImageReader(pictures[0].path).size(), QSize(1920, 1080));
}
