// The DVD road of the share hub from the first click to the disc image, with the real player, mixer, encoders
// and DVD tools; the windows are answered through the recording dialogs. (The movie file's road is in
// ShareCommandTest: it is quick.)
#include "support/FakeTools.h"
#include "support/MainWindowFixture.h"
#include "support/WidgetClick.h"

#include "dvd/DVDCommand.h"
#include "dvd/MyBurnObject.h"
#include "platform/disc/DiscDrive.h"
#include "ui/UiNotifications.h"
#include "ui/editing/ExportProgressWindowController.h"
#include "ui/main/BurnSetupPanel.h"
#include "ui/main/MainWindowDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>

#include <algorithm>

using platform::NotificationCenter;

class ShareEndToEndTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        makeController();
        if (const QString why = useRealPlayer(); !why.isEmpty())
            GTEST_SKIP() << qPrintable(why);
        SlideshowProject::setStrOutputVideoPath(dir.file("Exported"));
        project->setFltPhotoDuration(0.5f);
        project->setFltTransitionDuration(0.3f);
        for (const SlideItemRef& slide :
             useColourSlides({QColor(220, 40, 40), QColor(40, 200, 60), QColor(50, 70, 230)}))
            slide->customSetDurations(0.6f, 0.3f);
        project->calcSlideItemsPhotoTransitionDuration();
    }
    bool ends(const std::function<bool()>& done) { return test_support::spinUntil(done, 180000); }
    static void writeEarlierImage(const QString& path) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("an earlier image");
    }
};

TEST_F(ShareEndToEndTest, ADVDIsAuthoredAndWrittenIntoADiscImage) {
    const QString image = dir.file("Trip.iso");
    QString error;
    auto drive =
        platform::disc::DiscDrive::open(platform::disc::DiscDrive::pseudoDriveAddress(image), &error);
    ASSERT_TRUE(drive) << qPrintable(error);
    dialogs.burnSetupAnswers = {drive};
    drive.reset();
    QStringList titles;
    NotificationCenter::defaultCenter().post(kNotifyShareOptionButtonClick, 3);
    ASSERT_EQ(dialogs.burnSetups, 1);
    ASSERT_EQ(dialogs.modalRuns, 1) << qPrintable(dialogs.alertText());
    ASSERT_TRUE(ends([&] {
        if (auto* window = controller->exportProgressWC(); window && !titles.contains(window->windowTitle()))
            titles << window->windowTitle();
        return controller->dvdCommand()->stage() == DVDCommand::Stage::Idle;
    }));
    EXPECT_TRUE(dialogs.alerts.empty()) << qPrintable(dialogs.alertText());
    EXPECT_TRUE(titles.contains("Build DVD")) << qPrintable(titles.join(", "));
    EXPECT_EQ(dialogs.modalEnds, 1);
    ASSERT_FALSE(dialogs.burnProgress.empty());
    EXPECT_TRUE(std::is_sorted(dialogs.burnProgress.begin(), dialogs.burnProgress.end()));
    EXPECT_DOUBLE_EQ(dialogs.burnProgress.back(), 1.0);
    ASSERT_EQ(dialogs.burnResults.size(), 1);
    EXPECT_TRUE(dialogs.burnResults[0].contains(image)) << qPrintable(dialogs.burnResults[0]);
    EXPECT_EQ(dialogs.offMainThreadCalls(), 0);

    // An ISO 9660 image named "Corvanta", holding the DVD's video folder.
    QFile disc(image);
    ASSERT_TRUE(disc.open(QIODevice::ReadOnly));
    ASSERT_TRUE(disc.seek(16 * 2048));
    const QByteArray descriptor = disc.read(2048);
    EXPECT_EQ(descriptor.mid(1, 5), "CD001");
    EXPECT_EQ(descriptor.mid(40, 32).trimmed(), "Corvanta");
    EXPECT_TRUE(disc.readAll().contains("VIDEO_TS"));
    EXPECT_TRUE(project->bPlayLoop());
    EXPECT_EQ(SlideshowProject::ulFrameRate(), 30u);
}

TEST_F(ShareEndToEndTest, ATestBurnTickedInTheSetUpRunsTheWholeDVDAndWritesNothing) {
    const QString image = dir.file("Rehearsal.iso");
    writeEarlierImage(image);
    BurnSetupPanel::Drives imageOnly;
    BurnSetupPanel panel(imageOnly, image);
    panel.show();
    ASSERT_EQ(panel.targets()->count(), 1) << "the disc image file alone";
    QCheckBox* box = panel.testBurnCheckbox();
    test_support::leftClick(*box, QPointF(4, box->height() / 2));
    ASSERT_TRUE(box->isChecked());
    panel.accept();
    QString error;
    dialogs.burnSetupAnswers = {panel.takeChosenDrive(&error)};
    ASSERT_TRUE(dialogs.burnSetupAnswers.front()) << qPrintable(error);

    NotificationCenter::defaultCenter().post(kNotifyShareOptionButtonClick, 3);
    ASSERT_EQ(dialogs.modalRuns, 1) << qPrintable(dialogs.alertText());
    ASSERT_TRUE(ends([&] { return controller->dvdCommand()->stage() == DVDCommand::Stage::Idle; }));
    EXPECT_TRUE(dialogs.alerts.empty()) << qPrintable(dialogs.alertText());
    ASSERT_FALSE(dialogs.burnProgress.empty());
    EXPECT_DOUBLE_EQ(dialogs.burnProgress.back(), 1.0);
    ASSERT_EQ(dialogs.burnResults.size(), 1);
    EXPECT_TRUE(dialogs.burnResults[0].contains("Nothing was written")) << qPrintable(dialogs.burnResults[0]);
    QFile kept(image);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "an earlier image");
}

// Cancel in the burn's window while the disc image is being written: the burn stops at once, the image file
// keeps what it held, and the window, up until the burn has stopped, says that nothing was written.
TEST_F(ShareEndToEndTest, CancelDuringTheBurnStopsItWritesNothingAndTheWindowSaysSo) {
    const QString image = dir.file("Trip.iso");
    writeEarlierImage(image);
    // The image is measured large and then only begins to come, as from a slow source: the burn is under way
    // and far from its end when Cancel comes. Only a cancel stops it before the two minutes are out.
    const QString streaming = dir.file("streaming");
    test_support::FakeTools tools;
    tools.add("mkisofs",
              "if [ \"$1\" = -print-size ]; then echo 4096; else head -c 1048576 /dev/zero; touch \"" +
                  QFile::encodeName(streaming) + "\"; exec sleep 120; fi");
    SlideshowProjectManager::defaultSlideshowProjectManager()->setBUseDVDMenu(false); // a shorter encode
    BurnSetupPanel::Drives imageOnly;
    BurnSetupPanel panel(imageOnly, image);
    panel.accept();
    QString error;
    dialogs.burnSetupAnswers = {panel.takeChosenDrive(&error)};
    ASSERT_TRUE(dialogs.burnSetupAnswers.front()) << qPrintable(error);
    MainWindowDialogs burnWindow(nullptr, projectSource());
    dialogs.burnWindow = &burnWindow;

    NotificationCenter::defaultCenter().post(kNotifyShareOptionButtonClick, 3);
    ASSERT_EQ(dialogs.modalRuns, 1) << qPrintable(dialogs.alertText());
    ASSERT_TRUE(ends([&] { return QFileInfo::exists(streaming) && burnWindow.burnProgressWindow(); }))
        << qPrintable(dialogs.alertText());
    ExportProgressWindowController* shown = burnWindow.burnProgressWindow();
    ASSERT_EQ(controller->dvdCommand()->stage(), DVDCommand::Stage::Burning);
    EXPECT_TRUE(shown->isVisible());
    EXPECT_EQ(shown->windowTitle(), "Burn DVD");
    QPushButton* cancel = shown->findChild<QPushButton*>("buttonCancel");
    ASSERT_NE(cancel, nullptr);
    ASSERT_EQ(cancel->text(), "Cancel");
    test_support::leftClick(*cancel, QPointF(cancel->width() / 2.0, cancel->height() / 2.0));

    ASSERT_TRUE(test_support::spinUntil(
        [&] { return controller->dvdCommand()->stage() == DVDCommand::Stage::Idle; }, 30000))
        << "the burn went on after Cancel";
    EXPECT_TRUE(dialogs.alerts.empty()) << qPrintable(dialogs.alertText());
    EXPECT_EQ(controller->dvdCommand()->myburnObj()->wait().outcome, platform::disc::BurnOutcome::Cancelled);
    EXPECT_TRUE(dialogs.burnResults.isEmpty()) << qPrintable(dialogs.burnResults.join(" | "));
    const QString said = "The burn was cancelled. Nothing was written to the disc image " + image + ".";
    EXPECT_EQ(dialogs.burnCancels, QStringList{said});
    // The window is still up and says so; its button only closes it now.
    EXPECT_EQ(burnWindow.burnProgressWindow(), shown);
    EXPECT_TRUE(shown->isVisible());
    EXPECT_EQ(shown->infoText(), said);
    EXPECT_EQ(shown->buttonTitle(), "Close");

    QFile kept(image);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "an earlier image");
    const QStringList beside = QDir(dir.path()).entryList({".Trip.iso*"}, QDir::Files | QDir::Hidden);
    EXPECT_TRUE(beside.isEmpty()) << qPrintable(beside.join(", "));
    test_support::leftClick(*cancel, QPointF(cancel->width() / 2.0, cancel->height() / 2.0));
    EXPECT_TRUE(shown->hasEnded());
    EXPECT_EQ(dialogs.offMainThreadCalls(), 0);
    dialogs.burnWindow = nullptr;
}
