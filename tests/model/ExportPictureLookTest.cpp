// The export's look at every picture decodes them on every core at once, within what the program lets its
// decodes hold, and stops with its export.
#include "ModelTestEnvironment.h"

#include "platform/foundation/MainThread.h"
#include "platform/foundation/Parallel.h"
#include "platform/image/DecodeBudget.h"
#include "support/HangGuard.h"
#include "support/LargePictures.h"

#include <atomic>
#include <thread>

using model_test::ModelTest;
using platform::image::DecodeBudget;

namespace {

constexpr qint64 kMB = qint64(1) << 20;
// What one look at a progressive 2400 x 1600 photo holds: every coefficient, at 4:2:0.
constexpr qint64 kOneDecode = qint64(2400 / 8) * (1600 / 8) * 3 / 2 * 128;
// Room for two of them at once, not three.
constexpr qint64 kBudget = 2 * kOneDecode + kMB;

} // namespace

class ExportPictureLookTest : public ModelTest {
protected:
    SlideshowProjectRef project;
    DecodeBudget& budget = DecodeBudget::process();

    void SetUp() override {
        ModelTest::SetUp();
        project = openNewProject("Look");
        ASSERT_TRUE(project);
        platform::setCoreCountForTesting(8);
        budget.setTotalForTesting(kBudget);
    }
    void TearDown() override {
        budget.setTotalForTesting(0);
        platform::setCoreCountForTesting(0);
        ModelTest::TearDown();
    }

    std::vector<SlideItemRef> progressivePhotos(int count) {
        const QString contents = project->strMacProjectBundleContentsPath();
        std::vector<SlideItemRef> slides;
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("photo%1.jpg").arg(i);
            EXPECT_TRUE(
                test_support::writeLargeJpeg(contents + "/" + name, {2400, 1600}, {.progressive = true}));
            auto slide = platform::makeMainThreadShared<SlideItem>();
            slide->setFileName(name);
            slides.push_back(slide);
        }
        return slides;
    }
};

TEST_F(ExportPictureLookTest, ManyLargeProgressivePhotosOnManyCoresHoldNoMoreThanTheBudget) {
    const HangGuard guard("the look at large progressive photos");
    const std::vector<SlideItemRef> slides = progressivePhotos(8);
    budget.resetMostHeld();
    EXPECT_EQ(project->undecodablePicturesMessage(slides), QString());
    EXPECT_GE(budget.mostHeld(), kOneDecode) << "the look's decodes reserved what they held";
    EXPECT_LE(budget.mostHeld(), kBudget);
    EXPECT_EQ(budget.held(), 0);
}

TEST_F(ExportPictureLookTest, ALookStoppedWhileItsDecodesWaitEndsWithoutThem) {
    const HangGuard guard("a look stopped while its decodes wait", std::chrono::seconds(60));
    const std::vector<SlideItemRef> slides = progressivePhotos(4);
    auto everything = budget.reserve(kBudget);
    std::atomic<bool> stop{false};
    std::jthread look([&] { project->undecodablePicturesMessage(slides, [&stop] { return stop.load(); }); });
    budget.waitUntilWaiting(slides.size());
    stop = true;
    look.join();
    EXPECT_EQ(budget.held(), kBudget) << "none of them took its share";
    EXPECT_EQ(budget.waiting(), 0u);
}
