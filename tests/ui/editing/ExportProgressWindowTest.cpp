// The export-progress window: what it shows, how each way of ending it tells a cancel from the program's end,
// and an end that comes before the window runs.
#include "support/MainWindowFixture.h"
#include "support/Screenshot.h"
#include "support/WidgetClick.h"

#include "dvd/DVDNotifications.h"
#include "ui/editing/ExportProgressWindowController.h"
#include "ui/main/MainWindowDialogs.h"

#include <QPushButton>
#include <QTimer>

#include <thread>

using platform::NotificationCenter;

namespace {

// Counts the cancels posted while it lives.
struct CancelCount {
    CancelCount() {
        auto& center = NotificationCenter::defaultCenter();
        handle = {center, center.addObserver(kNotifyCancelEncodingVideo, [this](const auto&) { ++posts; })};
    }
    int posts = 0;
    platform::ObserverHandle handle;
};

} // namespace

class ExportProgressWindowTest : public MainWindowTest {};

TEST_F(ExportProgressWindowTest, ShowsTenthsOfAPercentAndAuthoringFromAnyThread) {
    ExportProgressWindowController window(projectSource());
    window.updateProgress(0.255);
    EXPECT_DOUBLE_EQ(window.progressValue(), 25.5);
    window.setInfoText("Encoding slideshow to video now, please waiting...\n\n25.50%");
    window.show();
    screenshot::save(window, "export-progress-mid-export");

    std::thread author([] { NotificationCenter::defaultCenter().post(kNotifyDVDAuthorProgress, 40.0); });
    author.join();
    ASSERT_TRUE(test_support::spinUntil([&] { return window.windowTitle() == "Build DVD"; }));
    EXPECT_DOUBLE_EQ(window.progressValue(), 40.0);
    EXPECT_EQ(window.infoText(), "Creating DVD in progress...");
}

TEST_F(ExportProgressWindowTest, OnlyTheUserEndingRunningWorkIsACancel) {
    struct Case {
        const char* how;
        std::function<void(ExportProgressWindowController&)> end;
        bool cancel;
        QString button;
    };
    const Case cases[] = {
        {"the button", [](auto& w) { w.cancelButtonClicked(); }, true, "Cancel"},
        {"the close box", [](auto& w) { w.close(); }, true, "Cancel"},
        {"the program", [](auto& w) { w.endModal(); }, false, "Cancel"},
        {"OK after success",
         [](auto& w) {
             w.finishedSuccess("Uploaded.");
             w.cancelButtonClicked();
         },
         false, "OK"},
        {"Close after a failure",
         [](auto& w) {
             w.finishedError("The upload failed.");
             w.close();
         },
         false, "Close"},
    };
    for (const Case& step : cases) {
        project->setBExportProgressCancelButtonClicked(true); // left by an earlier export
        CancelCount cancels;
        ExportProgressWindowController window(projectSource());
        EXPECT_FALSE(project->bExportProgressCancelButtonClicked()) << step.how << ": a new window clears it";
        QTimer::singleShot(0, &window, [&] { step.end(window); });
        window.runModal();
        EXPECT_TRUE(window.hasEnded()) << step.how;
        EXPECT_EQ(cancels.posts, step.cancel ? 1 : 0) << step.how;
        EXPECT_EQ(project->bExportProgressCancelButtonClicked(), step.cancel) << step.how;
        EXPECT_EQ(window.buttonTitle(), step.button) << step.how;
    }
}

// The DVD command starts its encode before it runs the window; an end that comes first ends that run.
TEST_F(ExportProgressWindowTest, AnEndBeforeTheWindowRunsEndsItsRunAtOnce) {
    MainWindowDialogs dialogs(nullptr, projectSource());
    ExportProgressWindowController window(projectSource());
    dialogs.setExportProgressWindow(&window);
    dialogs.updateExportProgress(0.5, "half");
    dialogs.closeExportProgress();
    bool hung = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &window, [&] {
        hung = true;
        window.done(QDialog::Rejected);
    });
    guard.start(5000);
    dialogs.runExportProgressModal();
    EXPECT_FALSE(hung);
    EXPECT_DOUBLE_EQ(window.progressValue(), 50.0);
    EXPECT_EQ(window.infoText(), "half");
}

// A burn takes a moment to stop: its window stays after Cancel, saying so, until the burn tells its end.
TEST_F(ExportProgressWindowTest, AWindowThatWaitsForItsCancelSaysSoUntilTheWorkHasStopped) {
    CancelCount cancels;
    ExportProgressWindowController window(projectSource());
    window.setStaysUntilCancelEnds(true);
    window.updateProgress(0.4);
    window.setInfoText("Writing");
    window.show();
    QPushButton* button = window.findChild<QPushButton*>("buttonCancel");
    ASSERT_NE(button, nullptr);
    test_support::leftClick(*button, QPointF(button->width() / 2.0, button->height() / 2.0));
    EXPECT_EQ(cancels.posts, 1);
    EXPECT_TRUE(project->bExportProgressCancelButtonClicked());
    EXPECT_FALSE(window.hasEnded());
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isCancelling());
    EXPECT_EQ(window.infoText(), "Cancelling...");
    EXPECT_FALSE(button->isEnabled());
    window.close(); // the close box asks again: nothing more
    EXPECT_EQ(cancels.posts, 1);
    EXPECT_TRUE(window.isVisible());

    window.finishedError("The burn was cancelled. Nothing was written to the disc.");
    EXPECT_FALSE(window.isCancelling());
    EXPECT_EQ(window.infoText(), "The burn was cancelled. Nothing was written to the disc.");
    EXPECT_EQ(window.buttonTitle(), "Close");
    EXPECT_TRUE(button->isEnabled());
    EXPECT_FALSE(window.isProgressBarShown());
    screenshot::save(window, "burn-progress-cancelled");
    test_support::leftClick(*button, QPointF(button->width() / 2.0, button->height() / 2.0));
    EXPECT_TRUE(window.hasEnded());
    EXPECT_EQ(cancels.posts, 1);
}
