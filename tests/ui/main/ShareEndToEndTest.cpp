// The DVD road of the share hub from the first click to the disc image, with the real player, mixer, encoders
// and DVD tools; the windows are answered through the recording dialogs. (The movie file's road is in
// ShareCommandTest: it is quick.)
#include "support/MainWindowFixture.h"
#include "support/WidgetClick.h"

#include "dvd/DVDCommand.h"
#include "platform/disc/DiscDrive.h"
#include "ui/UiNotifications.h"
#include "ui/editing/ExportProgressWindowController.h"
#include "ui/main/BurnSetupPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>

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
    QFile old(image);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an earlier image");
    old.close();
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
