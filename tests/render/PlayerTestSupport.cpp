#include "PlayerTestSupport.h"

#include "platform/foundation/MainThread.h"
#include "render/StageBackground.h"

#include <QFile>

namespace {

const QByteArray kComposition = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <key>Format</key><string>VistrelleComposition</string>
  <key>Version</key><integer>1</integer>
  <key>Inputs</key><array><string>percentDone</string><string>MoviePath</string><string>Looping</string></array>
  <key>Layers</key><array>
    <dict><key>Type</key><string>Fill</string><key>Period</key><real>1</real>
      <key>Colors</key><array><array><real>0</real><real>0</real><real>0</real></array></array></dict>
    <dict><key>Type</key><string>Rect</string>
      <key>Rect</key><array><real>0</real><real>0</real><real>0.5</real><real>0.5</real></array>
      <key>Color</key><array><real>1</real><real>0</real><real>0</real></array></dict>
    <dict><key>Type</key><string>Progress</string>
      <key>Rect</key><array><real>0</real><real>0.75</real><real>1</real><real>0.25</real></array>
      <key>Color</key><array><real>0</real><real>1</real><real>0</real></array></dict>
  </array>
</dict></plist>
)";

} // namespace

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
    QFile file(folder->file(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kComposition);
    return file.fileName();
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
