// The music commands of the main window controller: songs added and their waveform strips on the timeline's
// time axis, the music options, the photo-music sync pop-over and the window before an export, with
// pictures for people to look at.
#include "support/MainWindowFixture.h"
#include "support/PostedNotifications.h"
#include "support/ProjectLists.h"
#include "support/ProjectSongs.h"
#include "support/Screenshot.h"
#include "support/ToneMaker.h"
#include "support/WavFile.h"

#include "model/SlideshowProject.h"
#include "model/SlideshowProjectManager.h"
#include "platform/foundation/MainThread.h"
#include "platform/media/AudioPlayer.h"
#include "support/NullAudioSink.h"
#include "ui/UiNotifications.h"
#include "ui/controls/WaveFormViewOSX.h"
#include "ui/editing/BKMusicOptionsController.h"
#include "ui/editing/DVDMenuViewController.h"
#include "ui/editing/MusicTimelineViewController.h"
#include "ui/editing/PhotoMusicSyncForExportWindowController.h"
#include "ui/editing/PhotoMusicSyncViewController.h"
#include "ui/editing/SlideshowOptionsViewController.h"
#include "ui/main/MainWindowDialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <functional>

using Posts = test_support::PostedNotifications;

namespace {

// A tone that swells and fades every three seconds, so its outline has a shape.
bool writeSwellingTone(const QString& path, double seconds, double frequency) {
    const int rate = 44100;
    std::vector<int16_t> samples;
    for (int i = 0; i < int(seconds * rate); ++i) {
        const double t = double(i) / rate;
        const double level = 0.15 + 0.75 * std::abs(std::sin(M_PI * t / 3.0));
        const auto sample = int16_t(32767 * level * std::sin(2 * M_PI * frequency * t));
        samples.push_back(sample);
        samples.push_back(sample);
    }
    return WavFile::write(path, samples, 2, rate);
}

} // namespace

class MusicCommandsTest : public MainWindowTest {
protected:
    // Three slides of 4 s with 2 s transitions, laid out on the strip.
    void useThreeSlides() {
        std::vector<SlideItemRef> slides;
        for (int i = 0; i < 3; ++i)
            slides.push_back(photoIn(project, QStringLiteral("p%1.jpg").arg(i), 4.0f, 2.0f));
        project->setSlideshowArray(slides);
        project->calcSlideItemsPhotoTransitionDuration();
    }
    void addSongsAndWait(const QStringList& paths) {
        controller->recordSongs = false;
        controller->addMusicToProject(paths);
        ASSERT_TRUE(waitForSongImports());
    }
    // Add Music from the menu with `song` chosen, until its import is done.
    bool addMusicFromTheMenu(const QString& song) {
        dialogs.mediaOpenAnswers = {{song}};
        controller->outlets().addMusicMenuItem->trigger();
        return waitForSongImports();
    }
    bool waitForSongImports() {
        return test_support::spinUntil([&] { return controller->isMusicImportIdle(); }, 30000);
    }
};

TEST_F(MusicCommandsTest, StripsFollowTheSlidesAndGoOnPastTheShow) {
    makeController();
    useThreeSlides();
    project->setMusicArray({songOf(12.0, "A"), songOf(6.0, "B")});
    const std::vector<QRectF> frames = controller->musicStripFrames(2);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], QRectF(0, 0, 340, 60)) << "12 s end where slide 2's photo starts";
    EXPECT_NEAR(frames[1].left(), 340.0, 1e-3);
    EXPECT_NEAR(frames[1].right(), 496.67, 0.01) << "past the 16 s show, 170 points per default slide";

    // Default slides of no length give no pitch past the show: 170 points per 6 s instead.
    project->setFltPhotoDuration(0.0f);
    project->setFltTransitionDuration(0.0f);
    const std::vector<QRectF> fallback = controller->musicStripFrames(2);
    EXPECT_NEAR(fallback[1].right(), 340.0 + 170.0, 1e-3);
    EXPECT_EQ(controller->musicStripFrames(1).size(), 1u) << "songs beyond the views are not laid out";
}

TEST_F(MusicCommandsTest, AddedSongsReplaceTheStockSongAndUnsongsAreReportedOnce) {
    makeController(true);
    useThreeSlides();
    const std::vector<MusicItemRef> before = project->musicArray();
    ASSERT_EQ(before.size(), 1u);
    const QString stockFile = before[0]->strFilePath();
    const QString first = dir.file("First.wav"), second = dir.file("Second.wav"),
                  text = dir.file("notes.mp3");
    ASSERT_TRUE(writeSwellingTone(first, 3.0, 330));
    ASSERT_TRUE(writeSwellingTone(second, 2.0, 220));
    model_test::writeFile(text, "not a song");
    project->setBIsDirty(false);

    addSongsAndWait({first, text, second, dir.file("missing.wav")});
    EXPECT_EQ(test_support::songTitles(project->musicArray()), QStringList({"First", "Second"}));
    EXPECT_TRUE(QFileInfo::exists(stockFile)) << "the stock song's file stays";
    EXPECT_TRUE(project->bIsDirty());
    ASSERT_EQ(dialogs.alerts.size(), 1u) << dialogs.alertText().toStdString();
    EXPECT_EQ(dialogs.alerts[0].title, "The following songs can not be added to project:");
    EXPECT_TRUE(dialogs.alerts[0].message.contains("notes.mp3"));
    EXPECT_TRUE(dialogs.alerts[0].message.contains("missing.wav"));
    ASSERT_EQ(controller->musicSubviewArray().size(), 2u);
    for (const MusicItemRef& song : project->musicArray())
        EXPECT_TRUE(song->strFilePath().startsWith(project->strMacProjectBundleContentsPath()));

    addSongsAndWait({first});
    EXPECT_EQ(test_support::songTitles(project->musicArray()), QStringList({"First", "Second", "First"}))
        << "own songs stay";
    const auto songs = project->musicArray();
    EXPECT_NE(songs[0]->strFilePath(), songs[2]->strFilePath()) << "the same file twice, two copies";
    EXPECT_EQ(controller->musicSubviewArray().size(), 3u);
}

// Add Music, in place of a new project's stock song, removes the copy of it the project keeps, unless
// something else of the project still names that copy; the stock song's resource and the chosen song stay.
TEST_F(MusicCommandsTest, AddMusicRemovesTheStockSongsCopyOnceNothingElseNamesIt) {
    makeController(true);
    useThreeSlides();
    controller->recordSongs = false;
    const QString chosen = dir.file("Chosen.wav");
    ASSERT_TRUE(writeSwellingTone(chosen, 2.0, 330));
    const QString resource = project->musicArray().at(0)->strFilePath();
    const QString contents = project->strMacProjectBundleContentsPath();
    const auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    const auto songOfCopy = [](const QString& copy) {
        return test_support::songNamed(QFileInfo(copy).fileName());
    };
    const std::pair<const char*, std::function<void(const QString&)>> namers[] = {
        {"nothing else", nullptr},
        {"a slide's sound",
         [&](const QString& copy) { project->slideItemAtIndex(1)->setStrSoundFileName(copy); }},
        {"the audio layer", [&](const QString& copy) { project->setAudioLayerArray({songOfCopy(copy)}); }},
        {"the DVD menu's song",
         [&](const QString& copy) { manager->setDvdMenuBackgroundMusicArray({songOfCopy(copy)}); }}};
    for (const auto& [namer, name] : namers) {
        SCOPED_TRACE(namer);
        project->slideItemAtIndex(1)->setStrSoundFileName(QString());
        project->setAudioLayerArray({});
        manager->setDvdMenuBackgroundMusicArray({});
        project->setMusicArray({});
        SlideshowProject::copyDefaultMP3FileToPackage(project);
        ASSERT_EQ(project->musicArray().size(), 1u);
        const QString copy = project->musicArray()[0]->strCopyPathIn(contents);
        ASSERT_TRUE(QFileInfo(copy).isFile()) << "a new project keeps a copy of its stock song";
        if (name)
            name(copy);
        ASSERT_TRUE(addMusicFromTheMenu(chosen));
        EXPECT_EQ(test_support::songTitles(project->musicArray()), QStringList({"Chosen"}));
        EXPECT_EQ(QFileInfo::exists(copy), name != nullptr) << qPrintable(copy);
    }
    EXPECT_TRUE(QFileInfo::exists(resource));
    EXPECT_TRUE(QFileInfo::exists(chosen));
}

// The earlier form of adding songs copies and measures them alike, lets the stock song go, marks the project
// dirty and tells the music strip; it makes, drops and lays out no song strip.
TEST_F(MusicCommandsTest, TheEarlierFormAddsSongsWithoutStripsOfTheirOwn) {
    makeController(true);
    useThreeSlides();
    controller->rebuildMusicSubViews();
    const std::vector<QPointer<WaveFormViewOSX>> stripsBefore = controller->musicSubviewArray();
    ASSERT_EQ(stripsBefore.size(), 1u) << "the stock song's";
    const QString first = dir.file("First.wav");
    ASSERT_TRUE(writeSwellingTone(first, 3.0, 330));
    project->setBIsDirty(false);
    controller->addMusicToProject_old({first, dir.file("missing.wav")});
    ASSERT_TRUE(waitForSongImports());
    EXPECT_EQ(test_support::songTitles(project->musicArray()), QStringList({"First"}));
    EXPECT_TRUE(
        project->musicArray()[0]->strFilePath().startsWith(project->strMacProjectBundleContentsPath()));
    EXPECT_TRUE(project->bIsDirty());
    EXPECT_EQ(controller->musicTimelineViewController().view()->songDrawInfoArray().size(), 1);
    EXPECT_EQ(controller->musicSubviewArray(), stripsBefore);
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_TRUE(dialogs.alerts[0].message.contains("missing.wav"));
}

// The music-list popover is held until it closes, when its delegate call lets it go.
TEST_F(MusicCommandsTest, TheMusicListPopoverIsLetGoOnceItCloses) {
    makeController(true);
    EXPECT_EQ(controller->popOverMusicList(), nullptr);
    QWidget popover(nullptr, Qt::Popup);
    controller->setPopOverMusicList(&popover);
    popover.show();
    EXPECT_EQ(controller->popOverMusicList(), &popover);
    popover.close();
    EXPECT_EQ(controller->popOverMusicList(), nullptr);
    controller->setPopOverMusicList(&popover);
    controller->popoverDidClose();
    EXPECT_EQ(controller->popOverMusicList(), nullptr);
    popover.show();
    popover.hide();
    EXPECT_EQ(controller->popOverMusicList(), nullptr) << "a popover let go is no longer watched";
}

TEST_F(MusicCommandsTest, TheOptionsEditTheSongListAndReportChangesOnce) {
    project->setMusicArray({songOf(30, "One"), songOf(45, "Two"), songOf(75, "Three")});
    EXPECT_EQ(MusicListTableModel::objectValue(project.get(), "index", 2), 3);
    EXPECT_EQ(MusicListTableModel::objectValue(project.get(), "time", 2), "01:15");
    EXPECT_EQ(MusicListTableModel::objectValue(project.get(), "titleFromFileName", 1), "Two")
        << "any key of the song";

    Posts closed(kNotifyMusicOptionsCloseClicked);
    {
        BKMusicOptionsController options(projectSource());
        EXPECT_EQ(options.textfieldBackgroundVolumeWhenPhotos()->text(), "0.90");
        EXPECT_EQ(options.textfieldBackgroundVolumeWhenVideos()->text(), "0.10");
        options.selectRow(2);
        options.removeButtonClicked();
        EXPECT_EQ(options.selectedRow(), 1) << "the new last row";
        options.selectRow(0);
        options.upButtonPressed();
        EXPECT_EQ(test_support::songTitles(project->musicArray()), QStringList({"One", "Two"}));
        options.closeButtonPressed();
    }
    ASSERT_EQ(closed.list.size(), 1u) << "the close button's report, not one more at destruction";
    EXPECT_TRUE(closed.list[0].userInfo.value("bNeedLayoutMusicTimeLine").toBool());

    const struct {
        const char* what;
        std::function<void(BKMusicOptionsController&)> edit;
        bool needLayout;
    } cases[] = {
        {"down and up again",
         [](BKMusicOptionsController& o) {
             o.selectRow(0);
             o.downButtonPressed();
             o.upButtonPressed();
         },
         false},
        {"remove one, add another",
         [&](BKMusicOptionsController& o) {
             o.selectRow(0);
             o.removeButtonClicked();
             project->addMusicItem(songOf(20, "Other"));
         },
         true},
    };
    for (const auto& c : cases) {
        closed.list.clear();
        { // closed by its destruction
            BKMusicOptionsController options(projectSource());
            c.edit(options);
        }
        ASSERT_EQ(closed.list.size(), 1u) << c.what;
        EXPECT_EQ(closed.list[0].userInfo.value("bNeedLayoutMusicTimeLine").toBool(), c.needLayout) << c.what;
    }
}

TEST_F(MusicCommandsTest, RemoveDeletesOnlyTheSongsCopyInTheProject) {
    const QString contents = project->strMacProjectBundleContentsPath();
    const MusicItemRef stock = project->musicArray().at(0);
    const QString resource = stock->strFilePath();
    ASSERT_FALSE(resource.startsWith(contents)) << "the stock song plays from the resource";
    auto own = platform::makeMainThreadShared<MusicItem>();
    model_test::writeFile(contents + "/own-1.00.mp3");
    own->addEntriesFromDictionary({{"pureFileName", "own-1.00.mp3"}, {"numberDuration", 5.0}});
    project->setMusicArray({stock, own});
    BKMusicOptionsController options(projectSource());
    options.selectRow(1);
    options.removeButtonClicked();
    options.selectRow(0);
    options.removeButtonClicked();
    EXPECT_TRUE(project->musicArray().empty());
    EXPECT_FALSE(QFileInfo::exists(contents + "/own-1.00.mp3"));
    EXPECT_TRUE(QFileInfo::exists(resource));
    EXPECT_EQ(options.selectedRow(), -1) << "an empty list selects nothing";
}

// Remove in the music options, through the window: the song's copy goes unless the DVD menu plays that same
// copy, whose page then still shows its song.
TEST_F(MusicCommandsTest, RemoveInTheMusicOptionsKeepsTheCopyTheDVDMenuPlays) {
    makeController(true);
    useThreeSlides();
    controller->recordSongs = false;
    const QString song = dir.file("harbour.mp3");
    QString error;
    ASSERT_TRUE(ToneMaker::writeEncoded(song, "mp3", "libmp3lame", 440.0, 2.0, 0.5,
                                        {{"title", "Harbour Lights"}}, &error))
        << qPrintable(error);
    const QString contents = project->strMacProjectBundleContentsPath();
    const auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    for (const bool menuSong : {false, true}) {
        SCOPED_TRACE(menuSong ? "the DVD menu's song" : "nothing else");
        manager->setDvdBackgroundMusicPath(QString());
        manager->setDvdMenuBackgroundMusicArray({});
        ASSERT_TRUE(addMusicFromTheMenu(song));
        ASSERT_EQ(project->musicArray().size(), 1u);
        const QString copy = project->musicArray()[0]->strFilePath();
        if (menuSong) {
            dialogs.mediaOpenAnswers = {{song}};
            DVDMenuViewController(dialogs, *scheduler, projectSource()).SelectMusic();
            ASSERT_EQ(manager->dvdMenuBackgroundMusicArray().size(), 1u);
            ASSERT_EQ(manager->dvdMenuBackgroundMusicArray()[0]->strCopyPathIn(contents), copy) << "one copy";
        }
        controller->outlets().backgroundMusicListMenuItem->trigger();
        auto* options = qobject_cast<BKMusicOptionsController*>(controller->vcByAttachedWindow());
        ASSERT_TRUE(options);
        options->selectRow(0);
        QTest::mouseClick(options->findChild<QPushButton*>("buttonRemove"), Qt::LeftButton);
        EXPECT_EQ(options->findChild<QTableView*>("musicListTableView")->model()->rowCount(), 0);
        QTest::mouseClick(options->findChild<QPushButton*>("buttonClose"), Qt::LeftButton);
        EXPECT_EQ(QFileInfo::exists(copy), menuSong);
        if (menuSong) {
            const DVDMenuViewController page(dialogs, *scheduler, projectSource());
            EXPECT_EQ(page.musicTitle()->text(), "Harbour Lights");
        }
    }
}

TEST_F(MusicCommandsTest, ASongPlaysOnceAndAClickStopsIt) {
    std::vector<test_support::NullAudioSink*> sinks;
    platform::media::AudioPlayer::setDefaultSinkFactory([&] {
        auto sink = std::make_unique<test_support::NullAudioSink>();
        sinks.push_back(sink.get());
        return sink;
    });
    const QString contents = project->strMacProjectBundleContentsPath();
    ASSERT_TRUE(writeSwellingTone(contents + "/tone-1.00.wav", 1.0, 440));
    auto song = platform::makeMainThreadShared<MusicItem>();
    song->addEntriesFromDictionary({{"pureFileName", "tone-1.00.wav"}});
    project->setMusicArray({song});
    {
        BKMusicOptionsController options(projectSource());
        options.playButtonClicked();
        EXPECT_FALSE(options.isPlaying()) << "nothing selected";
        options.selectRow(0);
        options.playButtonClicked();
        ASSERT_TRUE(options.isPlaying());
        ASSERT_EQ(sinks.size(), 1u);
        sinks[0]->advance(2.0); // past the end
        test_support::spinFor(20);
        EXPECT_TRUE(options.isPlaying()) << "the button shows Pause until a click";
        EXPECT_TRUE(sinks[0]->isPaused());
        options.playButtonClicked();
        EXPECT_FALSE(options.isPlaying());
    }
    platform::media::AudioPlayer::setDefaultSinkFactory(nullptr);
}

TEST_F(MusicCommandsTest, TheSyncPopOverAsksFitsAndRefreshesOnlyOnSuccess) {
    makeController();
    useThreeSlides();
    project->setMusicArray({songOf(30, "One"), songOf(45, "Two")});
    EXPECT_EQ(PhotoMusicSyncViewController::musicInfoText(project.get()),
              "Songs: 2          Duration: 01:15");
    EXPECT_EQ(PhotoMusicSyncViewController::slideshowInfoText(project.get()),
              "Photos: 3         Duration: 00:16");

    Posts closing(kNotifyMusicSyncButtonClicked);
    std::vector<std::size_t> alertsAtRefresh;
    Posts refreshes(kNotifyRefreshTimelineUI);
    const platform::ObserverHandle watch(platform::NotificationCenter::defaultCenter(),
                                         platform::NotificationCenter::defaultCenter().addObserver(
                                             kNotifyRefreshTimelineUI, [&](const platform::Notification&) {
                                                 alertsAtRefresh.push_back(dialogs.alerts.size());
                                             }));
    PhotoMusicSyncViewController sync(dialogs, projectSource());
    dialogs.questionAnswers = {true}; // NO, the default
    sync.syncButton()->click();
    EXPECT_EQ(project->slideshowTotalDuration(), 16.0) << "NO changes nothing";
    EXPECT_EQ(dialogs.questionButtons, QStringList({"NO"}));

    dialogs.questionAnswers = {false};
    sync.syncButton()->click();
    EXPECT_NEAR(project->slideshowTotalDuration(), 75.0, 0.1);
    EXPECT_EQ(alertsAtRefresh, (std::vector<std::size_t>{2})) << "the refresh comes before the alert";
    EXPECT_EQ(closing.list.size(), 2u) << "the pop-over closes before it asks";

    project->setMusicArray({});
    dialogs.questionAnswers = {false};
    sync.syncButton()->click();
    EXPECT_EQ(refreshes.list.size(), 1u) << "a failed fit posts no refresh";
    EXPECT_EQ(dialogs.alerts.back().title, "Please add 1 song to get started!");

    project->setBIsDirty(false);
    sync.musicSlideshowCheckBox()->click();
    EXPECT_TRUE(project->bIsMusicSideshow());
    EXPECT_TRUE(project->bIsDirty()) << "the switch is stored with the project";
}

// Escape and the close box answer each sync question, shown as the running application shows it, with NO.
TEST_F(MusicCommandsTest, EscapeOrTheCloseBoxOnASyncQuestionChangesNothing) {
    makeController();
    useThreeSlides();
    project->setMusicArray({songOf(30, "One"), songOf(45, "Two")});
    QWidget mainWindow;
    MainWindowDialogs alerts(&mainWindow, projectSource());
    PhotoMusicSyncViewController popOver(alerts, projectSource());
    PhotoMusicSyncForExportWindowController beforeExport(alerts, projectSource());
    SlideshowOptionsViewController options(projectSource());
    options.setDialogs(&alerts);
    const std::pair<const char*, QAbstractButton*> questions[] = {
        {"the sync pop-over", popOver.syncButton()},
        {"before an export", beforeExport.syncButton()},
        {"the options", options.syncButton()}};
    const std::pair<const char*, std::function<void(QMessageBox&)>> dismissals[] = {
        {"Escape", [](QMessageBox& shown) { QTest::keyClick(&shown, Qt::Key_Escape); }},
        {"the close box", [](QMessageBox& shown) { shown.close(); }}};
    for (const auto& [question, button] : questions)
        for (const auto& [how, dismiss] : dismissals) {
            SCOPED_TRACE(std::string(question) + ", " + how);
            QStringList shown; // the question, and the sync's own alert should it run
            QTimer answer;
            QObject::connect(&answer, &QTimer::timeout, [&, &dismiss = dismiss] {
                auto* alert = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (!alert)
                    return;
                shown << alert->text();
                if (shown.size() == 1)
                    dismiss(*alert);
                else
                    alert->close();
            });
            answer.start(0);
            button->click();
            answer.stop();
            EXPECT_EQ(shown, QStringList{"Warning!"});
            EXPECT_EQ(project->slideshowTotalDuration(), 16.0);
        }
}

TEST_F(MusicCommandsTest, TheExportWindowStaysOpenOnAFailedSyncIgnoresOrCancels) {
    makeController();
    useThreeSlides();
    project->setMusicArray({});
    PhotoMusicSyncForExportWindowController window(dialogs, projectSource());
    window.setResult(-1);
    dialogs.questionAnswers = {false};
    window.syncButton()->click();
    EXPECT_EQ(window.result(), -1) << "a failed sync keeps the window open";
    EXPECT_EQ(dialogs.alerts.back().title, "Please add 1 song to get started!");
    window.ignoreButton()->click();
    EXPECT_EQ(window.result(), 1);
    window.close();
    EXPECT_EQ(window.result(), 0) << "the close box stops the export";

    dialogs.modalWindowScript = [](QDialog& shown) {
        static_cast<PhotoMusicSyncForExportWindowController&>(shown).ignoreButton()->click();
    };
    EXPECT_EQ(controller->runPhotoMusicSyncForExport({{"failType", "LockedDuration"}}), 1);
    EXPECT_EQ(dialogs.modalWindows.back(), "PhotoMusicSyncForExportWindow");
}

// Up and Down in the music options lay the songs' strips out again at once, the options still open.
TEST_F(MusicCommandsTest, UpAndDownInTheMusicOptionsReorderTheStripsAtOnce) {
    makeController(true);
    window->resize(1024, 700);
    window->show();
    useColourSlides({QColor(220, 40, 40), QColor(40, 200, 60), QColor(50, 70, 230)});
    const QString first = dir.file("Morning Light.wav"), second = dir.file("Harbour.wav");
    ASSERT_TRUE(writeSwellingTone(first, 4.0, 330));
    ASSERT_TRUE(writeSwellingTone(second, 3.0, 220));
    addSongsAndWait({first, second});
    // Whether the strips come to show the songs' names in this order, their outlines made or not.
    const auto stripsShow = [&](const QStringList& names) {
        const auto shown = [&] {
            QStringList titles;
            for (const QPointer<WaveFormViewOSX>& view : controller->musicSubviewArray())
                titles << (view ? view->infoString().section('(', 1).section(')', 0, 0) : QString());
            return titles;
        };
        test_support::spinUntil([&] { return shown() == names; }, 5000);
        return shown() == names;
    };
    ASSERT_TRUE(stripsShow({"Morning Light.wav", "Harbour.wav"}));
    controller->backgroundMusicListMenuItemClicked();
    auto* options = qobject_cast<BKMusicOptionsController*>(controller->vcByAttachedWindow());
    ASSERT_TRUE(options);
    options->selectRow(1);
    options->findChild<QPushButton*>("buttonUp")->click();
    EXPECT_TRUE(controller->attachedWindowMusicOptions()) << "still open";
    EXPECT_TRUE(stripsShow({"Harbour.wav", "Morning Light.wav"}));
    options->findChild<QPushButton*>("buttonDown")->click();
    EXPECT_TRUE(stripsShow({"Morning Light.wav", "Harbour.wav"}));
}

TEST_F(MusicCommandsTest, PicturesOfTheSongStripsAndTheirCallOuts) {
    makeController(true);
    window->resize(1024, 700);
    window->show();
    test_support::spinFor(50);
    useColourSlides({QColor(220, 40, 40), QColor(40, 200, 60), QColor(50, 70, 230)});
    const QString first = dir.file("Morning Light.wav"), second = dir.file("Harbour.wav");
    ASSERT_TRUE(writeSwellingTone(first, 4.0, 330));
    ASSERT_TRUE(writeSwellingTone(second, 3.0, 220));
    addSongsAndWait({first, second});
    const auto& views = controller->musicSubviewArray();
    ASSERT_EQ(views.size(), 2u);
    ASSERT_TRUE(test_support::spinUntil(
        [&] { return views[0]->sampleLength() > 0 && views[1]->sampleLength() > 0; }, 20000));
    test_support::spinFor(50);
    const QRect strip = views[0]->geometry();
    EXPECT_EQ(strip.top(), 145) << "y 0 to 60 of the 205-high strip, y up";
    EXPECT_EQ(strip.height(), 60);
    EXPECT_NEAR(strip.right() + 1, 440, 4) << "the 4 s show ends at the end of the last photo";
    EXPECT_TRUE(views[0]->isVisible());
    EXPECT_EQ(views[0]->infoString(), " (Morning Light.wav)");
    EXPECT_EQ(views[1]->timeString(), "00:03");
    EXPECT_FALSE(screenshot::save(*window, "music-strips").isNull());

    // The strip's viewport gets the mouse, as it does on screen: the strip's content lets it through.
    QWidget* viewport = controller->outlets().scrollView1->viewport();
    const QPointF onPanel = views[1]->mapTo(viewport, QPointF(20, 30));
    QMouseEvent doubleClick(QEvent::MouseButtonDblClick, onPanel, viewport->mapToGlobal(onPanel),
                            Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &doubleClick);
    ASSERT_TRUE(controller->attachedWindowMusicOptions()) << "a double click opens the music options";
    auto* options = qobject_cast<BKMusicOptionsController*>(controller->vcByAttachedWindow());
    ASSERT_TRUE(options);
    options->selectRow(1);
    screenshot::saveWithChildWindows(*window, "music-options");
    controller->backgroundMusicListMenuItemClicked();
    EXPECT_FALSE(controller->attachedWindowMusicOptions()) << "a second time closes it";

    controller->outlets().syncPhotoMusicButton->click();
    ASSERT_TRUE(controller->attachedWindowPhotoMusicSync());
    screenshot::saveWithChildWindows(*window, "photo-music-sync");
    platform::NotificationCenter::defaultCenter().post(kNotifyMusicSyncButtonClicked);
    EXPECT_FALSE(controller->attachedWindowPhotoMusicSync());

    // The options closed with the list changed: the strips are made again once the call-out is gone.
    const QPointer<WaveFormViewOSX> old = views[0];
    project->setMusicArray({project->musicArray()[1]});
    platform::NotificationCenter::defaultCenter().post(kNotifyMusicOptionsCloseClicked, QVariant(),
                                                       {{"bNeedLayoutMusicTimeLine", true}});
    EXPECT_EQ(controller->musicSubviewArray().size(), 2u) << "not yet";
    scheduler->advance(0.0);
    ASSERT_EQ(controller->musicSubviewArray().size(), 1u);
    EXPECT_NE(controller->musicSubviewArray()[0], old);
}
