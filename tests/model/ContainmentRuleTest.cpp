// The one rule for the paths a project names: the project's own regular files, or our own resources where
// only those are legitimate; links are resolved on both sides, and pipes, devices and folders never count.
#include "ModelTestEnvironment.h"

#include "model/ContentsFolder.h"
#include "model/QuartzSlideItem.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/StandardPaths.h"

#include <sys/stat.h>

using model_test::ModelTest;
using model_test::writeFile;

class ContainmentRuleTest : public ModelTest {
protected:
    SlideshowProjectRef project;
    QString folder, contents, outside, resources;
    std::optional<test_support::EnvOverride> resourceFolder;

    void SetUp() override {
        ModelTest::SetUp();
        project = openNewProject("Rule");
        ASSERT_TRUE(project);
        folder = project->strMacProjectBundleFullPath();
        contents = project->strMacProjectBundleContentsPath();
        outside = home + "/Private";
        resources = home + "/Resources";
        resourceFolder.emplace("VISTRELLE_RESOURCES", resources);
        writeFile(contents + "/own.png");
        writeFile(contents + "/videos/clip.mp4");
        writeFile(folder + "/beside.png");
        writeFile(outside + "/secret.png");
        writeFile(outside + "/clip.mp4");
        writeFile(resources + "/vector_001.jpg");
        QDir().mkpath(contents + "/folder.png");
        QFile::link(outside + "/secret.png", contents + "/out.png");
        QFile::link("own.png", contents + "/alias.png");
        QFile::link(resources + "/vector_001.jpg", outside + "/stock.jpg");
        QFile::link(outside + "/secret.png", resources + "/planted.jpg");
        ::mkfifo(QFile::encodeName(contents + "/pipe.png").constData(), 0600);
        ::mkfifo(QFile::encodeName(resources + "/pipe.jpg").constData(), 0600);
    }
    void TearDown() override {
        resourceFolder.reset();
        ModelTest::TearDown();
    }
};

TEST_F(ContainmentRuleTest, OnlyRegularFilesOfTheProjectOrOfOursCount) {
    struct Case {
        QString path;
        bool project, resource;
    };
    const QString climbOut = QDir(contents).relativeFilePath(outside + "/secret.png");
    ASSERT_TRUE(climbOut.startsWith("../"));
    const std::vector<Case> cases = {
        {contents + "/own.png", true, false},
        {contents + "/alias.png", true, false},
        {folder + "/beside.png", true, false},
        {contents + "/videos/clip.mp4", true, false},
        {contents + "/" + climbOut, false, false},
        {contents + "/out.png", false, false},
        {contents + "/pipe.png", false, false},
        {contents + "/folder.png", false, false},
        {contents + "/absent.png", false, false},
        {outside + "/secret.png", false, false},
        {"own.png", false, false},
        {"/dev/zero", false, false},
        {resources + "/vector_001.jpg", false, true},
        {outside + "/stock.jpg", false, true},
        {resources + "/../Private/secret.png", false, false},
        {resources + "/planted.jpg", false, false},
        {resources + "/pipe.jpg", false, false},
        {QString(), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(ContentsFolder::fileInProject(c.path, contents), c.project ? c.path : QString());
        EXPECT_EQ(ContentsFolder::resourceFile(c.path), c.resource ? c.path : QString());
        EXPECT_EQ(ContentsFolder::projectOrResourceFile(c.path, contents),
                  c.project || c.resource ? c.path : QString());
    }
}

TEST_F(ContainmentRuleTest, ANameInContentsIsTheProjectsFileOrOneAboutToBeMade) {
    const std::vector<std::pair<QString, bool>> names = {
        {"own.png", true},
        {"alias.png", true},
        {"new.png", true},
        {"out.png", false},
        {"pipe.png", false},
        {"folder.png", false},
        {"..", false},
        {".", false},
        {"", false},
        {"../beside.png", false},
        {"videos/clip.mp4", false},
    };
    for (const auto& [name, usable] : names)
        EXPECT_EQ(ContentsFolder::nameInContents(name, contents), usable ? contents + "/" + name : QString())
            << name.toStdString();

    // A "Contents" that is itself a link out lends nothing, not even a name to write.
    ASSERT_TRUE(QDir(contents).removeRecursively());
    writeFile(outside + "/own.png");
    ASSERT_TRUE(QFile::link(outside, contents));
    for (const char* name : {"own.png", "secret.png", "new.png"})
        EXPECT_TRUE(ContentsFolder::nameInContents(name, contents).isEmpty()) << name;
    EXPECT_TRUE(ContentsFolder::fileInProject(contents + "/secret.png", contents).isEmpty());
}

TEST_F(ContainmentRuleTest, AClipIsTheProjectsOwnOrFoundByNameInItsVideos) {
    EXPECT_EQ(ContentsFolder::clipInProject(contents + "/videos/clip.mp4", contents),
              contents + "/videos/clip.mp4");
    EXPECT_EQ(ContentsFolder::clipInProject(outside + "/clip.mp4", contents), contents + "/videos/clip.mp4")
        << "a moved project's clip, by its name";
    EXPECT_TRUE(ContentsFolder::clipInProject(outside + "/secret.png", contents).isEmpty());
    EXPECT_TRUE(ContentsFolder::clipInProject(outside + "/..", contents).isEmpty());
}

TEST_F(ContainmentRuleTest, TheStagePictureIsAStockPictureOrOneOfTheProject) {
    const std::vector<std::pair<QString, QString>> stored = {
        {"own.png", contents + "/own.png"},
        {contents + "/own.png", contents + "/own.png"},
        {resources + "/vector_001.jpg", resources + "/vector_001.jpg"},
        {"", ""},
        {outside + "/secret.png", ""},
        {QDir(contents).relativeFilePath(outside + "/secret.png"), ""},
        {"out.png", ""},
        {"pipe.png", ""},
        {"/dev/zero", ""},
    };
    for (const auto& [value, picture] : stored) {
        project->setStrThemeBackground(value);
        EXPECT_EQ(project->themeBackgroundPicture(), picture) << value.toStdString();
    }
}

TEST_F(ContainmentRuleTest, ACompositionSlideReadsOnlyWhatItsProjectHoldsOrWeProvide) {
    writeFile(resources + "/clipComposition.vcomp");
    writeFile(contents + "/own.vcomp");
    struct Case {
        QString composition, clip;
        QString locatedComposition, locatedClip;
    };
    const std::vector<Case> cases = {
        {contents + "/own.vcomp", "", contents + "/own.vcomp", ""},
        {resources + "/clipComposition.vcomp", outside + "/clip.mp4", resources + "/clipComposition.vcomp",
         contents + "/videos/clip.mp4"},
        {outside + "/secret.png", outside + "/secret.png", "", ""},
        {contents + "/out.png", contents + "/pipe.png", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.composition.toStdString());
        auto slide = platform::makeMainThreadShared<QuartzSlideItem>();
        slide->setStrQuartzFilePath(c.composition);
        slide->setStrVideoFilePath(c.clip);
        slide->setBVideoItem(!c.clip.isEmpty());
        const QByteArray data = platform::KeyedArchiver::archivedData(slide);
        auto read =
            std::dynamic_pointer_cast<QuartzSlideItem>(platform::KeyedUnarchiver::unarchiveObject(data));
        ASSERT_TRUE(read);
        EXPECT_TRUE(read->strQuartzFilePath().isEmpty()) << "nothing is read before the project locates it";
        EXPECT_TRUE(read->strVideoFilePath().isEmpty());
        EXPECT_EQ(read->locateFilesInProject(contents), !c.locatedComposition.isEmpty());
        EXPECT_EQ(read->strQuartzFilePath(), c.locatedComposition);
        EXPECT_EQ(read->strVideoFilePath(), c.locatedClip);
        EXPECT_EQ(read->mediaFilePath(), c.locatedComposition);
        // Saved again, the slide keeps what it was given: the files are found once the project has them.
        auto again = std::dynamic_pointer_cast<QuartzSlideItem>(
            platform::KeyedUnarchiver::unarchiveObject(platform::KeyedArchiver::archivedData(read)));
        ASSERT_TRUE(again);
        again->locateFilesInProject(contents);
        EXPECT_EQ(again->strQuartzFilePath(), c.locatedComposition);
    }
}
