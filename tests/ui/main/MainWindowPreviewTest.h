#pragma once

// The document window on the real engine (a headless GL context): what its preview shows and plays.
#include "support/ColourNear.h"
#include "support/MainWindowFixture.h"

#include "ui/main/PreviewWidget.h"

#include <QColor>
#include <QImage>

class MainWindowPreviewTest : public PreviewWindowTest {
protected:
    static bool near(QColor a, QColor b, int tolerance = 40) {
        return test_support::coloursNear(a, b, tolerance);
    }
    static QColor centreOf(const QImage& frame) {
        return frame.pixelColor(frame.width() / 2, frame.height() / 2);
    }
    QImage shownFrame() const { return controller->previewWidget()->shownFrame(); }
    // Whether the preview comes to show the colour, once it has the slide's picture.
    bool comesToShow(QColor wanted) {
        test_support::spinUntil([&] {
            scheduler->advance(0.1); // the preview's wait for the slide's picture
            return near(centreOf(shownFrame()), wanted);
        });
        return near(centreOf(shownFrame()), wanted);
    }
    // One slide of the colour, shown in the preview.
    SlideItemRef showSlideOf(QColor colour) {
        const SlideItemRef slide = useColourSlides({colour})[0];
        controller->setNCurrentSlideshowItemIndex(0);
        controller->showCurrentItemPhoto(slide);
        EXPECT_TRUE(comesToShow(colour));
        return slide;
    }
    // Plays `frames` engine frames: the display link draws, the play head and the texts follow.
    void playFrames(int frames) {
        for (int i = 0; i < frames; ++i) {
            ASSERT_TRUE(tickPreview()) << "frame " << i;
            scheduler->advance(1.0 / 30.0);
        }
    }
};
