// The document window's preview while what it plays will not come: a slide's picture that never arrives holds
// a frame of the show in its wait, and the window still answers.
#include "support/HangGuard.h"
#include "support/MainWindowFixture.h"
#include "support/StartLoggingMixer.h"

#include "model/MusicDirector.h"
#include "platform/foundation/NotificationCenter.h"
#include "render/RenderNotifications.h"
#include "render/SlideshowDirector.h"
#include "ui/UiNotifications.h"
#include "ui/main/MainWindowOutlets.h"

#include <QAbstractButton>
#include <QScopeGuard>
#include <QTest>

#include <condition_variable>
#include <mutex>

using PlayUnderChangeTest = PreviewWindowTest;

TEST_F(PlayUnderChangeTest, TheWindowsStopEndsAPlayWhoseFrameWaitsForAPicture) {
    const HangGuard guard("a Stop while the frame waits for a picture", std::chrono::seconds(120));
    {
        PlayWaits waits(*controller->director());
        ASSERT_NO_FATAL_FAILURE(playUntilAFrameWaitsForAPicture({Qt::red, Qt::green, Qt::blue}, waits));
        QTest::mouseClick(controller->outlets().m_btnPlayStop, Qt::LeftButton);
    }
    EXPECT_FALSE(controller->m_bPlaying());
    EXPECT_EQ(controller->director()->directorStatus(), 0);
    EXPECT_EQ(controller->outlets().m_btnPlayStop->text(), "Play");
}

TEST_F(PlayUnderChangeTest, AQuitWhileTheFrameWaitsForAPictureEnds) {
    const HangGuard guard("a quit while the frame waits for a picture", std::chrono::seconds(120));
    {
        PlayWaits waits(*controller->director());
        ASSERT_NO_FATAL_FAILURE(playUntilAFrameWaitsForAPicture({Qt::red, Qt::green, Qt::blue}, waits));
    }
    controller.reset(); // as the window's close at quit: the preview and its display link go
    window.reset();
    SUCCEED() << "the display link's thread ended";
}

// A stop rewinds the play before it ends it: a frame drawn between the two, back at the start, announces the
// start of the music again, and that notice reaches the window after the stop (an open's stop too, where
// the songs would be the next project's). The songs stay silent.
TEST_F(PlayUnderChangeTest, AStartOfTheMusicThatArrivesAfterTheStopPlaysNothing) {
    const HangGuard guard("a stop while its rewound frame announces the start", std::chrono::seconds(120));
    QStringList started;
    MusicDirector::setAudioMixerFactory([&] { return std::make_shared<StartLoggingMixer>(started); });
    const auto noMixers = qScopeGuard([] { MusicDirector::setAudioMixerFactory(nullptr); });
    auto& center = platform::NotificationCenter::defaultCenter();
    std::mutex mutex;
    std::condition_variable announced;
    int announcements = 0;
    const platform::ObserverHandle counting(
        center, center.addObserver(kNotifyStartMusic, [&](const platform::Notification&) {
            {
                const std::lock_guard lock(mutex);
                ++announcements;
            }
            announced.notify_all();
        }));
    {
        PlayWaits waits(*controller->director());
        ASSERT_NO_FATAL_FAILURE(playUntilAFrameWaitsForAPicture({Qt::red, Qt::green, Qt::blue}, waits));
        ASSERT_TRUE(test_support::spinUntil([&] { return started.size() == 1; })) << "the play's own start";
        // Posted by the stop after its rewind, before the play ends: the display link draws once more.
        const platform::ObserverHandle drawing(
            center, center.addObserver(kNotifyStopPlayingMusic, [&](const platform::Notification&) {
                displayTime->advance(1.0 / 30.0);
                std::unique_lock lock(mutex);
                announced.wait(lock, [&] { return announcements == 2; });
            }));
        controller->stop();
    }
    ASSERT_TRUE(test_support::spinUntil([&] { return controller->handledCount(kNotifyStartMusic) == 2; }));
    EXPECT_EQ(started.size(), 1) << "the songs play after the stop";
    EXPECT_FALSE(controller->m_bPlaying());
}
