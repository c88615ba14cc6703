// The document window's preview while what it plays will not come: a slide's picture that never arrives holds
// a frame of the show in its wait, and the window still answers.
#include "support/HangGuard.h"
#include "support/MainWindowFixture.h"
#include "support/StartLoggingMixer.h"

#include "model/MusicDirector.h"
#include "render/RenderNotifications.h"
#include "render/SlideshowDirector.h"
#include "ui/main/MainWindowOutlets.h"

#include <QAbstractButton>
#include <QScopeGuard>
#include <QTest>

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

// The start of the music that a frame announces reaches the window through its main loop, after a stop that
// came meanwhile (an open's stop too, where the songs would be the next project's): the songs stay silent.
TEST_F(PlayUnderChangeTest, AStartOfTheMusicThatArrivesAfterTheStopPlaysNothing) {
    const HangGuard guard("a stop while the frame that announced the start waits", std::chrono::seconds(120));
    QStringList started;
    MusicDirector::setAudioMixerFactory([&] { return std::make_shared<StartLoggingMixer>(started); });
    const auto noMixers = qScopeGuard([] { MusicDirector::setAudioMixerFactory(nullptr); });
    {
        PlayWaits waits(*controller->director());
        // The first frame announces the start, then waits for its picture; the notice waits in the main loop.
        ASSERT_NO_FATAL_FAILURE(playUntilAFrameWaitsForAPicture({Qt::red, Qt::green, Qt::blue}, waits));
        ASSERT_EQ(controller->handledCount(kNotifyStartMusic), 0);
        controller->stop();
    }
    ASSERT_TRUE(test_support::spinUntil([&] { return controller->handledCount(kNotifyStartMusic) == 1; }));
    EXPECT_TRUE(started.isEmpty()) << "the songs play after the stop";
    EXPECT_FALSE(controller->m_bPlaying());
}
