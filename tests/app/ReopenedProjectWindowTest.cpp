// A project worked on in the document window, saved and opened again through the window's File menu, as the
// application wires it: what was added is there again and shows in the preview.
#include "support/MainWindowFixture.h"

#include "app/AppDelegate.h"
#include "app/ApplicationShell.h"
#include "model/QuartzSlideItem.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/MainThread.h"
#include "render/SlideshowDirector.h"
#include "support/ColourNear.h"
#include "support/HangGuard.h"
#include "support/PlayWaits.h"
#include "support/TestComposition.h"
#include "ui/main/PreviewWidget.h"
#include "ui/main/SlideshowMenus.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QSlider>
#include <QTest>
#include <QUrl>

class ReopenedProjectWindowTest : public PreviewWindowTest {
protected:
    void SetUp() override {
        PreviewWindowTest::SetUp();
        if (IsSkipped())
            return;
        delegate = std::make_unique<AppDelegate>(dialogs);
        delegate->setMainObject(controller.get());
        delegate->awakeFromNib();
        delegate->applicationDidFinishLaunching();
        connectProjectCommands(*window, *delegate);
    }
    void TearDown() override {
        delegate.reset();
        PreviewWindowTest::TearDown();
    }
    QColor centreShown() const {
        const QImage frame = controller->previewWidget()->shownFrame();
        return frame.isNull() ? QColor() : frame.pixelColor(frame.width() / 2, frame.height() / 2);
    }
    // File > Open with the project at `folder` chosen, until it is the open project and its opening is done.
    bool openFromTheFileMenu(const QString& folder) {
        dialogs.openAnswer = QUrl::fromLocalFile(folder);
        window->openProjectAction()->trigger();
        return test_support::spinUntil([&] {
            const auto open = SlideshowProject::currentMainProject();
            return delegate->pendingWorkCount() == 0 && open && open->strMacProjectBundleFullPath() == folder;
        });
    }

    // A saved project "<name>" of three slides of `colour`, beside the open one; its folder.
    static QString savedProject(const QString& name, QColor colour) {
        QString error;
        const auto made = SlideshowProject::createNewBundleProject(name, &error);
        EXPECT_TRUE(made) << error.toStdString();
        if (!made)
            return QString();
        const QString contents = made->strMacProjectBundleContentsPath();
        made->setSlideshowArray({stillPhoto(contents, "a.png", colour), stillPhoto(contents, "b.png", colour),
                                 stillPhoto(contents, "c.png", colour)});
        EXPECT_TRUE(made->saveProjectToFile(&error)) << error.toStdString();
        return made->strMacProjectBundleFullPath();
    }

    std::unique_ptr<AppDelegate> delegate;
};

// Help > Test > Add a Composition Slide... with a composition from outside the project: the slide has no
// picture of its own, yet once saved and opened again it is there, with the project's copy of its
// composition, and the preview draws the composition.
TEST_F(ReopenedProjectWindowTest, ACompositionSlideAddedFromTheTestMenuIsThereAndDrawsOnceOpenedAgain) {
    const QColor orange(230, 128, 25);
    const QString chosen = dir.file("Sunset.vcomp");
    ASSERT_TRUE((test_support::TestComposition{.fill = {orange}, .marks = false}.write(chosen)));
    useColourSlides({QColor(40, 40, 220), QColor(40, 200, 60)});
    const QString folder = project->strMacProjectBundleFullPath();

    dialogs.mediaOpenAnswers.push_back({chosen});
    controller->outlets().addCompositionTestMenuItem->trigger();
    ASSERT_EQ(project->slideCount(), 3u);
    EXPECT_TRUE(project->slideItemAtIndex(2)->shortFileName().isEmpty()) << "no picture of its own";
    window->saveProjectAction()->trigger();
    ASSERT_FALSE(project->bIsDirty());
    project.reset();
    SlideshowProject::resetMainProjectForTesting();

    ASSERT_TRUE(openFromTheFileMenu(folder));
    const auto reopened = SlideshowProject::currentMainProject();
    ASSERT_EQ(reopened->slideCount(), 3u) << "the composition slide is kept";
    const auto composition = std::dynamic_pointer_cast<QuartzSlideItem>(reopened->slideItemAtIndex(2));
    ASSERT_TRUE(composition);
    EXPECT_EQ(QFileInfo(composition->strQuartzFilePath()).absolutePath(),
              reopened->strMacProjectBundleContentsPath())
        << "the project's own copy";

    // Played from the last slide, the composition shows.
    const SlideshowMenus menus(*window, *controller);
    menus.action("lastSlideMenuItem")->trigger();
    controller->outlets().m_btnPlayStop->click();
    scheduler->advance(0.5);
    ASSERT_EQ(controller->director()->directorStatus(), 1);
    bool drawn = false;
    for (int frame = 0; frame < 300 && !drawn; ++frame) {
        ASSERT_TRUE(tickPreview()) << "frame " << frame;
        scheduler->advance(1.0 / 30.0);
        drawn = test_support::coloursNear(centreShown(), orange, 29);
    }
    EXPECT_TRUE(drawn) << "the composition is drawn: " << centreShown().name().toStdString();
}

// File > Open while the show plays, a frame of it waiting for a picture of the project that closes (a slide
// still being imported): the play ends, its frame and loaders with it, before the project changes hands; the
// closed project goes on the main thread, and the opened one is shown.
TEST_F(ReopenedProjectWindowTest, AProjectOpenedWhileAFrameOfTheOpenOneIsUnderWayTakesItsPlace) {
    const HangGuard guard("an open while a frame waits", std::chrono::seconds(120));
    const QColor green(40, 200, 60);
    const QString other = savedProject(QStringLiteral("Other"), green);

    {
        PlayWaits waits(*controller->director());
        // The frame, holding the open project, waits for a slide's picture.
        ASSERT_NO_FATAL_FAILURE(playUntilAFrameWaitsForAPicture({Qt::red, Qt::blue, Qt::yellow}, waits));
    }
    const std::weak_ptr<SlideshowProject> closing = project;
    project.reset();

    ASSERT_TRUE(openFromTheFileMenu(other));
    EXPECT_FALSE(controller->m_bPlaying());
    EXPECT_EQ(controller->outlets().m_btnPlayStop->text(), "Play");
    EXPECT_TRUE(test_support::spinUntil([&] { return closing.expired(); })) << "the closed project is let go";
    EXPECT_TRUE(test_support::spinUntil([&] { return test_support::coloursNear(centreShown(), green, 40); }))
        << "the opened project's first slide: " << centreShown().name().toStdString();
}

// File > Open while the show plays, two and a half seconds in: the position slider and the time texts then
// show the opened project's start, not where the play of the closed one had got to.
TEST_F(ReopenedProjectWindowTest, AProjectOpenedWhileTheShowPlaysShowsItsStart) {
    const QString other = savedProject(QStringLiteral("Other"), QColor(40, 200, 60));
    useColourSlides({Qt::red, Qt::blue, Qt::yellow});
    const MainWindowOutlets& ui = controller->outlets();
    controller->updateProjectInfo(); // as adding the slides does: the slider spans the show
    ASSERT_TRUE(test_support::spinUntil([&] { return ui.positionSlider->maximum() > 60; }));
    controller->setNCurrentSlideshowItemIndex(0);
    QTest::mouseClick(controller->outlets().m_btnPlayStop, Qt::LeftButton);
    scheduler->advance(0.5);
    ASSERT_EQ(controller->director()->directorStatus(), 1);
    for (int frame = 0; frame < 75; ++frame) {
        ASSERT_TRUE(tickPreview()) << "frame " << frame;
        scheduler->advance(1.0 / 30.0);
    }
    ASSERT_GT(ui.positionSlider->value(), 30);
    ASSERT_EQ(ui.timelineTimeText->text(), "00:02");
    ASSERT_EQ(ui.realTimeText->text(), "00:02");
    project.reset();

    ASSERT_TRUE(openFromTheFileMenu(other));
    EXPECT_FALSE(controller->m_bPlaying());
    EXPECT_EQ(ui.positionSlider->value(), 0);
    EXPECT_EQ(ui.timelineTimeText->text(), "00:00");
    EXPECT_EQ(ui.realTimeText->text(), "00:00");
}
