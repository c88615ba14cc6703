#include "PlayerTestSupport.h"

#include "model/ModelClasses.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "render/StageBackground.h"

#include <QDir>

namespace playertest {

ScopedEnv::ScopedEnv(const char* variable, const QString& value)
    : name(variable), hadValue(qEnvironmentVariableIsSet(variable)), old(qgetenv(variable)) {
    qputenv(name, value.toLocal8Bit());
}

ScopedEnv::~ScopedEnv() {
    if (hadValue)
        qputenv(name, old);
    else
        qunsetenv(name);
}

QPointF litCentre(const QImage& image, int threshold) {
    const QRect lit = rendertest::litBounds(image, threshold);
    return QPointF(lit.left() + lit.width() / 2.0, lit.top() + lit.height() / 2.0);
}

} // namespace playertest

void PlayerTest::SetUp() {
    RenderTest::SetUp();
    if (HasFatalFailure())
        return;
    home.emplace("HOME", folder.path());
    config.emplace("XDG_CONFIG_HOME", folder.path() + "/.config");
    runtime.emplace("XDG_RUNTIME_DIR", folder.path() + "/run");
    temporary.emplace("VISTRELLE_TMPDIR", folder.path() + "/tmp");
    cache.emplace("XDG_CACHE_HOME", folder.path() + "/.cache");
    QDir().mkpath(folder.path() + "/run");
    QDir().mkpath(folder.path() + "/tmp");
    platform::UserDefaults::setStorePathForTesting(folder.path() + "/defaults.ini");
    platform::RandomSource::setShared(std::make_shared<platform::SeededRandom>(11));
    registerModelClasses();
    SlideshowProject::setULFrameRate(30);
    contents = folder.path() + "/Show.VistrelleProject/Contents";
    QDir().mkpath(contents);
    project = std::make_shared<SlideshowProject>();
    project->setStrMacProjectBundleFullPath(folder.path() + "/Show.VistrelleProject");
    project->setStrMacProjectBundleContentsPath(contents);
    SlideshowProject::retainProject(project);
    director = std::make_shared<SlideshowDirector>();
    director->setMainContext(context);
    director->initDirector(); // now that it is shared, the project learns of it
    setBackdrop(2);
}

void PlayerTest::TearDown() {
    if (director)
        director->stop();
    director.reset();
    SlideshowProject::resetMainProjectForTesting();
    project.reset();
    platform::UserDefaults::setStorePathForTesting(QString());
    temporary.reset();
    runtime.reset();
    config.reset();
    home.reset();
    RenderTest::TearDown();
}

SlideItemRef PlayerTest::photo(const QString& name, const QImage& picture, float photoSeconds,
                               float transitionSeconds) {
    EXPECT_TRUE(picture.save(contents + "/" + name, "PNG"));
    auto slide = std::make_shared<SlideItem>();
    slide->setFileName(name);
    slide->customSetDurations(photoSeconds, transitionSeconds);
    slide->setPanStartPoint(QPointF(0, 0));
    slide->setPanEndPoint(QPointF(0, 0));
    slide->setZoomStart(1.0);
    slide->setZoomEnd(1.0);
    return slide;
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
