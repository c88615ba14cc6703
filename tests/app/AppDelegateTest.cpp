#include "model/ModelTestEnvironment.h"

#include "app/AppDelegate.h"
#include "app/ApplicationShell.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RepeatingTimer.h"
#include "platform/foundation/Scheduler.h"
#include "support/RecordingDialogs.h"
#include "support/UnwritableFolder.h"
#include "ui/UiNotifications.h"
#include "ui/main/MainWindowView.h"
#include "ui/main/SlideshowMainObject.h"

#include <QAction>
#include <QDir>
#include <QImage>

#include <deque>
#include <functional>
#include <optional>
#include <string>

using model_test::ModelTest;
using model_test::projectFolders;
using model_test::spinFor;
using model_test::spinUntil;
using model_test::writeFile;

namespace {

// Records what the delegate asks of the main window controller, in order.
class RecordingMainWindow : public SlideshowMainObject {
public:
    explicit RecordingMainWindow(ControllerDialogs& dialogs)
        : SlideshowMainObject(dialogs, std::make_shared<platform::ManualScheduler>()) {}

    std::vector<std::string> calls;
    bool exporting = false;

    void updateProjectInfo() override {
        calls.push_back("updateProjectInfo");
        SlideshowMainObject::updateProjectInfo();
    }
    void refreshUIForOpenProject() override {
        calls.push_back("refreshUIForOpenProject");
        SlideshowMainObject::refreshUIForOpenProject();
    }
    void stop() override { calls.push_back("stop"); }
    void setNCurrentSlideshowItemIndex(int index) override {
        calls.push_back("select " + std::to_string(index));
        SlideshowMainObject::setNCurrentSlideshowItemIndex(index);
    }
    void ensureCurrentSlideThumbnailVisible() override { calls.push_back("ensureVisible"); }
    void reshapeOpenGLView() override { calls.push_back("reshape"); }
    bool isExportRunning() const override { return exporting; }
};

} // namespace

class AppDelegateTest : public ModelTest {
protected:
    RecordingDialogs dialogs;
    RecordingMainWindow mainWindow{dialogs};
    std::unique_ptr<AppDelegate> delegate;

    void SetUp() override {
        ModelTest::SetUp();
        MainWindowServices::setCurrent(&mainWindow);
    }
    void TearDown() override {
        delegate.reset();
        ModelTest::TearDown();
    }

    // What the application does at start: the delegate, the first project, the end of launching.
    SlideshowProjectRef launch(bool finish = true) {
        delegate = std::make_unique<AppDelegate>(dialogs);
        delegate->setMainObject(&mainWindow);
        delegate->awakeFromNib();
        auto project = SlideshowProject::mainProject();
        if (finish)
            delegate->applicationDidFinishLaunching();
        return project;
    }

    // The end of the process: the delegate goes, and so do the singletons.
    void quit() {
        delegate.reset();
        SlideshowProject::resetMainProjectForTesting();
        SlideshowProjectManager::creatNewDefaultSlideshowProjectManager();
    }

    // Another project folder on disk, with n slides whose pictures exist.
    QString otherProject(const QString& title, int slides = 0) {
        auto project = SlideshowProject::createNewBundleProject(title);
        std::vector<SlideItemRef> items;
        for (int i = 0; i < slides; ++i)
            items.push_back(photoIn(project, QString("s%1.jpg").arg(i)));
        project->setSlideshowArray(items);
        project->setStrProjectTitle(title);
        EXPECT_TRUE(project->saveProjectToFile());
        return project->strMacProjectBundleFullPath();
    }

    QString openFolder() const {
        const auto project = SlideshowProject::currentMainProject();
        return project ? project->strMacProjectBundleFullPath() : QString();
    }
};

TEST_F(AppDelegateTest, StartedTwiceOnAFreshHomeItMakesOneFolderAndReopensIt) {
    const QString first = launch()->strMacProjectBundleFullPath();
    EXPECT_FALSE(first.isEmpty());
    EXPECT_EQ(projectFolders(), QStringList{"New Project.VistrelleProject"});
    EXPECT_EQ(mainWindow.windowTitle(), "Vistrelle - New Project [0 photos]");
    quit();
    EXPECT_EQ(launch()->strMacProjectBundleFullPath(), first);
    EXPECT_EQ(projectFolders().size(), 1);
}

TEST_F(AppDelegateTest, ALastProjectThatCannotBeReadIsNamedAndKeptAndANewOneOpens) {
    const QString damaged = otherProject("Holiday", 2);
    const QString archive = damaged + "/" + SlideshowProject::shortFileName();
    QFile file(archive);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QByteArray whole = file.readAll();
    ASSERT_TRUE(file.resize(whole.size() / 2)); // cut short, as a full disk or a lost copy leaves it
    file.close();
    const QByteArray cut = whole.left(whole.size() / 2);
    SlideshowProject::setStrLastProjectBundlePath(damaged);

    const QString opened = launch()->strMacProjectBundleFullPath();
    EXPECT_NE(opened, damaged);
    EXPECT_EQ(SlideshowProject::strLastProjectBundlePath(), opened);
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].title, "ERROR");
    const QString message = dialogs.alerts[0].message;
    EXPECT_TRUE(message.contains(damaged)) << qPrintable(message);
    EXPECT_TRUE(message.contains(archive + "\" is kept")) << qPrintable(message);
    EXPECT_TRUE(message.contains("could not be read: ")) << "and why: " << qPrintable(message);
    EXPECT_EQ(model_test::bytesOf(archive), cut) << "the damaged file is left as it was";

    // Told once: the next start reopens the new project without a word.
    quit();
    dialogs.alerts.clear();
    EXPECT_EQ(launch()->strMacProjectBundleFullPath(), opened);
    EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(AppDelegateTest, AGoneLastProjectIsReplacedWithoutAnAlert) {
    const QString gone = otherProject("Gone");
    ASSERT_TRUE(QDir(gone).removeRecursively());
    SlideshowProject::setStrLastProjectBundlePath(gone);
    EXPECT_NE(launch()->strMacProjectBundleFullPath(), gone);
    EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(AppDelegateTest, StartUpRunsItsStepsInOrderAndArmsTheAutosaveTimer) {
    std::vector<std::string> steps;
    delegate = std::make_unique<AppDelegate>(dialogs);
    delegate->setMainObject(&mainWindow);
    delegate->setStartupHooks(
        {[&] { steps.push_back("deleteTempFiles"); },
         [&] { steps.push_back(delegate->bLaunchFinished() ? "late offer" : "offer"); }});
    EXPECT_FALSE(delegate->bLaunchFinished());
    EXPECT_FALSE(delegate->timerIdleHandle());
    delegate->awakeFromNib();
    ASSERT_TRUE(delegate->timerIdleHandle());
    EXPECT_TRUE(delegate->timerIdleHandle()->isActive());
    SlideshowProject::mainProject();
    delegate->applicationDidFinishLaunching();
    EXPECT_TRUE(delegate->bLaunchFinished());
    EXPECT_EQ(steps, (std::vector<std::string>{"deleteTempFiles", "offer"}));
    EXPECT_EQ(mainWindow.calls.back(), "updateProjectInfo");
}

// A slide saved without its thumbnail's name gets a thumbnail file at the first reopen, and its name is saved
// when the application ends; later reopens find it and name nothing, so they make no file and leave the
// project clean.
TEST_F(AppDelegateTest, AThumbnailMadeWhenAProjectReopensIsNamedInTheSavedProject) {
    const QString folder = otherProject("Thumbnails", 1);
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(folder + "/Contents/s0.jpg", "JPG"));
    const auto thumbnails = [&] { return QDir(folder + "/Contents").entryList({"thumb_*"}, QDir::Files); };
    for (int reopen = 0; reopen < 4; ++reopen) {
        SCOPED_TRACE(reopen);
        launch();
        delegate->openProject(folder);
        ASSERT_TRUE(spinUntil(
            [&] { return delegate->pendingWorkCount() == 0 && !mainWindow.isTimelineRefreshRunning(); }));
        ASSERT_EQ(openFolder(), folder);
        const auto project = SlideshowProject::currentMainProject();
        EXPECT_EQ(project->bIsDirty(), reopen == 0) << "dirty only when a thumbnail was named";
        ASSERT_EQ(thumbnails().size(), 1);
        EXPECT_EQ(QFileInfo(project->slideItemAtIndex(0)->strThumbFileName()).fileName(), thumbnails()[0]);
        quit();
    }
}

// A start opens the last project and, once its window is up, makes on a thread of its own the thumbnail of
// each slide that has none, handing each over to the main thread. Quit before the walk has ended, the file
// made and not yet handed over goes with it: no start leaves a thumbnail file that no slide names. A start
// left to finish names one for every slide.
TEST_F(AppDelegateTest, AQuitWhileTheProjectOpensLeavesNoThumbnailFileThatNoSlideNames) {
    constexpr int kSlides = 4;
    const QString folder = otherProject("Opening", kSlides);
    for (int i = 0; i < kSlides; ++i) {
        QImage picture(640, 480, QImage::Format_RGB32);
        picture.fill(QColor::fromHsv(i * 60, 200, 200));
        ASSERT_TRUE(picture.save(folder + QString("/Contents/s%1.jpg").arg(i), "JPG"));
    }
    SlideshowProject::setStrLastProjectBundlePath(folder);
    const auto thumbnails = [&] { return QDir(folder + "/Contents").entryList({"thumb_*"}, QDir::Files); };
    // The thumbnails the saved project names, read as a start reads them.
    const auto named = [] {
        QStringList names;
        for (const SlideItemRef& slide : SlideshowProject::mainProject()->slideshowArray())
            if (const QString name = QFileInfo(slide->strThumbFileName()).fileName(); !name.isEmpty())
                names << name;
        names.sort();
        return names;
    };
    for (int start = 0; start < 4; ++start) {
        const bool quitEarly = start < 3;
        SCOPED_TRACE(quitEarly ? "quit while opening" : "left to open");
        EXPECT_EQ(thumbnails(), named()) << "every thumbnail file is a slide's";
        // The application's start: the controller's delayed refresh runs once its time has come.
        auto scheduler = std::make_shared<platform::ManualScheduler>();
        auto main = std::make_unique<SlideshowMainObject>(dialogs, scheduler);
        delegate = std::make_unique<AppDelegate>(dialogs);
        delegate->setMainObject(main.get());
        delegate->awakeFromNib();
        ASSERT_EQ(SlideshowProject::mainProject()->strMacProjectBundleFullPath(), folder);
        main->awakeFromNib();
        delegate->applicationDidFinishLaunching();
        const qsizetype before = thumbnails().size();
        scheduler->advance(5.0);
        if (quitEarly) // a thumbnail made, the main thread not yet back to take it
            EXPECT_TRUE(test_support::waitWithoutEvents([&] { return thumbnails().size() > before; }));
        else
            EXPECT_TRUE(spinUntil([&] { return !main->isTimelineRefreshRunning(); }));
        // The quit: the delegate saves the project, then the controller goes.
        delegate.reset();
        main.reset();
        quit();
        MainWindowServices::setCurrent(&mainWindow);
    }
    EXPECT_EQ(thumbnails(), named());
    EXPECT_EQ(named().size(), kSlides) << "a start left to open names a thumbnail for every slide";
}

TEST_F(AppDelegateTest, DocumentsOpenedDuringLaunchWaitForItAndOnlyTheFirstOpens) {
    const QString wanted = otherProject("Wanted", 2);
    const QString ignored = otherProject("Ignored");
    const QString startup = launch(false)->strMacProjectBundleFullPath();
    delegate->openFiles({wanted, ignored});
    spinFor(300);
    EXPECT_EQ(openFolder(), startup) << "nothing opens before launching has finished";
    delegate->applicationDidFinishLaunching();
    ASSERT_TRUE(spinUntil([&] { return openFolder() == wanted; }));
    spinFor(200);
    EXPECT_EQ(openFolder(), wanted);
    EXPECT_EQ(SlideshowProject::strLastProjectBundlePath(), wanted);
    EXPECT_EQ(mainWindow.windowTitle(), "Vistrelle - Wanted [2 photos]");
    ASSERT_GE(mainWindow.calls.size(), 4u);
    const std::vector<std::string> tail(mainWindow.calls.end() - 4, mainWindow.calls.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"reshape", "updateProjectInfo", "select 0", "ensureVisible"}));
    EXPECT_EQ(mainWindow.nCurrentSlideshowItemIndex(), 0);
    EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(AppDelegateTest, OpeningAFolderWithoutAnArchiveChangesNothingButSaysSo) {
    const QString startup = launch()->strMacProjectBundleFullPath();
    const QString notAProject = home + "/empty.VistrelleProject";
    QDir().mkpath(notAProject + "/Contents");
    const std::string titleBefore = mainWindow.windowTitle().toStdString();
    delegate->openProject(notAProject);
    ASSERT_TRUE(spinUntil([&] { return !dialogs.alerts.empty(); }));
    EXPECT_EQ(dialogs.alerts[0].title, "ERROR");
    EXPECT_FALSE(dialogs.alerts[0].message.isEmpty());
    EXPECT_EQ(openFolder(), startup);
    EXPECT_EQ(SlideshowProject::strLastProjectBundlePath(), startup);
    EXPECT_EQ(mainWindow.windowTitle().toStdString(), titleBefore);
}

TEST_F(AppDelegateTest, OpenAndNewWaitWhileAnExportHoldsTheProject) {
    auto exported = launch();
    const QString other = otherProject("Later");
    mainWindow.exporting = true;
    delegate->openProject(other);
    dialogs.newProjectAnswers.push_back(NewProjectChoice{"Made later", false});
    delegate->newProjectFile();
    spinFor(400);
    EXPECT_EQ(SlideshowProject::currentMainProject(), exported);
    EXPECT_EQ(delegate->pendingWorkCount(), 2u);
    mainWindow.exporting = false;
    ASSERT_TRUE(spinUntil([&] { return delegate->pendingWorkCount() == 0; }));
    EXPECT_EQ(SlideshowProject::currentMainProject()->strProjectTitle(), "Made later")
        << "in the order asked";
    EXPECT_TRUE(QFileInfo::exists(other));
}

TEST_F(AppDelegateTest, OpenTheCommandUsesThePanelAndIgnoresCancelAndForeignUrls) {
    launch();
    const QString before = openFolder();
    delegate->openProjectFile();
    EXPECT_EQ(dialogs.openStartFolder, SlideshowProject::appDocFullPath());
    dialogs.openAnswer = QUrl("https://example.invalid/x.VistrelleProject");
    delegate->openProjectFile();
    spinFor(200);
    EXPECT_EQ(openFolder(), before);
    const QString target = otherProject("Chosen");
    dialogs.openAnswer = QUrl::fromLocalFile(target);
    delegate->openProjectFile();
    ASSERT_TRUE(spinUntil([&] { return openFolder() == target; }));
}

TEST_F(AppDelegateTest, AnOpenSavesTheDirtyProjectItReplaces) {
    auto first = launch();
    first->setStrProjectTitle("Unsaved edit");
    first->setBIsDirty(true);
    const QString target = otherProject("Next");
    delegate->openProject(target);
    ASSERT_TRUE(spinUntil([&] { return openFolder() == target; }));
    auto reread = SlideshowProject::loadBundleProject(first->strMacProjectBundleFullPath());
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->strProjectTitle(), "Unsaved edit");
    EXPECT_FALSE(first->bIsDirty());
}

TEST_F(AppDelegateTest, TheAutosaveTickWritesOnlyDirtyProjectsAndRetriesFailures) {
    auto project = launch();
    const QString archive = project->getProjectFullFileName();
    QFile::remove(archive);
    delegate->timerIdleHandleCallBack();
    EXPECT_FALSE(QFileInfo::exists(archive)) << "a clean project causes no file access";

    project->setStrProjectTitle("Ticked");
    project->setBIsDirty(true);
    delegate->timerIdleHandleCallBack();
    EXPECT_FALSE(project->bIsDirty());
    EXPECT_EQ(SlideshowProject::loadBundleProject(project->strMacProjectBundleFullPath())->strProjectTitle(),
              "Ticked");

    const QString folder = project->strMacProjectBundleFullPath();
    std::optional<test_support::UnwritableFolder> unwritable(std::in_place, folder);
    ASSERT_TRUE(unwritable->isMade());
    project->setBIsDirty(true);
    for (int tick = 0; tick < 3; ++tick)
        delegate->timerIdleHandleCallBack();
    EXPECT_TRUE(project->bIsDirty()) << "a failed save is tried again at the next tick";
    ASSERT_EQ(dialogs.alerts.size(), 1u) << "the user is told once, not at every tick";
    EXPECT_TRUE(dialogs.alerts[0].message.contains(folder)) << dialogs.alerts[0].message.toStdString();
    unwritable.reset();
    delegate->timerIdleHandleCallBack();
    EXPECT_FALSE(project->bIsDirty());
    EXPECT_TRUE(QFileInfo::exists(folder + "/SlideshowProjectManager.dat"));
}

TEST_F(AppDelegateTest, EditsThatCannotBeSavedAreNeverDroppedWithoutAsking) {
    auto project = launch();
    const QString folder = project->strMacProjectBundleFullPath();
    const QString other = otherProject("Other");
    project->setStrProjectTitle("Edited");
    project->setBIsDirty(true);
    std::optional<test_support::UnwritableFolder> unwritable(std::in_place, folder);
    ASSERT_TRUE(unwritable->isMade());

    EXPECT_FALSE(delegate->applicationShouldTerminate()) << "Cancel keeps the application running";
    delegate->openProject(other);
    ASSERT_TRUE(spinUntil([&] { return delegate->pendingWorkCount() == 0; }));
    EXPECT_EQ(openFolder(), folder) << "Cancel keeps the project open";
    EXPECT_TRUE(project->bIsDirty());
    EXPECT_EQ(dialogs.unsavedEditsAsked, (QStringList{folder, folder}));

    dialogs.unsavedEditsAnswers = {UnsavedEditsChoice::Retry};
    dialogs.beforeUnsavedEditsAnswer = [&] { unwritable.reset(); };
    EXPECT_TRUE(delegate->applicationShouldTerminate());
    EXPECT_EQ(SlideshowProject::loadBundleProject(folder)->strProjectTitle(), "Edited") << "kept at quit";

    dialogs.beforeUnsavedEditsAnswer = nullptr;
    project->setBIsDirty(true);
    unwritable.emplace(folder);
    ASSERT_TRUE(unwritable->isMade());
    dialogs.unsavedEditsAnswers = {UnsavedEditsChoice::Discard};
    delegate->openProject(other);
    ASSERT_TRUE(spinUntil([&] { return delegate->pendingWorkCount() == 0; }));
    EXPECT_EQ(openFolder(), other) << "the user let the edits go";
}

TEST_F(AppDelegateTest, SaveWritesBothArchivesEvenWhenCleanAndReportsFailure) {
    auto project = launch();
    const QString folder = project->strMacProjectBundleFullPath();
    QFile::remove(folder + "/SlideshowProject.dat");
    QFile::remove(folder + "/SlideshowProjectManager.dat");
    EXPECT_TRUE(delegate->saveProjectFile());
    EXPECT_TRUE(QFileInfo::exists(folder + "/SlideshowProject.dat"));
    EXPECT_TRUE(QFileInfo::exists(folder + "/SlideshowProjectManager.dat"));
    ASSERT_TRUE(QDir(folder).removeRecursively());
    EXPECT_FALSE(delegate->saveProjectFile());
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].title, "ERROR");
    EXPECT_EQ(dialogs.alerts[0].button, "OK");
    EXPECT_TRUE(project->bIsDirty());
}

TEST_F(AppDelegateTest, NewMakesANamedProjectAfterSavingTheOldOne) {
    auto old = launch();
    old->setStrProjectTitle("Old, edited");
    old->setBIsDirty(true);
    dialogs.newProjectAnswers.push_back(NewProjectChoice{"Holiday", true});
    mainWindow.calls.clear();
    delegate->newProjectFile();
    ASSERT_TRUE(spinUntil([&] { return delegate->pendingWorkCount() == 0; }));
    auto made = SlideshowProject::currentMainProject();
    ASSERT_NE(made, old);
    EXPECT_EQ(made->strMacProjectBundleFullPath(),
              SlideshowProject::appDocFullPath() + "/Holiday.VistrelleProject");
    EXPECT_EQ(made->strProjectTitle(), "Holiday");
    EXPECT_TRUE(made->bIsMusicSideshow());
    EXPECT_EQ(SlideshowProject::strLastProjectBundlePath(), made->strMacProjectBundleFullPath());
    EXPECT_EQ(mainWindow.calls.front(), "stop");
    EXPECT_EQ(mainWindow.calls.back(), "updateProjectInfo");
    auto reread = SlideshowProject::loadBundleProject(made->strMacProjectBundleFullPath());
    ASSERT_TRUE(reread);
    EXPECT_TRUE(reread->bIsMusicSideshow()) << "the new folder holds the dialog's choices at once";
    EXPECT_TRUE(QFileInfo::exists(made->strMacProjectBundleFullPath() + "/SlideshowProjectManager.dat"));
    EXPECT_EQ(SlideshowProject::loadBundleProject(old->strMacProjectBundleFullPath())->strProjectTitle(),
              "Old, edited");
}

TEST_F(AppDelegateTest, ClosingTheNewDialogChangesNothingAndAnEmptyNameKeepsAnEmptyTitle) {
    auto old = launch();
    dialogs.newProjectAnswers.push_back(std::nullopt);
    delegate->newProjectFile();
    spinFor(100);
    EXPECT_EQ(SlideshowProject::currentMainProject(), old);
    dialogs.newProjectAnswers.push_back(NewProjectChoice{"", false});
    delegate->newProjectFile();
    ASSERT_TRUE(spinUntil([&] { return SlideshowProject::currentMainProject() != old; }));
    auto made = SlideshowProject::currentMainProject();
    EXPECT_EQ(QFileInfo(made->strMacProjectBundleFullPath()).fileName(), "New Project-1.VistrelleProject");
    EXPECT_TRUE(made->strProjectTitle().isEmpty());
}

TEST_F(AppDelegateTest, ProjectPropertiesRenameTheOpenProjectAndSwitchItsMusicVideoFlag) {
    auto project = launch();
    project->setStrProjectTitle("Before");
    project->setBIsDirty(false);
    dialogs.projectPropertyAnswers = {std::nullopt, NewProjectChoice{"After", true},
                                      NewProjectChoice{" ", false}};
    delegate->editProjectProperties();
    EXPECT_FALSE(project->bIsDirty()) << "closed: nothing changes";
    delegate->editProjectProperties();
    EXPECT_EQ(project->strProjectTitle(), "After");
    EXPECT_TRUE(project->bIsMusicSideshow());
    EXPECT_TRUE(project->bIsDirty());
    EXPECT_EQ(mainWindow.calls.back(), "updateProjectInfo");
    delegate->editProjectProperties();
    EXPECT_EQ(project->strProjectTitle(), "After") << "a blank name keeps the title";
    EXPECT_FALSE(project->bIsMusicSideshow());
    EXPECT_EQ(SlideshowProject::currentMainProject(), project) << "the same project, its folder kept";
}

TEST_F(AppDelegateTest, QuittingSavesTheDirtyProject) {
    auto project = launch();
    project->setStrProjectTitle("Last words");
    project->setBIsDirty(true);
    delegate->applicationWillTerminate();
    EXPECT_FALSE(project->bIsDirty());
    EXPECT_EQ(SlideshowProject::loadBundleProject(project->strMacProjectBundleFullPath())->strProjectTitle(),
              "Last words");
    project->setStrProjectTitle("At teardown");
    project->setBIsDirty(true);
    delegate.reset();
    EXPECT_EQ(SlideshowProject::loadBundleProject(project->strMacProjectBundleFullPath())->strProjectTitle(),
              "At teardown");
}

TEST_F(AppDelegateTest, QuittingSavesTheProjectManagerEvenWhenTheProjectIsClean) {
    auto project = launch();
    SlideshowProjectManager::defaultSlideshowProjectManager()->setDvdTitle("Menu title");
    project->setBIsDirty(false);
    delegate->applicationWillTerminate();
    SlideshowProjectManager::creatNewDefaultSlideshowProjectManager();
    const auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    ASSERT_TRUE(
        manager->loadFromFile(project->strMacProjectBundleFullPath() + "/SlideshowProjectManager.dat"));
    EXPECT_EQ(SlideshowProjectManager::defaultSlideshowProjectManager()->dvdTitle(), "Menu title");
}

TEST_F(AppDelegateTest, PhotosThatCouldNotBeAddedAreListedByName) {
    launch();
    auto& center = platform::NotificationCenter::defaultCenter();
    center.post(kNotifyAddPhotoFailed, QVariantList());
    spinFor(50);
    EXPECT_TRUE(dialogs.alerts.empty()) << "an empty list shows nothing";
    const QVariantList failed{
        QVariantMap{{"SLIDE_IMAGE_FILENAME", "/photos/x.jpg"}, {"REASON", "too large: 60000 x 60000"}},
        QVariantMap{{"SLIDE_IMAGE_FILENAME", "/other/100%d y.png"}}};
    center.post(kNotifyAddPhotoFailed, failed);
    ASSERT_TRUE(spinUntil([&] { return !dialogs.alerts.empty(); }));
    EXPECT_EQ(dialogs.alerts[0].title, "The following photos can not be added to project:");
    EXPECT_EQ(dialogs.alerts[0].message, "x.jpg (too large: 60000 x 60000)\n100%d y.png\n")
        << "each with why, when it is told";
    EXPECT_EQ(dialogs.alerts[0].button, "OK");
    delegate.reset();
    center.post(kNotifyAddPhotoFailed, failed);
    spinFor(50);
    EXPECT_EQ(dialogs.alerts.size(), 1u) << "a delegate that is gone observes nothing";
}

TEST_F(AppDelegateTest, ImageFilesAreRecognisedByTheirType) {
    const QString png = home + "/picture.png";
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(png));
    EXPECT_TRUE(AppDelegate::isImageFile(png));
    writeFile(home + "/notes.txt", "plain words");
    EXPECT_FALSE(AppDelegate::isImageFile(home + "/notes.txt"));
    EXPECT_FALSE(AppDelegate::isImageFile(home + "/missing.jpg"));
    EXPECT_FALSE(AppDelegate::isImageFile(home));
    EXPECT_FALSE(AppDelegate::isImageFile(""));
}

TEST_F(AppDelegateTest, TheMainWindowMapsFramesOntoCells) {
    auto project = launch();
    project->setSlideshowArray({photoIn(project, "a.jpg"), photoIn(project, "b.jpg")});
    project->calcSlideItemsPhotoTransitionDuration();
    SlideshowMainObject& controller = mainWindow;
    EXPECT_FLOAT_EQ(controller.getTimelineXPositionFromFrame(180), 170.0f);
    EXPECT_FLOAT_EQ(controller.getTimelineXPositionFromFrame(10000), -1.0f);
    controller.updateProjectInfo();
    EXPECT_EQ(controller.windowTitle(), "Vistrelle - New Project [2 photos]");
    controller.setNCurrentSlideshowItemIndex(1);
    EXPECT_EQ(project->nCurrentSlideItem(), 1u);
    controller.refreshUIForOpenProject();
    EXPECT_EQ(controller.nCurrentSlideshowItemIndex(), 0) << "a project opens on its first slide";
    EXPECT_EQ(project->nCurrentSlideItem(), 0u);
}

// The File menu's project commands, triggered in the window's menu bar, each change the open project.
TEST_F(AppDelegateTest, TheFileMenusProjectCommandsEachChangeTheOpenProject) {
    launch();
    MainWindowView window(&SlideshowProject::currentMainProject);
    connectProjectCommands(window, *delegate);
    const QString other = otherProject("Chosen");
    const struct {
        QAction* item;
        std::function<void()> prepare;
        std::function<bool()> changed;
    } rows[] = {
        {window.newProjectAction(),
         [&] {
             dialogs.newProjectAnswers.push_back(NewProjectChoice{"Holiday", false});
         },
         [] { return SlideshowProject::currentMainProject()->strProjectTitle() == "Holiday"; }},
        {window.openProjectAction(), [&] { dialogs.openAnswer = QUrl::fromLocalFile(other); },
         [&] { return openFolder() == other; }},
        {window.saveProjectAction(), [] { SlideshowProject::currentMainProject()->setBIsDirty(true); },
         [] { return !SlideshowProject::currentMainProject()->bIsDirty(); }},
        {window.projectPropertiesAction(),
         [&] {
             dialogs.projectPropertyAnswers.push_back(NewProjectChoice{"Renamed", false});
         },
         [] { return SlideshowProject::currentMainProject()->strProjectTitle() == "Renamed"; }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.item->text().toStdString());
        row.prepare();
        row.item->trigger();
        EXPECT_TRUE(spinUntil([&] { return row.changed(); }));
    }
}
