#include "PlayerTestSupport.h"

#include "platform/foundation/MainThread.h"
#include "platform/gl/DriverLock.h"
#include "platform/gl/FrameBuffer.h"
#include "render/StageBackground.h"
#include "support/TestComposition.h"

namespace playertest {

QPointF litCentre(const QImage& image, int threshold) {
    const QRect lit = rendertest::litBounds(image, threshold);
    return QPointF(lit.left() + lit.width() / 2.0, lit.top() + lit.height() / 2.0);
}

} // namespace playertest

void PlayerTest::SetUp() {
    RenderTest::SetUp();
    if (HasFatalFailure())
        return;
    user.emplace(test_support::IsolatedUser::Options{.seed = 11, .manualClock = false});
    folder = &user->folder();
    contents = user->contents();
    project = user->openProject();
    director = std::make_shared<SlideshowDirector>();
    director->setMainContext(context);
    director->initDirector(); // now that it is shared, the project learns of it
    setBackdrop(2);
}

void PlayerTest::TearDown() {
    if (director && exportTarget)
        director->endExportPlay();
    exportTarget.reset();
    if (director)
        director->stop();
    director.reset();
    test_support::IsolatedUser::resetSingletons();
    project.reset();
    user.reset();
    RenderTest::TearDown();
}

SlideItemRef PlayerTest::photo(const QString& name, const QImage& picture, float photoSeconds,
                               float transitionSeconds) {
    EXPECT_TRUE(picture.save(contents + "/" + name, "PNG"));
    auto slide = platform::makeMainThreadShared<SlideItem>();
    slide->setFileName(name);
    slide->customSetDurations(photoSeconds, transitionSeconds);
    slide->setPanStartPoint(QPointF(0, 0));
    slide->setPanEndPoint(QPointF(0, 0));
    slide->setZoomStart(1.0);
    slide->setZoomEnd(1.0);
    return slide;
}

QString PlayerTest::writeComposition(const QString& name) {
    const QString path = folder->file(name);
    EXPECT_TRUE((test_support::TestComposition{.fill = {Qt::black}, .period = 1.0}.write(path)));
    return path;
}

std::shared_ptr<QuartzSlideItem> PlayerTest::compositionSlide(const QString& path, float photoSeconds) {
    auto slide = platform::makeMainThreadShared<QuartzSlideItem>();
    slide->setStrQuartzFilePath(path);
    slide->customSetDurations(photoSeconds, 0.0f);
    standStill(*slide);
    slide->openComposition(context);
    return slide;
}

void PlayerTest::standStill(SlideItem& slide) {
    slide.setZoomStart(1.0);
    slide.setZoomEnd(1.0);
    slide.setPanStartPoint({});
    slide.setPanEndPoint({});
}

void PlayerTest::useSlides(const std::vector<SlideItemRef>& slides) {
    project->setSlideshowArray(slides);
    project->calcSlideItemsPhotoTransitionDuration();
}

void PlayerTest::setBackdrop(int backgroundID) {
    director->backgroundRender()->setTheme({{"backgroundID", backgroundID}});
}

QImage PlayerTest::frameAt(quint64 frame) {
    while (director->nCurrentFrame() <= frame) {
        if (!director->playOneFrame()) {
            ADD_FAILURE() << "the show ended before frame " << frame;
            break;
        }
    }
    return readTarget();
}

void PlayerTest::startExport(int width, int height) {
    exportTarget = std::make_shared<FrameConverterObject>(width, height);
    ASSERT_TRUE(director->startExportPlay(project->slideshowArray(), exportTarget, {}));
    ASSERT_TRUE(exportTarget->switchOffScreenFBO());
}

QImage PlayerTest::exportFrameAt(quint64 frame) {
    while (director->nCurrentFrame() <= frame) {
        exportTarget->switchOffScreenFBO();
        if (!director->playExportFrame()) {
            ADD_FAILURE() << "the export's play ended before frame " << frame;
            break;
        }
    }
    const platform::gl::DriverLock driver; // as the pump reads a frame back
    return platform::gl::readPixelsBGRA(0, 0, exportTarget->nWidth(), exportTarget->nHeight());
}
