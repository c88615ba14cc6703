#include "ui/main/MainWindowDialogs.h"

#include "support/IsolatedUser.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"
#include "support/WidgetClick.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QTreeView>
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
                                      "Show", "Close", ControllerDialogs::UnchangedBy::OtherButton);
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

// Show Movie File in Folder and the web pages: with no opener, or one that finds nothing to open with, an
// alert names what to open by hand, and it can be copied from there.
TEST(MainWindowDialogs, WhatNoOpenerCouldOpenIsNamedInAnAlertToCopy) {
    TempDir bin;
    const test_support::EnvOverride path("PATH", bin.path());
    QWidget window;
    MainWindowDialogs dialogs(&window, [] { return SlideshowProjectRef(); });
    const QString movie = bin.file("Trip.mp4");
    const QString page = "https://vistrelle.example/help?topic=share&lang=en";
    const struct {
        const char* what;
        std::function<void()> open;
        QString heading, address;
    } cases[] = {
        {"the movie", [&] { dialogs.revealFile(movie); }, "The folder could not be shown", movie},
        {"a web page", [&] { dialogs.openWebPage(QUrl(page)); }, "The web page could not be opened", page}};
    for (const bool openerFails : {false, true}) {
        if (openerFails) {
            ASSERT_TRUE(test_support::writeBytes(bin.file("xdg-open"), "#!/bin/sh\nexit 3\n"));
            QFile::setPermissions(bin.file("xdg-open"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (openerFails ? ", an opener that fails" : ", no opener"));
            if (QLatin1String(c.what) == QLatin1String("the movie") &&
                QDBusConnection::sessionBus().isConnected())
                continue; // a file manager of this desktop may show it
            c.open();
            ASSERT_TRUE(
                test_support::spinUntil([&] { return !window.findChildren<QMessageBox*>().isEmpty(); }));
            QMessageBox* alert = window.findChildren<QMessageBox*>().first();
            EXPECT_EQ(alert->text(), c.heading);
            EXPECT_TRUE(alert->informativeText().endsWith("\n\n" + c.address))
                << qPrintable(alert->informativeText());
            const auto* details = alert->findChild<QLabel*>("qt_msgbox_informativelabel");
            ASSERT_TRUE(details);
            EXPECT_TRUE(details->textInteractionFlags() & Qt::TextSelectableByMouse);
            alert->close(); // it deletes itself
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
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

// What a person reads off an alert: its width, the least width that reads well (some forty characters), the
// lines of its informative text, and the text of any label too small for what it holds (cut off).
struct AlertReading {
    int width = 0, readable = 0, informativeLines = 0;
    QString cut;
};

AlertReading read(const QMessageBox& alert) {
    AlertReading reading{alert.width(), 40 * alert.fontMetrics().averageCharWidth(), 0, QString()};
    for (const char* name : {"qt_msgbox_label", "qt_msgbox_informativelabel"}) {
        const auto* label = alert.findChild<QLabel*>(name);
        if (!label || label->text().isEmpty())
            continue;
        const QRect area = label->contentsRect();
        const QRect text = label->fontMetrics().boundingRect(
            QRect(0, 0, area.width(), 10000), label->wordWrap() ? Qt::TextWordWrap : 0, label->text());
        if (text.width() > area.width() || text.height() > area.height())
            reading.cut = label->text();
        if (QLatin1String(name) == QLatin1String("qt_msgbox_informativelabel"))
            reading.informativeLines = text.height() / label->fontMetrics().lineSpacing();
    }
    return reading;
}

// Every kind of alert, with a short heading over a longer text, a long heading alone and a very long one:
// each is wide enough to read (a short heading no longer makes the text a narrow column of a few words, nor
// the title bar too narrow for the program's name), and no text is cut off.
TEST(MainWindowDialogs, EveryAlertIsWideEnoughToReadAndShowsItsTextsWhole) {
    QWidget window;
    MainWindowDialogs dialogs(&window, [] { return SlideshowProjectRef(); });
    struct Case {
        QString heading, text;
        int mostInformativeLines;
    };
    const Case cases[] = {
        {"Sign In Failed", "The sign-in window was closed before the sign-in ended.", 2},
        {"The slideshow duration was synchronized successfully with music duration!", "", 0},
        {QString("The following photos can not be added to project because they could not be read: ")
             .repeated(2),
         "", 0},
    };
    for (const Case& c : cases)
        for (const char* kind : {"sheet", "alert", "question"}) {
            SCOPED_TRACE(std::string(kind) + ": " + c.heading.toStdString());
            AlertReading reading;
            const auto readWhenShown = [&reading] {
                QTimer::singleShot(0, [&reading] {
                    if (auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                        reading = read(*shown);
                        shown->close();
                    }
                });
            };
            if (QLatin1String(kind) == QLatin1String("sheet")) {
                dialogs.showAlertSheet(c.heading, c.text, "OK");
                const QList<QMessageBox*> sheets = window.findChildren<QMessageBox*>();
                ASSERT_EQ(sheets.size(), 1);
                ASSERT_TRUE(QTest::qWaitForWindowExposed(sheets[0]));
                reading = read(*sheets[0]);
                sheets[0]->close();
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            } else if (QLatin1String(kind) == QLatin1String("alert")) {
                readWhenShown();
                dialogs.runModalAlert(c.heading, c.text);
            } else {
                readWhenShown();
                dialogs.runQuestionAlert(c.heading, c.text, "Retry", "Cancel",
                                         ControllerDialogs::UnchangedBy::OtherButton);
            }
            EXPECT_GE(reading.width, reading.readable);
            EXPECT_TRUE(reading.cut.isEmpty()) << "cut off: " << qPrintable(reading.cut);
            if (c.mostInformativeLines > 0) {
                EXPECT_LE(reading.informativeLines, c.mostInformativeLines) << reading.width << " wide";
            }
        }
}

// Enter presses the default button of the window in front: of the burn's window once it tells the outcome,
// and of each alert of a stack, the one below taking the keyboard when the one above goes.
TEST(MainWindowDialogs, EnterPressesTheDefaultButtonOfTheWindowInFront) {
    QWidget window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    MainWindowDialogs dialogs(&window, [] { return SlideshowProjectRef(); });
    const auto sheetsShown = [&window] {
        int shown = 0;
        for (const QMessageBox* alert : window.findChildren<QMessageBox*>())
            shown += alert->isVisible() ? 1 : 0;
        return shown;
    };
    const struct {
        const char* window;
        std::function<void()> show;
        std::function<bool()> stillShown;
        int enters;
    } cases[] = {
        {"burn outcome",
         [&] {
             dialogs.updateBurnProgress(0.5, "Burning");
             dialogs.closeBurnProgress("The disc is ready.");
         },
         [&] { return dialogs.burnProgressWindow() != nullptr; }, 1},
        {"stacked alerts",
         [&] {
             dialogs.showAlertSheet("ERROR", "The first photo could not be read.", "OK");
             dialogs.showAlertSheet("ERROR", "The second photo could not be read.", "OK");
         },
         [&] { return sheetsShown() > 0; }, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.window);
        c.show();
        for (int enter = 0; enter < c.enters; ++enter) {
            QCoreApplication::processEvents();
            ASSERT_TRUE(test_support::pressKey(QKeyCombination(Qt::Key_Return)))
                << "no window takes the keyboard";
        }
        EXPECT_FALSE(c.stillShown());
    }
}

// The file dialogs open large enough to show a folder's long names whole, and every other column as wide as
// what it shows.
TEST(MainWindowDialogs, AFileDialogShowsItsColumnsWhole) {
    const test_support::IsolatedUser user; // the dialogs keep their state in the user's settings
    ASSERT_TRUE(QDir(user.home()).mkdir("Harbour lights at dusk from the old pier, second evening"));
    QWidget window;
    window.resize(1180, 760);
    MainWindowDialogs dialogs(&window, [] { return SlideshowProjectRef(); });
    const std::pair<const char*, std::function<void()>> panels[] = {
        {"Add Photos",
         [&] { dialogs.runMediaOpenPanel(ControllerDialogs::MediaKind::Photos, "Add Photos"); }},
        {"Open", [&] { dialogs.runOpenPanel(user.home(), "VistrelleProject"); }},
    };
    for (const auto& [title, run] : panels) {
        SCOPED_TRACE(title);
        QStringList cut;
        QTimer::singleShot(0, [&] {
            auto* panel = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!panel) {
                cut << "no file dialog";
                return;
            }
            panel->setDirectory(user.home());
            auto* files = panel->findChild<QTreeView*>(QStringLiteral("treeView"));
            const auto listed = [files] { return files->model()->rowCount(files->rootIndex()) > 0; };
            if (!files || !test_support::spinUntil(listed)) {
                cut << "nothing listed";
                panel->reject();
                return;
            }
            QCoreApplication::processEvents();
            const QHeaderView* header = files->header();
            const QAbstractItemView* view = files;
            for (int column = 0; column < header->count(); ++column)
                if (header->sectionSize(column) < view->sizeHintForColumn(column) ||
                    header->sectionSize(column) < header->sectionSizeHint(column))
                    cut << files->model()->headerData(column, Qt::Horizontal).toString();
            if (header->length() > files->viewport()->width())
                cut << "the columns run past the view";
            panel->reject();
        });
        run();
        EXPECT_TRUE(cut.isEmpty()) << cut.join(", ").toStdString();
    }
}

// A new user has no folder of pictures or music yet: the media dialogs open on the home folder with nothing
// typed as the file's name, and on the folder once it is there.
TEST(MainWindowDialogs, AMediaDialogOpensOnAFolderThatIsThereWithNoNameTyped) {
    const test_support::IsolatedUser user;
    QWidget window;
    MainWindowDialogs dialogs(&window, [] { return SlideshowProjectRef(); });
    using Kind = ControllerDialogs::MediaKind;
    const std::pair<Kind, QStandardPaths::StandardLocation> kinds[] = {
        {Kind::Photos, QStandardPaths::PicturesLocation},
        {Kind::Songs, QStandardPaths::MusicLocation},
        {Kind::Clips, QStandardPaths::MoviesLocation},
    };
    for (const auto& [kind, location] : kinds) {
        const QString folder = QStandardPaths::writableLocation(location);
        for (const bool there : {false, true}) {
            SCOPED_TRACE((folder + (there ? " there" : " missing")).toStdString());
            if (there)
                ASSERT_TRUE(QDir().mkpath(folder));
            else
                ASSERT_FALSE(QFileInfo::exists(folder));
            QString opened, typed = "no file dialog";
            QTimer::singleShot(0, [&] {
                if (auto* panel = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                    opened = panel->directory().absolutePath();
                    typed = panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
                    panel->reject();
                }
            });
            dialogs.runMediaOpenPanel(kind, "Add");
            EXPECT_EQ(opened, there ? folder : user.home());
            EXPECT_EQ(typed, QString());
        }
    }
}

// A project is a folder: a double click on one in the Open dialog opens it, as it opens any document, rather
// than showing the folder's insides.
TEST(MainWindowDialogs, ADoubleClickOnAProjectInTheOpenDialogChoosesIt) {
    const test_support::IsolatedUser user;
    const QString project = user.home() + "/Summer.VistrelleProject";
    ASSERT_TRUE(QDir().mkpath(project + "/Contents"));
    QWidget window;
    MainWindowDialogs dialogs(&window, [] { return SlideshowProjectRef(); });
    QString problem;
    QTimer::singleShot(0, [&] {
        auto* panel = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* files = panel ? panel->findChild<QTreeView*>(QStringLiteral("treeView")) : nullptr;
        const auto listed = [files] { return files->model()->rowCount(files->rootIndex()) > 0; };
        if (!files || !test_support::spinUntil(listed)) {
            problem = "nothing listed";
            if (panel)
                panel->reject();
            return;
        }
        const QModelIndexList rows = files->model()->match(files->model()->index(0, 0, files->rootIndex()),
                                                           Qt::DisplayRole, "Summer.VistrelleProject");
        if (rows.isEmpty()) {
            problem = "no project listed";
            panel->reject();
            return;
        }
        const QPoint at = files->visualRect(rows.first()).center();
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(files->viewport(), Qt::LeftButton, {}, at);
        QCoreApplication::processEvents();
        if (panel->isVisible()) {
            problem = "still open, showing " + panel->directory().dirName();
            panel->reject();
        }
    });
    const QUrl chosen = dialogs.runOpenPanel(user.home(), "VistrelleProject");
    EXPECT_EQ(problem, QString());
    EXPECT_EQ(chosen.toLocalFile(), project);
}
