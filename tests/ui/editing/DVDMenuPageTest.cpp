// The DVD-menu page: templates chosen with too few slides, the menu and the no-menu template, the fallback
// choice, the titles, and the menu song's one copy.
#include "support/MainWindowFixture.h"
#include "support/Screenshot.h"
#include "support/ToneMaker.h"

#include "dvd/DVDNotifications.h"
#include "ui/editing/DVDMenuViewController.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using platform::NotificationCenter;

class DVDMenuPageTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        manager = SlideshowProjectManager::defaultSlideshowProjectManager();
        auto& center = NotificationCenter::defaultCenter();
        for (const QString& name : {kNotifyShowDVDMenu, kNotifyNoDVDMenu})
            handles.emplace_back(center, center.addObserver(name, [this](const platform::Notification& n) {
                posts << n.name;
                lastObject = n.object;
            }));
    }
    void TearDown() override {
        handles.clear();
        MainWindowTest::TearDown();
    }
    QStringList songCopies() const {
        return QDir(project->strMacProjectBundleContentsPath()).entryList({"harbour*"}, QDir::Files);
    }

    std::shared_ptr<SlideshowProjectManager> manager;
    std::vector<platform::ObserverHandle> handles;
    QStringList posts;
    QVariant lastObject;
};

// Showing the settings stores nothing, nor does a choice with too few slides to draw a menu; typing does.
TEST_F(DVDMenuPageTest, OnlyTypingOrAChoiceWithThreeSlidesIsStored) {
    useColourSlides({Qt::red, Qt::green});
    manager->setNCurrentDVDMenuSelected(1);
    manager->setDvdTitle("Holidays");
    project->setBIsDirty(false);
    DVDMenuViewController page(dialogs, *scheduler, projectSource());
    EXPECT_EQ(page.dvdTitleText()->text(), "Holidays");
    page.selectTemplate(2);
    EXPECT_EQ(page.selectedTemplate(), 2) << "the choice shows";
    EXPECT_EQ(manager->nCurrentDVDMenuSelected(), 1);
    EXPECT_TRUE(posts.isEmpty());
    page.dvdSubTitleText()->setText("2024");
    EXPECT_TRUE(manager->dvdSubtitle().isEmpty()) << "only the user's typing is stored";
    EXPECT_FALSE(project->bIsDirty());
    emit page.dvdSubTitleText()->textEdited("2024");
    EXPECT_EQ(manager->dvdSubtitle(), "2024");
    EXPECT_TRUE(project->bIsDirty());
}

TEST_F(DVDMenuPageTest, TheNoMenuTemplateSaysSoAndAMenuTemplateShowsItsMenu) {
    useColourSlides({Qt::red, Qt::green, Qt::blue});
    manager->setNCurrentDVDMenuSelected(1);
    DVDMenuViewController page(dialogs, *scheduler, projectSource());
    EXPECT_TRUE(posts.isEmpty()) << "showing the settings stores and posts nothing";
    EXPECT_EQ(page.selectedTemplate(), 1);

    page.selectTemplate(0);
    EXPECT_EQ(posts, QStringList({kNotifyNoDVDMenu}));
    EXPECT_FALSE(manager->bUseDVDMenu());
    EXPECT_FALSE(page.buttonPreview()->isEnabled());
    EXPECT_TRUE(dialogs.alerts.empty()) << "the alert comes after the post, queued";
    scheduler->advance(0.0);
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].title, "Vistrelle");
    EXPECT_EQ(dialogs.alerts[0].message, "No Menu will be used for the output DVD-Video Disc.");

    project->setBIsDirty(false);
    page.selectTemplate(2);
    EXPECT_EQ(posts.last(), kNotifyShowDVDMenu);
    const QStringList pictures = lastObject.toStringList();
    ASSERT_FALSE(pictures.isEmpty());
    EXPECT_TRUE(QFileInfo(pictures.first()).isFile());
    EXPECT_TRUE(manager->bUseDVDMenu());
    EXPECT_EQ(manager->nCurrentDVDMenuSelected(), 2);
    EXPECT_EQ(manager->currentDVDMenuTemplate()->menuName(), "Gallery");
    EXPECT_TRUE(page.buttonPreview()->isEnabled());
    EXPECT_TRUE(project->bIsDirty());

    // Without a choice the page takes one again, the first menu template.
    page.selectTemplate(-1);
    EXPECT_EQ(page.selectedTemplate(), 1);
    EXPECT_EQ(manager->nCurrentDVDMenuSelected(), 1);
    for (const auto& [count, fallback] : {std::pair{0, -1}, {1, 0}, {2, 1}, {3, 1}})
        EXPECT_EQ(DVDMenuViewController::fallbackTemplateIndex(count), fallback) << count;
}

TEST_F(DVDMenuPageTest, ASongIsCopiedOnceHoweverOftenItIsChosenAndAFailedCopyStoresNothing) {
    useColourSlides({Qt::red, Qt::green, Qt::blue});
    const QString song = dir.file("harbour.mp3");
    QString error;
    ASSERT_TRUE(ToneMaker::writeEncoded(song, "mp3", "libmp3lame", 440.0, 2.0, 0.5,
                                        {{"title", "Harbour Lights"}, {"artist", "Ana Reyes"}}, &error))
        << qPrintable(error);
    dialogs.mediaOpenAnswers = {{song}, {song}};
    DVDMenuViewController page(dialogs, *scheduler, projectSource());
    page.SelectMusic();
    page.SelectMusic();
    EXPECT_EQ(songCopies().size(), 1) << qPrintable(songCopies().join(", "));
    EXPECT_EQ(dialogs.openPanels.at(0).title, "DVD Menu Background Music");
    EXPECT_EQ(manager->dvdBackgroundMusicPath(), song);
    ASSERT_EQ(manager->dvdMenuBackgroundMusicArray().size(), 1u);
    EXPECT_EQ(page.musicTitle()->text(), "Harbour Lights");
    EXPECT_EQ(page.musicArtist()->text(), "Ana Reyes");
    EXPECT_EQ(page.musicDuration()->text(), "00:02");
    DVDMenuViewController reopened(dialogs, *scheduler, projectSource());
    EXPECT_EQ(reopened.musicTitle()->text(), "Harbour Lights");
    EXPECT_EQ(songCopies().size(), 1) << "opening the page again reuses the copy";
    reopened.show();
    screenshot::save(reopened, "dvd-menu-page");

    for (const auto& [seconds, text] : {std::pair{3725.0, "62:05"}, {59.9, "00:59"}, {0.0, "00:00"}})
        EXPECT_EQ(DVDMenuViewController::durationText(seconds), text) << seconds;

    // A song that cannot be copied: the project's "Contents" is no folder any more.
    const QString contents = project->strMacProjectBundleContentsPath();
    ASSERT_TRUE(QDir(contents).removeRecursively());
    model_test::writeFile(contents, "in the way");
    const QString other = dir.file("other.wav");
    ASSERT_TRUE(ToneMaker::writeWav(other, 220.0, 1.0, 0.5));
    page.AddDVDMenuBackgroundMusic({other});
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].title, "ERROR");
    EXPECT_EQ(manager->dvdBackgroundMusicPath(), song) << "nothing of the failed song is stored";
    EXPECT_EQ(manager->dvdMenuBackgroundMusicArray().size(), 1u);
}
