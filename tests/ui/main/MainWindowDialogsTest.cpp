#include "ui/main/MainWindowDialogs.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QWidget>

#include <gtest/gtest.h>

TEST(MainWindowDialogs, AnErrorAlertShowsItsMessageAboveTheWordError) {
    QWidget window;
    MainWindowDialogs dialogs(&window, [] { return SlideshowProjectRef(); }); // no project open
    struct Case {
        QString title, message, text, informative;
    };
    const Case cases[] = {
        {"ERROR", "The movie could not be written.", "The movie could not be written.", "ERROR"},
        {"The following photos can not be added to project:", "x.jpg\n",
         "The following photos can not be added to project:", "x.jpg\n"},
    };
    for (const Case& c : cases) {
        dialogs.showAlertSheet(c.title, c.message, "OK");
        const QList<QMessageBox*> alerts = window.findChildren<QMessageBox*>();
        ASSERT_EQ(alerts.size(), 1);
        EXPECT_EQ(alerts[0]->text(), c.text);
        EXPECT_EQ(alerts[0]->informativeText(), c.informative);
        EXPECT_EQ(alerts[0]->buttons().size(), 1);
        alerts[0]->close(); // it deletes itself
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}
