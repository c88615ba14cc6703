// Every command of the document window does what it says, as a person sees it: each item of the menu bar and
// each button of the window, triggered or clicked as a person would where the window enables it, with the
// recording dialogs answering. Each row names the change its own command makes (where a slide lands, which
// slide becomes current, which scale is chosen...), so that a command doing another's work fails.
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
#include "ui/main/WebAddresses.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>

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
    // What a person sees of the window and its project, taken before and after a command.
    struct Seen {
        QStringList windows;
        std::vector<SlideItemRef> slides;
        int current = -1;
        std::size_t insertPlace = 0; // where a stock or wood picture goes in
        QVariantMap settings;        // songs, texts, sounds, style, scale, service
        QImage timeline, preview, side;
        QString pane;
        std::size_t alerts, modals, pages, folders, sinks, exports;
    };
    // What a command must change: empty when it did, else what was seen instead.
    using Expect = std::function<QString(const Seen& before, const Seen& after)>;
    struct Row {
        QString command; // "Menu/Item" in the menu bar, or a button's object name
        Expect expect;
        std::function<void()> prepare = {};
    };

    static constexpr int kCurrent = 2; // of five slides
    static constexpr int kEnd = 5;

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
        makeCurrent(kCurrent);
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

    // Whether a person could use the command now: a menu item as its menu shows it once opened.
    static bool enabledForAPerson(QObject* command) {
        if (auto* button = qobject_cast<QAbstractButton*>(command))
            return button->isEnabled();
        auto* item = qobject_cast<QAction*>(command);
        for (QObject* owner : item->associatedObjects())
            if (auto* menu = qobject_cast<QMenu*>(owner)) {
                menu->popup(QPoint(0, 0));
                QCoreApplication::processEvents();
                menu->hide();
            }
        return item->isEnabled();
    }

    void run(QObject* command, bool quits) {
        if (quits) {
            // Qt asks a running application only to end: the command runs inside its loop, and the request
            // is taken there, so that the test's application goes on.
            QuitCatcher catcher;
            qApp->installEventFilter(&catcher);
            QTimer::singleShot(0, command, [command] { qobject_cast<QAction*>(command)->trigger(); });
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
            QApplication::exec();
            qApp->removeEventFilter(&catcher);
            quitRequests += catcher.caught;
            return;
        }
        if (auto* item = qobject_cast<QAction*>(command))
            item->trigger();
        else if (auto* button = qobject_cast<QAbstractButton*>(command))
            QTest::mouseClick(button, Qt::LeftButton);
        waitForImports();
        // The delayed starts of clip imports and refreshes, and the preview's slides and bounces.
        for (int step = 0; step < 30; ++step) {
            scheduler->advance(0.1);
            QCoreApplication::processEvents();
        }
        test_support::spinFor(30);
    }

    Seen seen() {
        QCoreApplication::processEvents();
        Seen s;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top != window.get() && top->isVisible())
                s.windows << describe(*top);
        s.slides = project->slideshowArray();
        s.current = controller->nCurrentSlideshowItemIndex();
        s.insertPlace = std::min<std::size_t>(controller->nSlideInsertIndex(), s.slides.size());
        s.settings = {{"songs", int(project->musicArray().size())},
                      {"texts", int(project->textLayerArray().size())},
                      {"sounds", int(project->audioLayerArray().size())},
                      {"style", project->nTimelineStyle()},
                      {"scale", project->nTimelinePixelPerSecond()},
                      {"service", project->shareOptionsDict().value("ServiceName").toString()}};
        s.timeline = controller->outlets().scrollView1->grab().toImage();
        s.preview = controller->previewWidget()->shownFrame();
        QWidget* side = controller->outlets().mediaBrowserView;
        s.side = side->grab().toImage();
        for (QWidget* pane : side->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (pane->isVisible())
                s.pane += pane->objectName();
        s.alerts = dialogs.alerts.size();
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
    // The old slides' colours (their index in `colours`), or "new" for another slide.
    QString order(const std::vector<SlideItemRef>& list) const {
        QStringList names;
        for (const SlideItemRef& slide : list) {
            const auto old = std::find(slides.begin(), slides.end(), slide);
            names << (old == slides.end() ? QStringLiteral("new") : QString::number(old - slides.begin()));
        }
        return names.join(' ');
    }

    // ---- what a row's command must change

    // A window opens, new on screen or run modally, whose class, name or title holds `name`.
    Expect opens(const QString& name) {
        return [this, name](const Seen& before, const Seen& after) -> QString {
            for (const QString& shown : after.windows)
                if (!before.windows.contains(shown) && shown.contains(name, Qt::CaseInsensitive))
                    return {};
            for (qsizetype i = qsizetype(before.modals); i < dialogs.modalWindows.size(); ++i)
                if (dialogs.modalWindows[i].contains(name, Qt::CaseInsensitive))
                    return {};
            // An export's progress window, which the dialogs run.
            if (after.exports > before.exports &&
                dialogs.exportWindows.back()->windowTitle().contains(name, Qt::CaseInsensitive))
                return {};
            return "no window " + name + " opened";
        };
    }
    Expect alertSays(const QString& text) {
        return [this, text](const Seen& before, const Seen& after) -> QString {
            if (after.alerts > before.alerts && (dialogs.alerts.back().title + dialogs.alerts.back().message)
                                                    .contains(text, Qt::CaseInsensitive))
                return {};
            return "no alert saying " + text;
        };
    }
    Expect opensPage(const QString& address) {
        return [this, address](const Seen& before, const Seen& after) -> QString {
            if (after.pages > before.pages && dialogs.webPages.back() == QUrl(address))
                return {};
            return "the page " + address + " did not open";
        };
    }
    Expect showsFolder(const QString& folder) {
        return [this, folder](const Seen& before, const Seen& after) -> QString {
            if (after.folders > before.folders && dialogs.revealed.back() == folder)
                return {};
            return "the folder " + folder + " was not shown";
        };
    }
    // One slide of `type` more, at `position` (kInsertPlace: where the window puts a stock picture), the
    // others in their order.
    static constexpr int kInsertPlace = -1;
    Expect slideInserted(int position, int type) {
        return [this, position, type](const Seen& before, const Seen& after) -> QString {
            const std::size_t at = position == kInsertPlace ? before.insertPlace : std::size_t(position);
            std::vector<SlideItemRef> expected = before.slides;
            if (after.slides.size() != expected.size() + 1 || at >= after.slides.size())
                return "slides " + order(after.slides);
            expected.insert(expected.begin() + std::ptrdiff_t(at), after.slides[at]);
            if (after.slides != expected || order({after.slides[at]}) != "new")
                return QStringLiteral("slides %1, not a new one at %2").arg(order(after.slides)).arg(at);
            if (after.slides[at]->itemType() != type)
                return QStringLiteral("the new slide is of type %1").arg(after.slides[at]->itemType());
            return {};
        };
    }
    Expect slideRemoved(int position) {
        return [this, position](const Seen& before, const Seen& after) -> QString {
            std::vector<SlideItemRef> expected = before.slides;
            expected.erase(expected.begin() + position);
            return after.slides == expected ? QString() : "slides " + order(after.slides);
        };
    }
    // The slide at `index` is current: the preview shows it and the strip marks it.
    Expect becomesCurrent(int index) {
        return [this, index](const Seen&, const Seen& after) -> QString {
            if (after.current == index && showsColour(colours[std::size_t(index)]) &&
                markedCells() == std::vector<std::size_t>{std::size_t(index)})
                return {};
            return QStringLiteral("slide %1 is current").arg(after.current);
        };
    }
    // A picture blue on its left and red on its right shows blue above red.
    Expect turnsClockwise() {
        return [this](const Seen&, const Seen& after) -> QString {
            const QImage& frame = after.preview;
            if (frame.isNull())
                return "no picture";
            const QColor top = frame.pixelColor(frame.width() / 2, frame.height() / 4);
            const QColor bottom = frame.pixelColor(frame.width() / 2, frame.height() * 3 / 4);
            if (top.blue() > 180 && top.red() < 80 && bottom.red() > 180 && bottom.blue() < 80)
                return {};
            return QStringLiteral("%1 above %2").arg(top.name(), bottom.name());
        };
    }
    Expect becomes(const QString& setting, const QVariant& value) {
        return [setting, value](const Seen&, const Seen& after) -> QString {
            const QVariant now = after.settings.value(setting);
            return now == value ? QString() : setting + " " + now.toString();
        };
    }
    Expect grows(const QString& setting) {
        return [setting](const Seen& before, const Seen& after) -> QString {
            const QVariant now = after.settings.value(setting);
            return now.toLongLong() > before.settings.value(setting).toLongLong()
                       ? QString()
                       : setting + " " + now.toString();
        };
    }
    Expect paneShows(const QString& pane) {
        return [pane](const Seen& before, const Seen& after) -> QString {
            return after.pane == pane && after.side != before.side ? QString()
                                                                   : "the side panel shows " + after.pane;
        };
    }
    Expect timelineRedrawn() {
        return [](const Seen& before, const Seen& after) -> QString {
            return after.timeline != before.timeline ? QString() : "the strip as it was";
        };
    }
    Expect previewChanges() {
        return [](const Seen& before, const Seen& after) -> QString {
            return after.preview.cacheKey() != before.preview.cacheKey() && after.preview != before.preview
                       ? QString()
                       : "the preview as it was";
        };
    }
    Expect playing() {
        return [this](const Seen&, const Seen&) -> QString {
            return controller->m_bPlaying() && controller->outlets().m_btnPlayStop->text() == "Stop"
                       ? QString()
                       : "not playing";
        };
    }
    Expect soundStarts() {
        return [this](const Seen& before, const Seen& after) -> QString {
            return after.sinks > before.sinks && sinks.back()->isStarted() ? QString() : "no sound";
        };
    }
    Expect windowState(Qt::WindowState state) {
        return [this, state](const Seen&, const Seen&) -> QString {
            return window->windowState().testFlag(state) ? QString() : "the window is in another state";
        };
    }
    Expect quits() {
        return [this](const Seen&, const Seen&) -> QString {
            return quitRequests > 0 ? QString() : "the application was not asked to end";
        };
    }
    static Expect all(std::vector<Expect> expectations) {
        return [expectations](const Seen& before, const Seen& after) -> QString {
            QStringList wrong;
            for (const Expect& expect : expectations)
                if (const QString seen = expect(before, after); !seen.isEmpty())
                    wrong << seen;
            return wrong.join("; ");
        };
    }

    // Back to the window as it was: no other window, not playing, the five slides, the middle one current
    // and shown. The slides are made anew with their files: a row may have deleted a slide's files (as
    // deleting it does) or changed them, and a slide whose files are gone shows nothing.
    void restore() {
        controller->stop();
        // A row's export (the DVD menu's encode) runs on to its end: a loaded machine takes minutes over it.
        EXPECT_TRUE(test_support::spinUntil([&] { return !controller->isExportRunning(); }, 600000));
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
        makeCurrent(kCurrent);
        EXPECT_TRUE(showsColour(colours[kCurrent])) << "the restored preview shows another picture";
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
    const std::vector<QColor> colours{QColor(220, 40, 40), QColor(40, 200, 60), QColor(50, 70, 230),
                                      QColor(230, 200, 40), QColor(40, 200, 210)};
    std::vector<SlideItemRef> slides;
    std::vector<test_support::NullAudioSink*> sinks;
    QStringList posts;
    platform::ObserverHandle observer;
    int quitRequests = 0;
};

TEST_F(CommandTableTest, EveryMenuItemAndButtonDoesItsOwnWork) {
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
    // A picture blue on its left, red on its right, whose quarter turn shows which way it went.
    const auto halves = [this] {
        QImage picture(640, 360, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QPainter(&picture).fillRect(0, 0, 320, 360, Qt::blue);
        ASSERT_TRUE(picture.save(slides[kCurrent]->fileName(), "PNG"));
    };
    const auto offScale = [this] { project->setNTimelinePixelPerSecond(1); };
    const auto composition = [this] {
        dialogs.mediaOpenAnswers.push_back(
            {platform::paths::pathForResource("coolSlideshow", BuiltInComposition::kFileType)});
    };
    const int photoType = SlideItem::kItemTypePhoto, clipType = SlideItem::kItemTypeVideo,
              compositionType = SlideItem::kItemTypeQuartz;
    const Row rows[] = {
        {"File/Show Output Folder", showsFolder(SlideshowProject::strOutputVideoPath())},
        {"Edit/Delete Slide", slideRemoved(kCurrent)},
        {"Edit/Arrange Slides...", opens("ArrangeOrder")},
        {"Slide/Add Blank Image...", opens("blank")},
        {"Slide/Add Wood Picture", slideInserted(kInsertPlace, photoType)},
        {"Slide/First Slide", becomesCurrent(0)},
        {"Slide/Last Slide", becomesCurrent(kEnd - 1)},
        {"Slide/Record Slide Sound...", opens("SoundRecorder")},
        {"Slide/Transition...", opens("Transition")},
        {"Slide/Add Text...", opens("SlideFontWndController")},
        {"Slide/Pan and Zoom...", opens("PanZoom")},
        {"Slide/Adjust Colour...", opens("ColorAdjust")},
        {"Slide/Rotate Clockwise", turnsClockwise(), halves},
        {"Slideshow/Add Photos...", slideInserted(kCurrent, photoType), photo},
        {"Slideshow/Append Photos...", slideInserted(kEnd, photoType), photo},
        {"Slideshow/Add Video...", slideInserted(kEnd, clipType), video},
        {"Slideshow/Play", playing()},
        {"Slideshow/Play Sound Mix", soundStarts()},
        {"Slideshow/Add Background Music...", becomes("songs", 1), music},
        {"Slideshow/Background Music...", opens("BKMusicOptions")},
        {"Slideshow/Sync Photos to Music...", opens("PhotoMusicSync")},
        {"Slideshow/Switch Timeline Style", all({becomes("style", 1), timelineRedrawn()})},
        {"Slideshow/Time Scale/14 points per second", becomes("scale", 14), offScale},
        {"Slideshow/Time Scale/28 points per second", becomes("scale", 28), offScale},
        {"Slideshow/Time Scale/56 points per second", becomes("scale", 56), offScale},
        {"Slideshow/Time Scale/112 points per second", becomes("scale", 112), offScale},
        {"Slideshow/Options...", opens("SlideshowOptions")},
        {"Share/Movie File...", all({becomes("service", "PhotoLibrary"), opens("MovieSettings")})},
        {"Share/Video Site...", becomes("service", "VideoSite")},
        {"Share/Social Site...", becomes("service", "SocialSite")},
        {"Share/DVD Menu...", opens("DVDMenu")},
        {"Window/Hide Vistrelle", windowState(Qt::WindowMinimized)},
        {"Window/Toggle Full Screen", windowState(Qt::WindowFullScreen)},
        {"Help/About Vistrelle", alertSays("Vistrelle")},
        {"Help/Website of Vistrelle", opensPage(web_addresses::maker())},
        {"Help/Vistrelle Pro Website", opensPage(web_addresses::proEdition())},
        {"Help/Vistrelle Studio Website", opensPage(web_addresses::studioEdition())},
        {"Help/Test/Encode DVD Menu", opens("Encode DVD Menu")},
        {"Help/Test/Mux DVD Menu Buttons", alertSays("buttons are in")}, // of the menu encoded above
        {"Help/Test/Play DVD Menu Slides", playing()},
        {"Help/Test/Add Test Sounds to the Audio Layer", grows("sounds")},
        {"Help/Test/Add Test Compositions to the Text Layer", grows("texts")},
        {"Help/Test/Play the Stock Song", soundStarts()},
        {"Help/Test/Add a Composition Slide...", slideInserted(kEnd, compositionType), composition},
        {"Help/Test/Add a Clip Played Through a Composition...", slideInserted(kEnd, compositionType), video},
        {"Help/Test/Render the Test Composition in the Preview", previewChanges()},
        {"addPhotoButton", slideInserted(kCurrent, photoType), photo},
        {"appendPhotoButton", slideInserted(kEnd, photoType), photo},
        {"addVideoButton", slideInserted(kEnd, clipType), video},
        {"addMusicButton", becomes("songs", 1), music},
        {"toolboxButton", opens("Toolbox")},
        {"firstImageButton", becomesCurrent(0)},
        {"previousImageButton", becomesCurrent(kCurrent - 1)},
        {"nextImageButton", becomesCurrent(kCurrent + 1)},
        {"lastImageButton", becomesCurrent(kEnd - 1)},
        {"m_btnPlayStop", playing()},
        {"themeButton", opens("SlideTheme")},
        {"syncPhotoMusicButton", opens("PhotoMusicSync")},
        {"m_btnShare1", opens("ShareOptions")},
        {"sideBarImages", paneShows("photoNodeViewController"), otherPane("sideBarVideo")},
        {"sideBarVideo", paneShows("videoNodeViewController"), otherPane("sideBarImages")},
        {"sideBarMusic", paneShows("musicNodeViewController"), otherPane("sideBarImages")},
        {"sideBarTheme", paneShows("themeViewController"), otherPane("sideBarImages")},
        {"sideBarOptions", paneShows("optionsViewController"), otherPane("sideBarImages")},
        {"File/Quit Vistrelle", quits()}, // last: the window closes
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
        QObject* command = found->second;
        all.erase(found);
        restore();
        if (row.prepare)
            row.prepare();
        if (!enabledForAPerson(command)) {
            ADD_FAILURE() << "the window disables it here";
            continue;
        }
        const Seen before = seen();
        const QString digest = projectDigest();
        run(command, row.command.startsWith("File/Quit"));
        // A song's length or a clip's copy may take a loaded machine seconds longer.
        Seen after = seen();
        QString wrong = row.expect(before, after);
        test_support::spinUntil(
            [&] {
                if (wrong.isEmpty())
                    return true;
                scheduler->advance(0.1);
                after = seen();
                wrong = row.expect(before, after);
                return wrong.isEmpty();
            },
            120000);
        EXPECT_EQ(wrong, QString()) << qPrintable(
            QStringLiteral("windows %1 -> %2; project %3 -> %4; posted %5")
                .arg(before.windows.join(", "), after.windows.join(", "), digest, projectDigest(),
                     posts.join(", ")));
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
