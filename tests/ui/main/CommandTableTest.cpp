// Every command of the document window does something a person can see: each item of the menu bar and each
// button of the window, triggered or clicked as a person would, with the recording dialogs answering.
#include "support/ClipMaker.h"
#include "support/MainWindowFixture.h"
#include "support/NullAudioSink.h"
#include "support/ToneMaker.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/media/AudioPlayer.h"
#include "render/BuiltInComposition.h"
#include "ui/controls/SDSideBar.h"
#include "ui/editing/CopyFileProgressWindowController.h"
#include "ui/editing/ExportProgressWindowController.h"
#include "ui/main/PreviewWidget.h"
#include "ui/main/SlideshowMenus.h"

#include <QApplication>
#include <QMenuBar>
#include <QPainter>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <map>

namespace {

// What a command is expected to change.
enum class Shows {
    Window,   // a window opens: a new top-level window or one run modally, named `detail`
    Panel,    // an open panel titled `detail` (a burn set-up panel for "burn") is asked for
    Alert,    // an alert whose title holds `detail`
    WebPage,  // a web page is opened
    Folder,   // a folder is shown
    Project,  // the project changes (`detail` says how)
    Timeline, // the timeline is drawn differently
    SidePane, // the side panel shows another page
    Preview,  // the preview shows another picture
    Playing,  // the show plays: the button reads Stop and the sound starts
    Sound,    // a sound starts
    Minimized,
    FullScreen,
    Quits, // the application is asked to end
};

} // namespace

// Takes the application's request to end, so that it does not end.
class QuitCatcher : public QObject {
public:
    int caught = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == qApp && event->type() == QEvent::Quit) {
            ++caught;
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

class CommandTableTest : public MainWindowTest {
protected:
    struct Row {
        QString command; // "Menu/Item" in the menu bar, or a button's object name
        Shows effect;
        QString detail;
        std::function<void()> prepare = {};
    };

    void SetUp() override {
        MainWindowTest::SetUp();
        platform::media::AudioPlayer::setDefaultSinkFactory([this] {
            auto sink = std::make_unique<test_support::NullAudioSink>();
            sinks.push_back(sink.get());
            return std::unique_ptr<platform::media::AudioSink>(std::move(sink));
        });
        if (!makeWindowWithPreview())
            GTEST_SKIP() << "no OpenGL here";
        menus = std::make_unique<SlideshowMenus>(*window, *controller);
        controller->recordSongs = false;
        slides = useColourSlides(colours);
        // Each copy window of a clip runs to its end.
        dialogs.modalWindowScript = [](QDialog& shown) {
            if (qobject_cast<CopyFileProgressWindowController*>(&shown))
                shown.exec();
        };
        scheduler->advance(2.5);
        makeCurrent(1);
        observer = platform::ObserverHandle(
            platform::NotificationCenter::defaultCenter(),
            platform::NotificationCenter::defaultCenter().addObserver(
                QString(), [this](const platform::Notification& posted) { posts << posted.name; }));
    }
    void TearDown() override {
        closeOtherWindows();
        menus.reset();
        MainWindowTest::TearDown();
        platform::media::AudioPlayer::setDefaultSinkFactory(nullptr);
    }

    // Every item of the menu bar by its path, and every button a person can see in the window.
    std::map<QString, QObject*> commands() const {
        std::map<QString, QObject*> found;
        std::function<void(QMenu&, const QString&)> walk = [&](QMenu& menu, const QString& path) {
            for (QAction* item : menu.actions()) {
                if (item->isSeparator())
                    continue;
                const QString name = path + "/" + item->text().remove('&');
                if (item->menu())
                    walk(*item->menu(), name);
                else
                    found[name] = item;
            }
        };
        for (QAction* top : window->menuBar()->actions())
            if (top->menu())
                walk(*top->menu(), top->text().remove('&'));
        for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
            if (button->isVisibleTo(window.get()) && !button->objectName().isEmpty())
                found[button->objectName()] = button;
        return found;
    }

    void run(QObject* command, Shows effect) {
        if (effect == Shows::Quits) {
            // Qt asks a running application only to end: the command runs inside its loop, and the request
            // is taken there, so that the test's application goes on.
            QuitCatcher catcher;
            qApp->installEventFilter(&catcher);
            QTimer::singleShot(0, command, [command] { qobject_cast<QAction*>(command)->trigger(); });
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
            QApplication::exec();
            qApp->removeEventFilter(&catcher);
            quits += catcher.caught;
            return;
        }
        if (auto* item = qobject_cast<QAction*>(command)) {
            item->setEnabled(true);
            item->trigger();
        } else if (auto* button = qobject_cast<QAbstractButton*>(command)) {
            QTest::mouseClick(button, Qt::LeftButton);
        }
        waitForImports();
        // The delayed starts of clip imports and refreshes, and the preview's slides and bounces.
        for (int step = 0; step < 30; ++step) {
            scheduler->advance(0.1);
            QCoreApplication::processEvents();
        }
        test_support::spinFor(30);
    }

    // What a person could see, taken before and after a command.
    struct Seen {
        QStringList windows;
        QString project;
        QImage timeline, preview, side;
        std::size_t alerts, panels, modals, pages, folders, burns, sinks, exports;
    };
    Seen seen() {
        QCoreApplication::processEvents();
        Seen s;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top != window.get() && top->isVisible())
                s.windows << describe(*top);
        s.project = projectDigest();
        s.timeline = controller->outlets().scrollView1->grab().toImage();
        s.preview = controller->previewWidget()->shownFrame();
        s.side = controller->outlets().mediaBrowserView->grab().toImage();
        s.alerts = dialogs.alerts.size();
        s.panels = dialogs.openPanels.size() + dialogs.burnSetups;
        s.modals = std::size_t(dialogs.modalWindows.size());
        s.pages = std::size_t(dialogs.webPages.size());
        s.folders = std::size_t(dialogs.revealed.size());
        s.sinks = sinks.size();
        s.exports = dialogs.exportWindows.size();
        return s;
    }
    // A window by its class, name and title, and those of what it holds (a call-out holds its view).
    static QString describe(const QWidget& top) {
        QStringList names{QStringLiteral("%1 %2 \"%3\"")
                              .arg(top.metaObject()->className(), top.objectName(), top.windowTitle())};
        for (const QWidget* inner : top.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            names << QStringLiteral("%1 %2").arg(inner->metaObject()->className(), inner->objectName());
        return names.join(' ');
    }
    QString projectDigest() const {
        QStringList parts;
        for (const SlideItemRef& slide : project->slideshowArray())
            parts << QStringLiteral("%1:%2/%3")
                         .arg(quintptr(slide.get()))
                         .arg(slide->fSecPhotoDuration())
                         .arg(slide->fSecTransitionDuration());
        parts << QStringLiteral("songs %1 texts %2 sounds %3 style %4 scale %5 share %6")
                     .arg(project->musicArray().size())
                     .arg(project->textLayerArray().size())
                     .arg(project->audioLayerArray().size())
                     .arg(project->nTimelineStyle())
                     .arg(project->nTimelinePixelPerSecond())
                     .arg(project->shareOptionsDict().value("ServiceName").toString());
        return parts.join(' ');
    }

    // Empty when the command showed its effect; else what was seen.
    QString check(const Row& row, const Seen& before, const Seen& after) const {
        const auto opened = [&] {
            for (const QString& shown : after.windows)
                if (!before.windows.contains(shown) && shown.contains(row.detail, Qt::CaseInsensitive))
                    return true;
            for (qsizetype i = qsizetype(before.modals); i < dialogs.modalWindows.size(); ++i)
                if (dialogs.modalWindows[i].contains(row.detail, Qt::CaseInsensitive))
                    return true;
            // An export's progress window, which the dialogs run.
            return after.exports > before.exports &&
                   dialogs.exportWindows.back()->windowTitle().contains(row.detail, Qt::CaseInsensitive);
        };
        bool shown = false;
        switch (row.effect) {
        case Shows::Window:
            shown = opened();
            break;
        case Shows::Panel:
            shown = row.detail == "burn"
                        ? after.panels > before.panels
                        : after.panels > before.panels && dialogs.openPanels.back().title == row.detail;
            break;
        case Shows::Alert:
            shown =
                after.alerts > before.alerts && (dialogs.alerts.back().title + dialogs.alerts.back().message)
                                                    .contains(row.detail, Qt::CaseInsensitive);
            break;
        case Shows::WebPage:
            shown = after.pages > before.pages;
            break;
        case Shows::Folder:
            shown = after.folders > before.folders;
            break;
        case Shows::Project:
            shown = after.project != before.project;
            break;
        case Shows::Timeline:
            shown = after.timeline != before.timeline;
            break;
        case Shows::SidePane:
            shown = after.side != before.side;
            break;
        case Shows::Preview:
            shown = after.preview.cacheKey() != before.preview.cacheKey() && after.preview != before.preview;
            break;
        case Shows::Playing:
            shown = controller->m_bPlaying() && controller->outlets().m_btnPlayStop->text() == "Stop";
            break;
        case Shows::Sound:
            shown = after.sinks > before.sinks && sinks.back()->isStarted();
            break;
        case Shows::Minimized:
            shown = window->isMinimized();
            break;
        case Shows::FullScreen:
            shown = window->isFullScreen();
            break;
        case Shows::Quits:
            shown = quits > 0;
            break;
        }
        if (shown)
            return {};
        return QStringLiteral("windows %1 -> %2; project %3 -> %4; alerts %5 -> %6 (%7); posted %8; "
                              "timeline %9, preview %10")
            .arg(before.windows.join(", "), after.windows.join(", "), before.project, after.project)
            .arg(before.alerts)
            .arg(after.alerts)
            .arg(dialogs.alerts.empty() ? QString()
                                        : dialogs.alerts.back().title + ": " + dialogs.alerts.back().message)
            .arg(posts.join(", "))
            .arg(after.timeline == before.timeline ? "as it was" : "redrawn")
            .arg(after.preview == before.preview ? "as it was" : "changed");
    }

    // Back to the window as it was: no other window, not playing, the three slides, the second current and
    // shown. The slides are made anew with their files: a row may have deleted a slide's files (as deleting
    // it does) or changed them, and a slide whose files are gone shows nothing.
    void restore() {
        controller->stop();
        EXPECT_TRUE(test_support::spinUntil([&] { return !controller->isExportRunning(); }, 120000));
        scheduler->advance(0.0);
        closeOtherWindows();
        window->showNormal();
        slides = useColourSlides(colours);
        project->setMusicArray({});
        project->setTextLayerArray({});
        project->setAudioLayerArray({});
        project->setShareOptionsDict({});
        project->setNTimelineStyle(0);
        project->setNTimelinePixelPerSecond(28);
        project->calcSlideItemsPhotoTransitionDuration();
        controller->layoutScrollImages();
        makeCurrent(1);
        EXPECT_TRUE(showsColour(colours[1])) << "the restored preview shows another picture";
        dialogs.mediaOpenAnswers.clear(); // what a command left unasked
        posts.clear();
    }
    void makeCurrent(int index) {
        controller->setNCurrentSlideshowItemIndex(index);
        controller->showCurrentItemPhoto(slides[std::size_t(index)]);
        test_support::spinFor(20);
    }
    bool showsColour(QColor colour) const {
        const QImage frame = controller->previewWidget()->shownFrame();
        if (frame.isNull())
            return false;
        const QColor centre = frame.pixelColor(frame.width() / 2, frame.height() / 2);
        return std::abs(centre.red() - colour.red()) + std::abs(centre.green() - colour.green()) +
                   std::abs(centre.blue() - colour.blue()) <
               30;
    }
    void closeOtherWindows() {
        for (int pass = 0; pass < 3; ++pass) {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (top != window.get() && top->isVisible())
                    top->close();
            QCoreApplication::processEvents();
        }
    }

    QString clip() {
        const QString path = dir.file("clip.mp4");
        if (!QFileInfo::exists(path)) {
            ClipMaker::Options options;
            options.frames = 15;
            EXPECT_TRUE(ClipMaker::make(path, options));
        }
        return path;
    }
    QString song() {
        const QString path = dir.file("song.wav");
        if (!QFileInfo::exists(path)) {
            EXPECT_TRUE(ToneMaker::writeWav(path, 440.0, 3.0, 0.5));
        }
        return path;
    }

    std::unique_ptr<SlideshowMenus> menus;
    const std::vector<QColor> colours{QColor(220, 40, 40), QColor(40, 200, 60), QColor(50, 70, 230)};
    std::vector<SlideItemRef> slides;
    std::vector<test_support::NullAudioSink*> sinks;
    QStringList posts;
    platform::ObserverHandle observer;
    int quits = 0;
};

TEST_F(CommandTableTest, EveryMenuItemAndButtonShowsItsEffect) {
    const auto photo = [this] {
        dialogs.mediaOpenAnswers.push_back({writePhoto("new.jpg", {64, 48}, Qt::white)});
    };
    const auto video = [this] { dialogs.mediaOpenAnswers.push_back({clip()}); };
    const auto music = [this] { dialogs.mediaOpenAnswers.push_back({song()}); };
    // Another page of the side panel first, chosen by its button.
    const auto otherPane = [this](const char* name) {
        return [this, name] {
            QTest::mouseClick(window->findChild<QAbstractButton*>(name), Qt::LeftButton);
            scheduler->advance(1.0);
        };
    };
    // A picture whose quarter turn shows.
    const auto halves = [this] {
        QImage picture(640, 360, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QPainter(&picture).fillRect(0, 0, 320, 360, Qt::blue);
        ASSERT_TRUE(picture.save(slides[1]->fileName(), "PNG"));
    };
    const auto scale = [this] { project->setNTimelinePixelPerSecond(1); };
    const auto composition = [this] {
        dialogs.mediaOpenAnswers.push_back(
            {platform::paths::pathForResource("coolSlideshow", BuiltInComposition::kFileType)});
    };
    const Row rows[] = {
        {"File/Show Output Folder", Shows::Folder, ""},
        {"Edit/Delete Slide", Shows::Project, "a slide less"},
        {"Edit/Arrange Slides...", Shows::Window, "ArrangeOrder"},
        {"Slide/Add Blank Image...", Shows::Window, "blank"},
        {"Slide/Add Wood Picture", Shows::Project, "a slide more"},
        {"Slide/First Slide", Shows::Preview, ""},
        {"Slide/Last Slide", Shows::Preview, ""},
        {"Slide/Record Slide Sound...", Shows::Window, "SoundRecorder"},
        {"Slide/Transition...", Shows::Window, "Transition"},
        {"Slide/Add Text...", Shows::Window, "Text"},
        {"Slide/Pan and Zoom...", Shows::Window, "Pan"},
        {"Slide/Adjust Colour...", Shows::Window, "Colo"},
        {"Slide/Rotate Clockwise", Shows::Preview, "", halves},
        {"Slideshow/Add Photos...", Shows::Project, "a slide more", photo},
        {"Slideshow/Append Photos...", Shows::Project, "a slide more", photo},
        {"Slideshow/Add Video...", Shows::Project, "a clip more", video},
        {"Slideshow/Play", Shows::Playing, ""},
        {"Slideshow/Add Background Music...", Shows::Project, "a song", music},
        {"Slideshow/Background Music...", Shows::Window, ""},
        {"Slideshow/Sync Photos to Music...", Shows::Window, ""},
        {"Slideshow/Switch Timeline Style", Shows::Timeline, ""},
        {"Slideshow/Time Scale/14 points per second", Shows::Project, "scale", scale},
        {"Slideshow/Time Scale/28 points per second", Shows::Project, "scale", scale},
        {"Slideshow/Time Scale/56 points per second", Shows::Project, "scale", scale},
        {"Slideshow/Time Scale/112 points per second", Shows::Project, "scale", scale},
        {"Slideshow/Options...", Shows::Window, "Options"},
        {"Share/Movie File...", Shows::Window, ""},
        {"Share/Video Site...", Shows::Project, "share VideoSite"},
        {"Share/Social Site...", Shows::Project, "share SocialSite"},
        {"Share/DVD Menu...", Shows::Window, "DVDMenu"},
        {"Window/Hide Vistrelle", Shows::Minimized, ""},
        {"Window/Toggle Full Screen", Shows::FullScreen, ""},
        {"Help/About Vistrelle", Shows::Alert, "Vistrelle"},
        {"Help/Website of Vistrelle", Shows::WebPage, ""},
        {"Help/Vistrelle Pro Website", Shows::WebPage, ""},
        {"Help/Vistrelle Studio Website", Shows::WebPage, ""},
        {"Help/Test/Encode DVD Menu", Shows::Window, "Encode DVD Menu"},
        {"Help/Test/Mux DVD Menu Buttons", Shows::Alert, "buttons are in"}, // of the menu encoded above
        {"Help/Test/Play DVD Menu Slides", Shows::Playing, ""},
        {"Help/Test/Add Test Sounds to the Audio Layer", Shows::Project, "sounds"},
        {"Help/Test/Add Test Compositions to the Text Layer", Shows::Project, "texts"},
        {"Help/Test/Play the Stock Song", Shows::Sound, ""},
        {"Help/Test/Add a Composition Slide...", Shows::Project, "a slide more", composition},
        {"Help/Test/Add a Clip Played Through a Composition...", Shows::Project, "a slide more", video},
        {"Help/Test/Render the Test Composition in the Preview", Shows::Preview, ""},
        {"addPhotoButton", Shows::Project, "a slide more", photo},
        {"appendPhotoButton", Shows::Project, "a slide more", photo},
        {"addVideoButton", Shows::Project, "a clip more", video},
        {"addMusicButton", Shows::Project, "a song", music},
        {"toolboxButton", Shows::Window, "Toolbox"},
        {"firstImageButton", Shows::Preview, ""},
        {"previousImageButton", Shows::Preview, ""},
        {"nextImageButton", Shows::Preview, ""},
        {"lastImageButton", Shows::Preview, ""},
        {"m_btnPlayStop", Shows::Playing, ""},
        {"themeButton", Shows::Window, ""},
        {"syncPhotoMusicButton", Shows::Window, ""},
        {"m_btnShare1", Shows::Window, ""},
        {"sideBarImages", Shows::SidePane, "", otherPane("sideBarVideo")},
        {"sideBarVideo", Shows::SidePane, "", otherPane("sideBarImages")},
        {"sideBarMusic", Shows::SidePane, "", otherPane("sideBarImages")},
        {"sideBarTheme", Shows::SidePane, "", otherPane("sideBarImages")},
        {"sideBarOptions", Shows::SidePane, "", otherPane("sideBarImages")},
        {"File/Quit Vistrelle", Shows::Quits, ""}, // last: the window closes
    };
    std::map<QString, QObject*> all = commands();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.command.toStdString());
        const auto found = all.find(row.command);
        ASSERT_NE(found, all.end()) << "no such command among " << [&] {
            QStringList names;
            for (const auto& [name, command] : all)
                names << name;
            return names.join(", ").toStdString();
        }();
        restore();
        if (row.prepare)
            row.prepare();
        const Seen before = seen();
        run(found->second, row.effect);
        if (row.effect == Shows::Project) // a song's length or a clip's copy may take a busy machine longer
            test_support::spinUntil([&] {
                scheduler->advance(0.1);
                return projectDigest() != before.project;
            });
        EXPECT_EQ(check(row, before, seen()), QString());
        all.erase(found);
    }
    // The application shell hands these to its delegate; the application's tests trigger them.
    for (const char* shell :
         {"File/New Project...", "File/Open Project...", "File/Save Project", "File/Project Properties..."})
        all.erase(shell);
    QStringList untested;
    for (const auto& [name, command] : all)
        untested << name;
    EXPECT_EQ(untested, QStringList()) << "commands without a row";
}
