// The share windows of the document window: the burn set-up's rule for media, the share call-out over the
// Share button, and the finished dialog.
#include "support/MainWindowFixture.h"
#include "support/Screenshot.h"
#include "support/WidgetClick.h"

#include "ui/controls/AWAttachedWindow.h"
#include "ui/editing/ShareOptionsViewController.h"
#include "ui/main/BurnSetupPanel.h"
#include "ui/main/MainWindowDialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>

using platform::disc::MediaProfile;

namespace {

// Two recorders, one holding a CD-R and one a DVD+RW; inspecting one never opens a real drive.
BurnSetupPanel::Drives scriptedDrives(QStringList* inspected) {
    BurnSetupPanel::Drives drives;
    drives.list = [](QString*) {
        return std::vector<platform::disc::DriveInfo>{{"/dev/sr0", "Acme", "Writer", "1.0"},
                                                      {"/dev/sr1", "Acme", "Writer", "1.0"}};
    };
    drives.inspect = [inspected](const QString& address) {
        inspected->append(address);
        BurnSetupPanel::Inspection seen;
        seen.media.profileCode = address == "/dev/sr0" ? 0x09 : 0x1a;
        seen.media.profile = platform::disc::mediaProfileFromCode(seen.media.profileCode);
        return seen;
    };
    return drives;
}

} // namespace

class ShareWindowsTest : public MainWindowTest {};

TEST_F(ShareWindowsTest, TheBurnSetUpTakesAWritableDVDOrADiscImageFile) {
    QStringList inspected;
    const QString image = dir.file("Trip.iso");
    BurnSetupPanel panel(scriptedDrives(&inspected), image);
    ASSERT_EQ(panel.targets()->count(), 3);
    EXPECT_EQ(inspected, QStringList({"/dev/sr0"}));
    EXPECT_EQ(panel.promptText(), "That's not a writable DVD!");
    EXPECT_FALSE(panel.canBurn());
    panel.show();
    screenshot::save(panel, "burn-setup-cd-r");

    panel.targets()->setCurrentIndex(1);
    EXPECT_TRUE(panel.canBurn()) << qPrintable(panel.promptText());

    panel.targets()->setCurrentIndex(2);
    EXPECT_TRUE(panel.canBurn()) << qPrintable(panel.promptText());
    panel.imagePathField()->setText(dir.file("no such folder/Trip.iso"));
    EXPECT_FALSE(panel.canBurn());
    panel.imagePathField()->setText(image);
    panel.accept();
    QString error;
    const auto drive = panel.takeChosenDrive(&error);
    ASSERT_TRUE(drive) << qPrintable(error);
    EXPECT_TRUE(drive->isPseudoDrive());
    EXPECT_EQ(drive->imageFilePath(), image);
    // Written beside its name until it is whole, into the file made for it, which the drive reaches through
    // its descriptor.
    EXPECT_TRUE(drive->address().startsWith("stdio:/proc/")) << qPrintable(drive->address());
    EXPECT_TRUE(QFileInfo(drive->address().mid(6))
                    .canonicalFilePath()
                    .startsWith(QFileInfo(dir.path()).canonicalFilePath() + "/.Trip.iso."))
        << qPrintable(QFileInfo(drive->address().mid(6)).canonicalFilePath());
}

TEST_F(ShareWindowsTest, TheBurnSetUpOffersATestBurnThatTheChosenDriveCarries) {
    QStringList inspected;
    const QString image = dir.file("Kept.iso");
    QFile old(image);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an earlier image");
    old.close();
    for (const bool test : {true, false}) {
        BurnSetupPanel panel(scriptedDrives(&inspected), image);
        panel.show();
        QCheckBox* box = panel.testBurnCheckbox();
        ASSERT_TRUE(box);
        EXPECT_TRUE(box->isVisible());
        EXPECT_EQ(box->text(), "Test burn");
        EXPECT_FALSE(box->isChecked()) << "off by default";
        panel.targets()->setCurrentIndex(1);
        if (test)
            test_support::leftClick(*box, QPointF(4, box->height() / 2)); // on its box
        EXPECT_EQ(box->isChecked(), test);
        if (test)
            screenshot::save(panel, "burn-setup-test-burn");
        // The recorder looked at is scripted and has no drive; the disc image file has one.
        panel.targets()->setCurrentIndex(2);
        EXPECT_EQ(panel.promptText(), test ? "A test burn writes nothing into the disc image file."
                                           : "The disc image file Kept.iso will be replaced.");
        panel.accept();
        QString error;
        const auto drive = panel.takeChosenDrive(&error);
        ASSERT_TRUE(drive) << qPrintable(error);
        EXPECT_EQ(drive->testBurn(), test);
        QFile now(image);
        const QByteArray kept = now.open(QIODevice::ReadOnly) ? now.readAll() : QByteArray();
        EXPECT_EQ(kept, "an earlier image") << "only a burn that completes replaces the image";
    }
}

TEST_F(ShareWindowsTest, TheShareButtonOpensFourTargetsAboveItAndASecondClickClosesThem) {
    makeController(true);
    window->resize(1024, 700);
    window->show();
    controller->shareButtonClicked();
    AWAttachedWindow* callOut = controller->attachedWindow();
    ASSERT_TRUE(callOut);
    auto* targets = qobject_cast<ShareOptionsViewController*>(callOut->view());
    ASSERT_TRUE(targets);
    for (int choice = 0; choice < 4; ++choice)
        EXPECT_TRUE(targets->button(choice)) << choice;
    QAbstractButton* share = controller->outlets().m_btnShare1;
    const QPoint shareTop = share->mapToGlobal(QPoint(share->width() / 2, 0));
    EXPECT_LE(callOut->geometry().bottom(), shareTop.y()) << "above the button";
    EXPECT_TRUE(callOut->geometry().left() < shareTop.x() && shareTop.x() < callOut->geometry().right());

    // The window with the call-out over it, as a person sees them.
    QImage picture = window->grab().toImage();
    QPainter painter(&picture);
    painter.drawPixmap(callOut->mapToGlobal(QPoint(0, 0)) - window->mapToGlobal(QPoint(0, 0)),
                       callOut->grab());
    painter.end();
    picture.save(screenshot::folder() + "/share-call-out.png");

    controller->shareButtonClicked();
    EXPECT_FALSE(controller->attachedWindow());
}

// A right click on the Share button pops the share menu up where the pointer is; its items are the menu
// bar's Share items.
TEST_F(ShareWindowsTest, TheShareButtonsContextMenuIsTheShareMenuAtThePointer) {
    makeController(true);
    window->resize(1024, 700);
    window->show();
    QMenu* menu = controller->outlets().m_menuShare1;
    ASSERT_TRUE(menu);
    QAbstractButton* share = controller->outlets().m_btnShare1;
    QCursor::setPos(QPoint(120, 90)); // where the whole menu fits on the screen
    const QPoint pointer = QCursor::pos();
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(share->width() / 2, share->height() / 2),
                                 pointer);
    QApplication::sendEvent(share, &rightClick);
    ASSERT_TRUE(menu->isVisible());
    EXPECT_EQ(menu->geometry().topLeft(), pointer);
    QAction* social = controller->outlets().shareSocialSiteMenuItem;
    ASSERT_TRUE(social && menu->actions().contains(social));
    social->trigger();
    menu->hide();
    EXPECT_EQ(project->shareOptionsDict().value("ServiceName").toString(), "SocialSite");
    EXPECT_FALSE(controller->attachedWindow()) << "the menu, not the call-out";
}

TEST_F(ShareWindowsTest, TheFinishedDialogOffersToShowTheMovie) {
    const auto alert = MainWindowDialogs::makeQuestionAlert(
        nullptr, "Congratulations! Movie file has been created successfully!",
        "You can copy to USB storage device and play on HDTV or upload to Internet.",
        "Show Movie File in Folder", "Close", ControllerDialogs::UnchangedBy::OtherButton);
    ASSERT_TRUE(alert->defaultButton());
    EXPECT_EQ(alert->defaultButton()->text(), "Show Movie File in Folder");
    alert->show();
    screenshot::save(*alert, "movie-finished-dialog");
}
