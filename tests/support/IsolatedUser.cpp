#include "support/IsolatedUser.h"

#include "model/MainWindowServices.h"
#include "model/ModelClasses.h"
#include "model/SlideshowProjectManager.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"

#include <QDir>

namespace test_support {

IsolatedUser::IsolatedUser(Options options) : folders(root.path(), options.runtimeFolder) {
    platform::UserDefaults::setStorePathForTesting(home() + "/defaults.ini");
    resetSingletons();
    platform::RandomSource::setShared(std::make_shared<platform::SeededRandom>(options.seed));
    if (options.manualClock) {
        manual = std::make_shared<platform::ManualClock>();
        SlideshowProject::setClock(manual);
    }
    registerModelClasses();
}

IsolatedUser::~IsolatedUser() {
    resetSingletons();
    platform::UserDefaults::setStorePathForTesting(QString());
}

void IsolatedUser::resetSingletons() {
    SlideshowProject::resetMainProjectForTesting();
    SlideshowProjectManager::creatNewDefaultSlideshowProjectManager();
    MainWindowServices::setCurrent(nullptr);
    SlideshowProject::setClock(nullptr);
    SlideshowProject::setULFrameRate(30);
    SlideshowProject::setSizeVideoOutput(QSizeF(1280, 720));
}

SlideshowProjectRef IsolatedUser::openProject() const {
    QDir().mkpath(contents());
    auto project = platform::makeMainThreadShared<SlideshowProject>();
    project->setStrMacProjectBundleFullPath(home() + "/Show.VistrelleProject");
    project->setStrMacProjectBundleContentsPath(contents());
    SlideshowProject::retainProject(project);
    return project;
}

} // namespace test_support
