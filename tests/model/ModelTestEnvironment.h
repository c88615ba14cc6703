#pragma once

// A fresh user for each model or application test: its own home, Movies and config folders, user
// defaults, temporary folder, clock and random source, and no open project.

#include "model/MainWindowServices.h"
#include "model/ModelClasses.h"
#include "model/SlideshowProject.h"
#include "model/SlideshowProjectManager.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace model_test {

// Sets (or with nullopt unsets) an environment variable for one scope.
using ScopedEnv = test_support::EnvOverride;

// Answers a script of values, each taken modulo n, then zeros.
class ScriptedRandom : public platform::RandomSource {
public:
    explicit ScriptedRandom(std::vector<std::uint32_t> values) : values(std::move(values)) {}
    std::uint32_t next(std::uint32_t n) override {
        const std::uint32_t value = position < values.size() ? values[position++] : 0;
        return n == 0 ? 0 : value % n;
    }

private:
    std::vector<std::uint32_t> values;
    std::size_t position = 0;
};

using test_support::spinFor;
using test_support::spinUntil;

inline void writeFile(const QString& path, const QByteArray& data = "data") {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(data);
}

// The project folders in the application folder, by name.
inline QStringList projectFolders() {
    return QDir(SlideshowProject::appDocFullPath())
        .entryList({"*." + SlideshowProject::docExtenstionName()}, QDir::Dirs | QDir::NoDotAndDotDot,
                   QDir::Name);
}

class ModelTest : public ::testing::Test {
protected:
    TempDir dir;
    QString home = dir.path();
    ScopedEnv homeEnv{"HOME", home};
    ScopedEnv configEnv{"XDG_CONFIG_HOME", home + "/.config"};
    ScopedEnv runtimeEnv{"XDG_RUNTIME_DIR", std::nullopt};
    ScopedEnv tmpEnv{"VISTRELLE_TMPDIR", home + "/tmp"};
    ScopedEnv cacheEnv{"XDG_CACHE_HOME", home + "/.cache"};
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>();

    void SetUp() override {
        QDir().mkpath(home + "/tmp");
        platform::UserDefaults::setStorePathForTesting(home + "/defaults.ini");
        platform::RandomSource::setShared(std::make_shared<platform::SeededRandom>(7));
        SlideshowProject::setClock(clock);
        SlideshowProject::setULFrameRate(30);
        SlideshowProject::setSizeVideoOutput(QSizeF(1280, 720));
        SlideshowProject::resetMainProjectForTesting();
        SlideshowProjectManager::creatNewDefaultSlideshowProjectManager();
        MainWindowServices::setCurrent(nullptr);
        registerModelClasses();
    }

    void TearDown() override {
        SlideshowProject::resetMainProjectForTesting();
        SlideshowProjectManager::creatNewDefaultSlideshowProjectManager();
        MainWindowServices::setCurrent(nullptr);
        SlideshowProject::setClock(nullptr);
        platform::UserDefaults::setStorePathForTesting(QString());
    }

    // A project made in its own folder and installed as the open one.
    SlideshowProjectRef openNewProject(const QString& title = "Test") {
        auto project = SlideshowProject::createNewBundleProject(title);
        if (project)
            SlideshowProject::retainProject(project);
        return project;
    }

    // A photo slide whose picture exists in the project's "Contents" folder.
    static SlideItemRef photoIn(const SlideshowProjectRef& project, const QString& name, float photo = 4.0f,
                                float transition = 2.0f) {
        auto slide = std::make_shared<SlideItem>();
        slide->setFileName(name);
        slide->customSetDurations(photo, transition);
        if (project && !project->strMacProjectBundleContentsPath().isEmpty())
            writeFile(project->strMacProjectBundleContentsPath() + "/" + name, "jpeg");
        return slide;
    }

    static MusicItemRef songOf(double seconds, const QString& title = "Song") {
        auto song = std::make_shared<MusicItem>();
        song->addEntriesFromDictionary({{"numberDuration", seconds}, {"titleFromFileName", title}});
        return song;
    }
};

} // namespace model_test
