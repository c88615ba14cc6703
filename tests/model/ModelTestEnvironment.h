#pragma once

// The model and application tests: a user of their own (support/IsolatedUser.h) with no open project, and
// makers of projects, slides and songs.

#include "model/MainWindowServices.h"
#include "model/ModelClasses.h"
#include "model/SlideshowProject.h"
#include "model/SlideshowProjectManager.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "support/IsolatedUser.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace model_test {

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

// A small picture that decodes, as an export's check wants it.
inline void writePicture(const QString& path) {
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(path, "JPG"));
}

inline QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The project folders in the application folder, by name.
inline QStringList projectFolders() {
    return QDir(SlideshowProject::appDocFullPath())
        .entryList({"*." + SlideshowProject::docExtenstionName()}, QDir::Dirs | QDir::NoDotAndDotDot,
                   QDir::Name);
}

class ModelTest : public ::testing::Test {
protected:
    test_support::IsolatedUser user{{.runtimeFolder = false}};
    const TempDir& dir = user.folder();
    QString home = user.home();
    std::shared_ptr<platform::ManualClock> clock = user.clock();

    void SetUp() override {}
    // Before the fixtures built on this one let go of their windows and objects.
    void TearDown() override { test_support::IsolatedUser::resetSingletons(); }

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
        auto slide = platform::makeMainThreadShared<SlideItem>();
        slide->setFileName(name);
        slide->customSetDurations(photo, transition);
        if (project && !project->strMacProjectBundleContentsPath().isEmpty())
            writePicture(project->strMacProjectBundleContentsPath() + "/" + name);
        return slide;
    }

    static MusicItemRef songOf(double seconds, const QString& title = "Song") {
        auto song = platform::makeMainThreadShared<MusicItem>();
        song->addEntriesFromDictionary({{"numberDuration", seconds}, {"titleFromFileName", title}});
        return song;
    }
};

} // namespace model_test
