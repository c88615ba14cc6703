// The authoring's own progress window: its bar follows the authoring from its thread, its Cancel says
// "NSNOTIFY_DVDAUTHOR_CANCELLED" and ends its run, and closing it says nothing.
#include "support/MainWindowFixture.h"
#include "support/NotificationLog.h"
#include "support/Screenshot.h"
#include "support/WidgetClick.h"

#include "dvd/DVDNotifications.h"
#include "ui/editing/DVDAuthorProgressWindowController.h"

#include <QTimer>

#include <thread>

using platform::NotificationCenter;

class DVDAuthorProgressWindowTest : public MainWindowTest {};

TEST_F(DVDAuthorProgressWindowTest, StartsAtZeroCentredAndFollowsTheAuthoringFromItsThread) {
    QWidget over;
    over.setGeometry(100, 80, 900, 600);
    DVDAuthorProgressWindowController window(&over);
    NotificationCenter::defaultCenter().post(kNotifyDVDAuthorProgress, 70.0); // before it follows: ignored
    window.windowDidLoad();
    EXPECT_DOUBLE_EQ(window.progressValue(), 0.0);
    EXPECT_LE((window.geometry().center() - over.frameGeometry().center()).manhattanLength(), 2);

    std::thread author([] { NotificationCenter::defaultCenter().post(kNotifyDVDAuthorProgress, 62.5); });
    author.join();
    ASSERT_TRUE(test_support::spinUntil([&] { return window.progressValue() == 62.5; }, 5000));
    window.show();
    screenshot::save(window, "dvd-author-progress");
    NotificationCenter::defaultCenter().post(kNotifyDVDAuthorProgress, 250.0);
    QCoreApplication::processEvents();
    EXPECT_DOUBLE_EQ(window.progressValue(), 100.0);
}

TEST_F(DVDAuthorProgressWindowTest, CancelSaysSoAndEndsTheRunButClosingSaysNothing) {
    struct Case {
        const char* how;
        std::function<void(DVDAuthorProgressWindowController&)> end;
        int cancels;
    };
    const Case cases[] = {
        {"Cancel",
         [](auto& w) {
             QPushButton& button = *w.cancelButton();
             test_support::leftClick(button, QPointF(button.width() / 2.0, button.height() / 2.0));
         },
         1},
        {"the close box", [](auto& w) { w.close(); }, 0},
    };
    for (const Case& c : cases) {
        const test_support::NotificationLog log({kNotifyDVDAuthorCancelled, kNotifyCancelEncodingVideo});
        DVDAuthorProgressWindowController window;
        window.windowDidLoad();
        QTimer::singleShot(0, &window, [&] { c.end(window); });
        bool hung = false;
        QTimer::singleShot(5000, &window, [&] {
            hung = true;
            window.done(QDialog::Accepted);
        });
        EXPECT_EQ(window.exec(), QDialog::Rejected) << c.how;
        EXPECT_FALSE(hung) << c.how;
        EXPECT_EQ(log.count(kNotifyDVDAuthorCancelled), c.cancels) << c.how;
        EXPECT_EQ(log.count(kNotifyCancelEncodingVideo), 0)
            << c.how << ": only the authoring's own notification";
    }
}
