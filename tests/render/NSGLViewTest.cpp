#include "PlayerTestSupport.h"

#include "platform/foundation/NotificationCenter.h"
#include "render/NSGLView.h"
#include "render/OpenGLRenderObject.h"
#include "render/PreviewController.h"
#include "render/RenderGlobals.h"
#include "render/RenderNotifications.h"
#include "render/SlideshowDirector.h"
#include "render/StageBackground.h"

#include "support/HangGuard.h"
#include "support/PlayWaits.h"
#include "support/SlideBeingImported.h"
#include "support/ThreadSleeps.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

using rendertest::colourNear;

namespace {

class TestController : public PreviewController {
public:
    bool m_bPlaying() const override {
        std::unique_lock lock(mutex);
        if (asksToPause > 0 && --asksToPause == 0) {
            pausedThread = test_support::kernelThreadId();
            changed.notify_all();
            changed.wait(lock, [&] { return pausedThread == 0; });
        }
        return playing;
    }
    // Holds the thread that asks the `ask`-th time from now until resume(): a tick asks as the link calls
    // the view and again as the render begins. The held thread's kernel id.
    void pauseAtAsk(int ask) {
        const std::lock_guard lock(mutex);
        asksToPause = ask;
    }
    pid_t waitForPause() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return pausedThread != 0; });
        return pausedThread;
    }
    void resume() {
        {
            const std::lock_guard lock(mutex);
            pausedThread = 0;
        }
        changed.notify_all();
    }
    void setDisplayLink(DisplayLink* link) override { displayLink = link; }
    void clearOpenGLWindow() override { ++clears; }
    void setDirector(std::shared_ptr<SlideshowDirector> player) override { director = std::move(player); }
    void setOpengGLView(NSGLView* glView) override { view = glView; }

    std::atomic<bool> playing{false};
    DisplayLink* displayLink = nullptr;
    int clears = 0;
    std::shared_ptr<SlideshowDirector> director;
    NSGLView* view = nullptr;

private:
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    mutable int asksToPause = 0;
    mutable pid_t pausedThread = 0;
};

// Counts the frames a view hands out and lets the test wait for them.
class FrameCounter {
public:
    explicit FrameCounter(NSGLView& view) {
        QObject::connect(&view, &NSGLView::frameReady, [this](const QImage& frame) {
            const std::lock_guard lock(mutex);
            frames.push_back(frame);
            changed.notify_all();
        });
    }
    bool waitFor(std::size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [&] { return frames.size() >= count; });
    }
    std::size_t count() {
        const std::lock_guard lock(mutex);
        return frames.size();
    }
    QImage last() {
        const std::lock_guard lock(mutex);
        return frames.back();
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<QImage> frames;
};

// Tells when a frame has bound the view's target: from then until the frame ends, the display link's
// thread holds the main context (unless it lets it go to wait).
class WatchedView : public NSGLView {
public:
    using NSGLView::NSGLView;
    GLuint bindDrawable() override {
        {
            const std::lock_guard lock(mutex);
            ++bound;
            drawing = std::this_thread::get_id();
        }
        changed.notify_all();
        return NSGLView::bindDrawable();
    }
    void waitForBinds(int count) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return bound >= count; });
    }
    // The thread that drew the last frame: the display link's.
    std::thread::id drawingThread() {
        const std::lock_guard lock(mutex);
        return drawing;
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    int bound = 0;
    std::thread::id drawing;
};

} // namespace

TEST(PreviewViewport, TheViewKeepsItsPictureAtSixteenByNine) {
    EXPECT_EQ(OpenGLRenderObject::viewportForSize(1920, 1080), QRect(0, 0, 1920, 1080));
    EXPECT_EQ(OpenGLRenderObject::viewportForSize(1000, 1000), QRect(0, 219, 1000, 562));
    EXPECT_EQ(OpenGLRenderObject::viewportForSize(2000, 1000), QRect(111, 0, 1777, 1000));
    EXPECT_EQ(OpenGLRenderObject::viewportForSize(640, 480), QRect(0, 60, 640, 360));
}

// The preview on a display link ticked by hand. The test's own context is released so that the view's
// thread can take the view's context.
class PreviewTest : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        scope.reset();
        time = std::make_shared<ManualDisplayLinkTimeSource>();
        view = std::make_unique<WatchedView>(&controller, nullptr, time, 1.0 / 30.0);
        view->prepareOpenGL(2.0f);
        controller.director->backgroundRender()->setTheme({{"backgroundID", 2}});
    }
    void TearDown() override {
        view.reset();
        controller.director.reset();
        scope.emplace(*context);
        PlayerTest::TearDown();
    }
    void tick() { time->advance(1.0 / 30.0); }
    // A red slide of two seconds plays in a 64 x 36 view until its first frame is shown.
    void playRedSlide(FrameCounter& frames) {
        useSlides({photo("red.png", rendertest::solid(16, 9, Qt::red), 2.0f, 1.0f)});
        view->reshape(QSize(64, 36));
        controller.playing = true;
        controller.director->setSlideshowArray(project->slideshowArray());
        tick();
        ASSERT_TRUE(frames.waitFor(1));
    }

    TestController controller;
    std::shared_ptr<ManualDisplayLinkTimeSource> time;
    std::unique_ptr<WatchedView> view;
};

TEST_F(PreviewTest, PreparingHandsTheLinkThePlayerAndTheViewToTheController) {
    EXPECT_EQ(controller.displayLink, view->displayLink());
    EXPECT_EQ(controller.view, view.get());
    ASSERT_TRUE(controller.director);
    EXPECT_EQ(controller.director, view->renderer()->director());
    EXPECT_EQ(controller.director->mainContext(), view->mainContext());
    EXPECT_EQ(controller.director->directorStatus(), 0);
    EXPECT_EQ(controller.clears, 1);
    EXPECT_FLOAT_EQ(gBackingScaleFactor, 2.0f);
    EXPECT_EQ(SlideshowProject::ulFrameRate(), 30u);
}

TEST_F(PreviewTest, AResizeLetterBoxesTheViewAndTellsTheProject) {
    view->reshape(QSize(320, 240));
    EXPECT_EQ(view->renderer()->viewport(), QRect(0, 30, 320, 180));
    EXPECT_EQ(project->nScreenWidth(), 320);
    EXPECT_EQ(project->nScreenHeight(), 240);
    EXPECT_EQ(project->nWidthOpenGLView(), 320);
    EXPECT_EQ(project->nHeightOpenGLView(), 180);
    EXPECT_EQ(project->nYOpenGLView(), 30);
}

TEST_F(PreviewTest, WhilePlayingEachTickDrawsAFrameInTheLetterBox) {
    useSlides({photo("white.png", rendertest::solid(160, 90, Qt::white), 2.0f, 1.0f)});
    view->reshape(QSize(160, 120)); // 4:3: bars of 15 pixels above and below
    FrameCounter frames(*view);
    controller.director->setSlideshowArray(project->slideshowArray());
    view->getFrameForTime(0.0, 0.0); // the link's callback, while the link waits for its clock
    EXPECT_EQ(frames.count(), 0u) << "not playing: nothing is drawn";
    controller.playing = true;
    tick();
    ASSERT_TRUE(frames.waitFor(1));
    const QImage frame = frames.last();
    ASSERT_EQ(frame.size(), QSize(160, 120));
    EXPECT_TRUE(colourNear(frame.pixel(80, 60), qRgb(255, 255, 255)));
    EXPECT_TRUE(colourNear(frame.pixel(80, 5), qRgb(0, 0, 0)));
    EXPECT_TRUE(colourNear(frame.pixel(80, 114), qRgb(0, 0, 0)));
    EXPECT_TRUE(colourNear(frame.pixel(80, 16), qRgb(255, 255, 255)));
    const QRect lit = rendertest::litBounds(frame);
    EXPECT_EQ(lit, QRect(0, 15, 160, 90));
    tick();
    ASSERT_TRUE(frames.waitFor(2));
    EXPECT_EQ(controller.director->nCurrentFrame(), 2u);
    EXPECT_EQ(view->lastFrame().size(), QSize(160, 120));
}

TEST_F(PreviewTest, AStoppedPlayerDrawsNothingAndTheLastPictureStays) {
    FrameCounter frames(*view);
    playRedSlide(frames);
    ASSERT_FALSE(HasFatalFailure());
    controller.director->stop();
    const std::size_t before = frames.count();
    tick();
    tick();
    view->displayLink()->stop(); // waits for the ticks in flight
    EXPECT_EQ(frames.count(), before);
    EXPECT_TRUE(colourNear(view->lastFrame().pixel(32, 18), qRgb(255, 0, 0)));
}

// A tick that waits for the play while a stop holds it finds the play stopped: it draws nothing of it.
TEST_F(PreviewTest, ATickThatWaitedForThePlayWhileAStopRanDrawsNothing) {
    const HangGuard guard("a tick waiting for the play while a stop runs", std::chrono::seconds(60));
    FrameCounter frames(*view);
    playRedSlide(frames);
    ASSERT_FALSE(HasFatalFailure());
    controller.pauseAtAsk(2);
    tick();
    const pid_t link = controller.waitForPause(); // in the render, past its look at the player's status
    auto play = controller.director->holdPlay();
    controller.resume();
    test_support::waitUntilSleepsOnFutex(link, play.mutex()); // the tick waits for the play
    controller.director->stop();
    play.unlock();
    view->displayLink()->stop(); // waits for the tick in flight
    EXPECT_EQ(frames.count(), 1u);
    EXPECT_TRUE(colourNear(view->lastFrame().pixel(32, 18), qRgb(255, 0, 0)));
}

TEST_F(PreviewTest, DragsBecomePanOrTextMovesOnlyWhileThoseAreEdited) {
    std::vector<platform::Notification> posted;
    auto& center = platform::NotificationCenter::defaultCenter();
    platform::ObserverHandle pan(
        center, center.addObserver(kNotifyPanZoomChanged,
                                   [&](const platform::Notification& n) { posted.push_back(n); }));
    platform::ObserverHandle text(
        center, center.addObserver(kNotifyTextPositionChanged,
                                   [&](const platform::Notification& n) { posted.push_back(n); }));
    view->mouseDragged(10, 5, QSizeF(960, 540));
    EXPECT_TRUE(posted.empty());
    project->setNCurrentStatus(3);
    view->mouseDragged(10, 5, QSizeF(960, 540));
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].name, kNotifyPanZoomChanged);
    const QVariantMap info = posted[0].object.toMap();
    EXPECT_EQ(info.value("NAME").toString(), "PAN");
    EXPECT_DOUBLE_EQ(info.value("deltaX").toDouble(), 20.0);
    EXPECT_DOUBLE_EQ(info.value("deltaY").toDouble(), 10.0);
    EXPECT_DOUBLE_EQ(info.value("VALUE").toDouble(), 0.0);
    project->setNCurrentStatus(2);
    view->mouseDragged(-4.8, 0, QSizeF(960, 540));
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[1].name, kNotifyTextPositionChanged);
    EXPECT_NEAR(posted[1].object.toMap().value("deltaX").toDouble(), -9.6, 1e-5);
    EXPECT_FALSE(posted[1].object.toMap().contains("VALUE"));
}

TEST_F(PreviewTest, WhileAFrameWaitsForAPictureThatNeverComesTheViewResizesAndAStopEndsThePlay) {
    const HangGuard guard("a resize and a stop while a frame waits for a picture", std::chrono::seconds(60));
    const auto late = test_support::slideBeingImported(contents + "/still-importing.jpg", 1.0f, 1.0f);
    ASSERT_TRUE(late);
    useSlides({late});
    view->reshape(QSize(160, 90));
    PlayWaits waits(*controller.director);
    controller.director->setSlideshowArray(project->slideshowArray());
    controller.playing = true;
    tick();
    view->waitForBinds(1);   // the frame has the main context, and goes on to wait for the slide
    waits.waitForThreads(2); // the loader's wait for the picture, and the frame's for the loader
    const std::thread::id frame = view->drawingThread();
    const int asked = waits.asksOf(frame);
    ASSERT_GT(asked, 0) << "the frame waits";
    view->reshape(QSize(320, 180));
    EXPECT_EQ(view->pixelSize(), QSize(320, 180));
    waits.waitForAskAfter(frame, asked); // the frame waits on past the resize
    EXPECT_EQ(view->lastFrame(), QImage()) << "nothing drawn meanwhile";
    controller.director->stop();
    EXPECT_EQ(controller.director->directorStatus(), 0);
    // The link's thread is free again: the next play draws its frames at the new size.
    FrameCounter frames(*view);
    useSlides({photo("white.png", rendertest::solid(32, 18, Qt::white), 2.0f, 1.0f)});
    controller.director->setSlideshowArray(project->slideshowArray());
    tick();
    ASSERT_TRUE(frames.waitFor(1));
    EXPECT_EQ(frames.last().size(), QSize(320, 180));
    EXPECT_TRUE(colourNear(frames.last().pixel(160, 90), qRgb(255, 255, 255)));
}

TEST_F(PreviewTest, AViewClosedDuringAPlayEndsThePlayAndItsLoaders) {
    const HangGuard guard("a view closed during a play", std::chrono::seconds(60));
    controller.director->backgroundRender()->setTheme({{"backgroundID", 0}}); // a moving backdrop, loaded too
    std::vector<SlideItemRef> slides;
    for (const auto colour : {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan})
        slides.push_back(
            photo(QString("%1.png").arg(int(colour)), rendertest::solid(32, 18, colour), 1.0f, 1.0f));
    useSlides(slides);
    view->reshape(QSize(64, 36));
    FrameCounter frames(*view);
    controller.director->setSlideshowArray(project->slideshowArray());
    controller.playing = true;
    tick();
    ASSERT_TRUE(frames.waitFor(1));
    const std::weak_ptr<SlideshowDirector> player = controller.director;
    controller.director.reset(); // the view's is the last hold on the player
    view.reset();
    EXPECT_TRUE(player.expired());
}
