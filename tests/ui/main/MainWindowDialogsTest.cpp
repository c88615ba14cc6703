#include "ui/main/MainWindowDialogs.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <functional>

#include <gtest/gtest.h>

// An alert run in a loop of its own is titled with the program's name: the title bar of a window as narrow as
// an alert cuts a sentence short, and the alert's heading already says what it is about.
TEST(MainWindowDialogs, AnAlertRunInItsOwnLoopIsTitledWithTheProgramsName) {
    QWidget window;
    MainWindowDialogs dialogs(&window, [] { return SlideshowProjectRef(); });
    const std::pair<const char*, std::function<void()>> alerts[] = {
        {"alert", [&] { dialogs.runModalAlert("Please add at least 3 photos to get started!", QString()); }},
        {"question",
         [&] {
             dialogs.runQuestionAlert("Congratulations! Movie file has been created successfully!", "",
                                      "Show", "Close");
         }},
    };
    for (const auto& [kind, run] : alerts) {
        QString title;
        QTimer::singleShot(0, [&title] {
            if (auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                title = shown->windowTitle();
                shown->close();
            }
        });
        run();
        EXPECT_EQ(title, "Vistrelle") << kind;
    }
}

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
        EXPECT_EQ(alerts[0]->windowTitle(), "Vistrelle") << "the heading says what it is about";
        alerts[0]->close(); // it deletes itself
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}
