// The document window's preview while what it plays will not come: a slide's picture that never arrives holds
// a frame of the show in its wait, and the window still answers.
#include "support/HangGuard.h"
#include "support/MainWindowFixture.h"

#include "render/SlideshowDirector.h"
#include "ui/main/MainWindowOutlets.h"

#include <QAbstractButton>
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
