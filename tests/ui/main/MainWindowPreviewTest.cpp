// The document window on the real engine (a headless GL context), with pictures of it for people to look at
// in <build>/screenshots.
#include "support/MainWindowFixture.h"
#include "support/Screenshot.h"

#include "render/SlideshowDirector.h"
#include "ui/main/PreviewWidget.h"

#include <QApplication>
#include <QTest>

namespace {

bool near(QColor a, QColor b, int tolerance = 40) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

QColor centreOf(const QImage& frame) {
    return frame.pixelColor(frame.width() / 2, frame.height() / 2);
}

} // namespace

class MainWindowPreviewTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        if (!makeWindowWithPreview())
            GTEST_SKIP() << "no OpenGL here";
        scheduler->advance(2.5); // the delayed refresh of start-up
    }
    QImage shownFrame() const { return controller->previewWidget()->shownFrame(); }
    // Plays `frames` engine frames: the display link draws, the play head and the texts follow.
    void playFrames(int frames) {
        for (int i = 0; i < frames; ++i) {
            ASSERT_TRUE(tickPreview()) << "frame " << i;
            scheduler->advance(1.0 / 30.0);
        }
    }
};

TEST_F(MainWindowPreviewTest, TheWindowOpensOnTheWelcomePictureAndPlaysTheShowInItsPreview) {
    const QImage welcome = screenshot::save(*window, "main-window-welcome");
    ASSERT_FALSE(welcome.isNull());
    EXPECT_FALSE(near(centreOf(shownFrame()), Qt::black, 10)) << "the welcome picture";
    EXPECT_EQ(controller->outlets().m_btnPlayStop->text(), "Play");

    useColourSlides({QColor(220, 40, 40), QColor(40, 200, 60), QColor(50, 70, 230)});
    controller->updateProjectInfo(); // the slider's range
    test_support::spinFor(20);
    controller->play();
    scheduler->advance(0.5);
    ASSERT_EQ(controller->director()->directorStatus(), 1);
    playFrames(10);
    EXPECT_TRUE(near(centreOf(shownFrame()), QColor(220, 40, 40)))
        << centreOf(shownFrame()).name().toStdString();
    playFrames(45); // into the second photo
    EXPECT_TRUE(near(centreOf(shownFrame()), QColor(40, 200, 60)))
        << centreOf(shownFrame()).name().toStdString();
    EXPECT_EQ(controller->outlets().timelineTimeText->text(), "00:01");
    EXPECT_EQ(controller->outlets().realTimeText->text(), "00:01");
    EXPECT_EQ(controller->outlets().positionSlider->value(), int(controller->director()->nCurrentFrame()))
        << "the position slider follows the show";
    QWidget* head = controller->timelineIndicatorImageView();
    ASSERT_TRUE(head);
    EXPECT_TRUE(head->isVisibleTo(window.get()));
    EXPECT_GT(head->x(), 170) << "over the second cell";
    EXPECT_EQ(controller->outlets().m_btnPlayStop->text(), "Stop");
    const QImage playing = screenshot::save(*window, "main-window-playing");
    EXPECT_TRUE(near(playing.pixelColor(head->mapTo(window.get(), QPoint(4, 100))), QColor(255, 69, 58), 30))
        << "the play head over the drawn cells";
    controller->play();
    EXPECT_EQ(controller->director()->directorStatus(), 0);
}

TEST_F(MainWindowPreviewTest, AnAppendedPhotoIsShownAsTheCurrentSlide) {
    useColourSlides({QColor(220, 40, 40)});
    controller->setNCurrentSlideshowItemIndex(0);
    dialogs.mediaOpenAnswers.push_back({writePhoto("appended.jpg", {64, 48}, QColor(50, 70, 230))});
    controller->buttonAppendPhotoClicked();
    ASSERT_TRUE(waitForImports());
    // The request's last steps run on the main thread, later on a loaded machine.
    double advanced = 0.0;
    test_support::spinUntil([&] {
        if (advanced < 2.0) {
            scheduler->advance(0.1);
            advanced += 0.1;
        }
        return near(centreOf(shownFrame()), QColor(50, 70, 230));
    });
    ASSERT_EQ(controller->nCurrentSlideshowItemIndex(), 1);
    EXPECT_TRUE(near(centreOf(shownFrame()), QColor(50, 70, 230)))
        << centreOf(shownFrame()).name().toStdString();
}

// The preview has no editing of its own: a double-click (with the text or pan-and-zoom panel closed)
// leaves the window as it was, with no text box over the picture and nothing changed in the project.
TEST_F(MainWindowPreviewTest, ADoubleClickOnThePreviewChangesNothing) {
    useColourSlides({QColor(220, 40, 40), QColor(40, 200, 60)});
    controller->setNCurrentSlideshowItemIndex(1);
    project->setBIsDirty(false);
    PreviewWidget* preview = controller->previewWidget();
    test_support::spinFor(20);
    const QList<QWidget*> childrenBefore = preview->findChildren<QWidget*>();
    const QImage before = preview->grab().toImage();
    for (const QPoint at : {QPoint(40, 30), preview->rect().center()})
        QTest::mouseDClick(preview, Qt::LeftButton, Qt::NoModifier, at);
    test_support::spinFor(20);
    EXPECT_EQ(preview->findChildren<QWidget*>(), childrenBefore) << "nothing laid over the picture";
    EXPECT_EQ(preview->grab().toImage(), before);
    EXPECT_FALSE(project->bIsDirty());
    EXPECT_EQ(controller->nCurrentSlideshowItemIndex(), 1);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}
