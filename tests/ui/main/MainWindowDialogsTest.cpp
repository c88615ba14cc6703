#include "ui/main/MainWindowDialogs.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
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

// A short heading over a longer text still makes an alert wide enough to read: the text runs in lines of some
// forty characters rather than a narrow column, and the title bar has room for the program's name.
TEST(MainWindowDialogs, AnAlertWithAShortHeadingIsWideEnoughToRead) {
    QWidget window;
    MainWindowDialogs dialogs(&window, [] { return SlideshowProjectRef(); });
    const QString heading = "Sign In Failed";
    const QString text = "The sign-in window was closed before the sign-in ended.";
    const auto lineWidth = [](const QWidget& alert) { return 40 * alert.fontMetrics().averageCharWidth(); };
    const auto textLines = [](const QMessageBox& alert) {
        const auto* label = alert.findChild<QLabel*>("qt_msgbox_informativelabel");
        if (!label)
            return 0;
        const QRect text = label->fontMetrics().boundingRect(
            QRect(0, 0, label->contentsRect().width(), 10000), Qt::TextWordWrap, label->text());
        return text.height() / label->fontMetrics().lineSpacing();
    };

    dialogs.showAlertSheet(heading, text, "OK");
    const QList<QMessageBox*> sheets = window.findChildren<QMessageBox*>();
    ASSERT_EQ(sheets.size(), 1);
    QMessageBox& sheet = *sheets[0];
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
    EXPECT_GE(sheet.width(), lineWidth(sheet));
    EXPECT_LE(textLines(sheet), 2) << "the text is laid out in a column " << sheet.width() << " wide";
    sheet.close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    for (const bool question : {false, true}) {
        int width = 0, minimum = 0, lines = 0;
        QTimer::singleShot(0, [&] {
            if (auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                width = shown->width();
                minimum = lineWidth(*shown);
                lines = textLines(*shown);
                shown->close();
            }
        });
        if (question)
            dialogs.runQuestionAlert(heading, text, "Retry", "Cancel");
        else
            dialogs.runModalAlert(heading, text);
        EXPECT_GE(width, minimum) << (question ? "question" : "alert");
        EXPECT_LE(lines, 2) << (question ? "question" : "alert") << ", " << width << " wide";
    }
}
