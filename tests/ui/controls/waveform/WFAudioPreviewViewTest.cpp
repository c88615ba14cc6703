// The audio-preview view over a fake player: the overview read in the background, prompts, the playhead on
// the manual clock, click-to-seek and the transport keys.
#include "ui/controls/waveform/WFAudioPreviewView.h"
#include "ui/controls/waveform/WFMediaPlayer.h"

#include "support/ClipMaker.h"
#include "support/Screenshot.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMediaPlayer>
#include <QMouseEvent>
#include <QThreadPool>
#include <gtest/gtest.h>

namespace {

class FakePlayer : public WFPreviewPlayer {
public:
    QUrl source() const override { return item; }
    double currentTime() const override { return time; }
    bool isPlaying() const override { return playing; }
    void play() override { playing = true; }
    void pause() override { playing = false; }
    void seek(double seconds) override { seeks.push_back(seconds); }

    void setItem(const QString& path) {
        item = QUrl::fromLocalFile(path);
        emit sourceChanged();
    }

    QUrl item;
    double time = 0.0;
    bool playing = false;
    std::vector<double> seeks;
};

bool press(WFAudioPreviewView& view, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    event.setAccepted(false);
    QCoreApplication::sendEvent(&view, &event);
    return event.isAccepted();
}

void clickAt(QWidget& view, double x) {
    const QPointF at(x, 10.0);
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, view.mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &event);
    }
}

class WFAudioPreviewViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClipMaker::Options sound;
        sound.frames = 60; // 2 s, with a tone
        sound.audio = true;
        ASSERT_TRUE(ClipMaker::make(dir.file("tone.mp4"), sound));
        ASSERT_TRUE(ClipMaker::make(dir.file("mute.mp4"), {}));
        view.resize(500, 100);
        view.setScheduler(scheduler);
        player->item = QUrl::fromLocalFile(dir.file("tone.mp4"));
    }

    bool overviewRead() {
        return test_support::spinUntil([this] { return !view.isReadingOverview(); });
    }

    TempDir dir;
    std::shared_ptr<platform::ManualScheduler> scheduler = std::make_shared<platform::ManualScheduler>();
    std::shared_ptr<FakePlayer> player = std::make_shared<FakePlayer>();
    WFAudioPreviewView view;
};

} // namespace

TEST_F(WFAudioPreviewViewTest, ReadsTheOverviewAndMovesThePlayheadWithThePlayer) {
    std::vector<bool> reading;
    QObject::connect(&view, &WFAudioPreviewView::isReadingOverviewChanged,
                     [&](bool r) { reading.push_back(r); });
    view.setPlayer(player);
    EXPECT_TRUE(view.isReadingOverview());
    screenshot::save(view, "wf-audio-preview-reading");
    ASSERT_TRUE(overviewRead());
    EXPECT_EQ(reading, (std::vector<bool>{true, false}));
    EXPECT_FALSE(view.isAssetUnplayable());
    EXPECT_NEAR(static_cast<double>(view.sampleLength()), 2.0 * 125, 4.0);

    player->time = 0.5;
    scheduler->advance(1.0 / 30);
    EXPECT_NEAR(static_cast<double>(view.playheadPosition()), view.sampleLength() / 4.0, 1.0);
    player->time = 0.0;
    scheduler->advance(1.0 / 30);
    EXPECT_EQ(view.playheadPosition(), 0u) << "time 0 draws no playhead";
    player->time = 1.2;
    scheduler->advance(1.0 / 30);
    const QImage picture = screenshot::save(view, "wf-audio-preview");
    const int x = static_cast<int>(std::lround(view.sampleToXPoint(view.playheadPosition())));
    EXPECT_EQ(picture.pixelColor(x, 2), QColor(Qt::green));
    EXPECT_NEAR(x, 500 * 1.2 / 2.0, 4.0);

    const uint64_t held = view.playheadPosition();
    view.setPlayer(nullptr);
    player->time = 1.8;
    scheduler->advance(1.0);
    EXPECT_EQ(view.playheadPosition(), held) << "a player let go is no longer followed";
}

TEST_F(WFAudioPreviewViewTest, AClickSeeksWhereTheDrawnOverviewHasThatTime) {
    view.setPlayer(player);
    ASSERT_TRUE(overviewRead());
    clickAt(view, 250.0);
    ASSERT_EQ(player->seeks.size(), 1u);
    EXPECT_NEAR(player->seeks[0], 1.0, 0.03);
    EXPECT_TRUE(view.selectedSampleRange().isNotFound()) << "the click also went to the selection";
}

TEST_F(WFAudioPreviewViewTest, TransportKeysPlayPauseAndStepWithinTheItem) {
    view.setPlayer(player);
    ASSERT_TRUE(overviewRead());
    EXPECT_TRUE(press(view, Qt::Key_Space));
    EXPECT_TRUE(player->playing);
    EXPECT_TRUE(press(view, Qt::Key_Space));
    EXPECT_FALSE(player->playing);

    player->time = 1.0;
    EXPECT_TRUE(press(view, Qt::Key_Left, Qt::ControlModifier));
    EXPECT_TRUE(press(view, Qt::Key_Right, Qt::ControlModifier));
    EXPECT_FALSE(press(view, Qt::Key_Left)) << "left alone is another's";
    EXPECT_FALSE(press(view, Qt::Key_A, Qt::ControlModifier));
    ASSERT_EQ(player->seeks.size(), 2u);
    EXPECT_EQ(player->seeks[0], 0.0) << "not before the start";
    EXPECT_NEAR(player->seeks[1], 2.0, 0.05) << "not past the end";
}

TEST_F(WFAudioPreviewViewTest, AnItemWithoutSoundSaysSoAndALateOverviewOfAnEarlierItemIsDropped) {
    view.setPlayer(player);
    player->setItem(dir.file("mute.mp4"));
    EXPECT_TRUE(view.isAssetUnplayable());
    EXPECT_FALSE(view.isReadingOverview());
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(view.sampleLength(), 0u) << "the tone's overview came too late";
    const QImage picture = screenshot::save(view, "wf-audio-preview-no-sound");
    EXPECT_NE(picture.pixelColor(250, 50), view.backgroundColor()) << "the prompt's letters";
    clickAt(view, 250.0);
    EXPECT_TRUE(player->seeks.empty());

    player->setItem(dir.file("tone.mp4"));
    EXPECT_FALSE(view.isAssetUnplayable());
    ASSERT_TRUE(overviewRead());
    EXPECT_GT(view.sampleLength(), 200u);
}

TEST_F(WFAudioPreviewViewTest, AViewGoneBeforeItsOverviewArrivesIsLeftAlone) {
    auto gone = std::make_unique<WFAudioPreviewView>();
    gone->setScheduler(scheduler);
    gone->setPlayer(player);
    ASSERT_TRUE(gone->isReadingOverview());
    gone.reset();
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    scheduler->advance(1.0); // neither the read's end nor a tick may reach the view
}

TEST(WFMediaPlayer, RelaysItsMediaPlayersItem) {
    // Qt's own decoder back end: the other one needs system plugins that a test machine may lack.
    test_support::EnvOverride backend("QT_MEDIA_BACKEND", QStringLiteral("ffmpeg"));
    WFMediaPlayer player;
    int changes = 0;
    QObject::connect(&player, &WFPreviewPlayer::sourceChanged, [&] { ++changes; });
    const QUrl item = QUrl::fromLocalFile("/nowhere/clip.mp4");
    player.mediaPlayer().setSource(item);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(player.source(), item);
    EXPECT_FALSE(player.isPlaying());
}
