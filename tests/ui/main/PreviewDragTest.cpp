// Drags on the preview with the real widgets and the real engine: what is dragged (the slide's text, the
// picture while it is panned) follows the pointer one to one, whatever the window's size or the picture's
// shape and turn.
#include "support/MainWindowFixture.h"
#include "support/Screenshot.h"

#include "model/SlideshowProject.h"
#include "ui/editing/EditingPanelSupport.h"
#include "ui/editing/SlideFontWndController.h"
#include "ui/main/PreviewWidget.h"

#include <QMouseEvent>

namespace {

// The box of the pixels `belongs` accepts; empty when there are none.
QRect boxOf(const QImage& frame, const std::function<bool(QColor)>& belongs) {
    QRect box;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            if (belongs(frame.pixelColor(x, y)))
                box |= QRect(x, y, 1, 1);
    return box;
}

bool textGreen(QColor c) {
    return c.green() > 180 && c.red() < 90 && c.blue() < 90;
}

bool photoRed(QColor c) {
    return c.red() > 150 && c.green() < 80 && c.blue() < 80;
}

} // namespace

class PreviewDragTest : public PreviewWindowTest {
protected:
    void TearDown() override {
        editing_panel::setCurrentStatus(project, 0);
        PreviewWindowTest::TearDown();
    }
    PreviewWidget* preview() const { return controller->previewWidget(); }

    // A red picture of `size` as the only slide, current.
    SlideItemRef showPicture(QSize size, const QString& name) {
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(QColor(200, 30, 30));
        EXPECT_TRUE(picture.save(project->strMacProjectBundleContentsPath() + "/" + name));
        auto slide = std::make_shared<SlideItem>();
        slide->setFileName(name);
        slide->setPanStartPoint(QPointF(0, 0));
        slide->setPanEndPoint(QPointF(0, 0));
        slide->setZoomStart(1.0);
        slide->setZoomEnd(1.0);
        project->setSlideshowArray({slide});
        project->calcSlideItemsPhotoTransitionDuration();
        controller->setNCurrentSlideshowItemIndex(0);
        return slide;
    }
    // The window at `size`, laid out and drawn again.
    void resizeWindow(QSize size) {
        window->resize(size);
        test_support::spinFor(50);
    }
    // What the preview shows once it has shown something new.
    QImage nextFrame(qint64 before) {
        test_support::spinUntil([&] { return preview()->shownFrame().cacheKey() != before; }, 3000);
        test_support::spinFor(30); // later frames of the same change
        return preview()->shownFrame();
    }
    // A press, moves in steps with the button held, and a release on the preview, as a hand gives them.
    void drag(QPoint from, QPoint by, int steps = 8) {
        auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
            QMouseEvent event(type, at, preview()->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
            QCoreApplication::sendEvent(preview(), &event);
        };
        send(QEvent::MouseButtonPress, from, Qt::LeftButton);
        for (int i = 1; i <= steps; ++i)
            send(QEvent::MouseMove, from + by * i / steps, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, from + by, Qt::NoButton);
    }
};

TEST_F(PreviewDragTest, TheTextFollowsThePointerAtEveryWindowSizeAndOnATurnedSlide) {
    struct Case {
        QSize window;
        QSize picture;
        bool turned;
        QPoint by;
    };
    const Case cases[] = {{{1024, 700}, {640, 360}, false, {100, 60}},
                          {{1400, 900}, {1200, 900}, false, {-90, 40}},
                          {{1024, 700}, {1200, 900}, true, {-60, 50}}};
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "window " << c.window.width() << "x" << c.window.height() << ", picture "
                     << c.picture.width() << "x" << c.picture.height() << (c.turned ? " turned" : ""));
        resizeWindow(c.window);
        const SlideItemRef slide = showPicture(c.picture, QStringLiteral("photo%1.png").arg(n++));
        if (c.turned)
            controller->rotateImageButtonClicked();
        SlideFontWndController panel(projectSource());
        QVariantMap info = slide->textInfo();
        info.insert("Text", "MMM");
        info.insert("FontSize", c.picture.width() / 8);
        info.insert("FontColor", QColor(0, 255, 0));
        panel.setFontDict(info);
        qint64 key = preview()->shownFrame().cacheKey();
        panel.SetFontInfo();
        const QImage before = nextFrame(key);
        const QRect start = boxOf(before, textGreen);
        ASSERT_FALSE(start.isEmpty()) << "the text is shown";

        key = preview()->shownFrame().cacheKey();
        drag(start.center(), c.by);
        const QImage after = nextFrame(key);
        screenshot::save(*window, QStringLiteral("preview-text-drag-%1").arg(n));
        const QRect end = boxOf(after, textGreen);
        ASSERT_FALSE(end.isEmpty()) << slide->textInfo().value("FontPositionOffsetX").toInt() << " "
                                    << slide->textInfo().value("FontPositionOffsetY").toInt() << " from "
                                    << start.x() << "," << start.y() << " " << start.width() << "x"
                                    << start.height();
        EXPECT_NEAR(end.left() - start.left(), c.by.x(), 3);
        EXPECT_NEAR(end.top() - start.top(), c.by.y(), 3);
        editing_panel::setCurrentStatus(project, 0);
    }
}

TEST_F(PreviewDragTest, APannedPictureFollowsThePointerAtEveryWindowSize) {
    // The last leaves the preview wider than the 16:9 stage, with bars at its sides.
    for (const QSize size : {QSize(1024, 700), QSize(1400, 900), QSize(1500, 620)}) {
        SCOPED_TRACE(testing::Message() << "window " << size.width() << "x" << size.height());
        resizeWindow(size);
        showPicture({900, 900}, QStringLiteral("square%1.png").arg(size.width()));
        editing_panel::setCurrentStatus(project, 3);
        qint64 key = preview()->shownFrame().cacheKey();
        drag(QPoint(preview()->width() / 2, preview()->height() / 2), QPoint(2, 0), 1);
        const QRect start = boxOf(nextFrame(key), photoRed);
        ASSERT_FALSE(start.isEmpty());
        key = preview()->shownFrame().cacheKey();
        const QPoint by(120, 50);
        drag(QPoint(preview()->width() / 2, preview()->height() / 2), by);
        const QRect end = boxOf(nextFrame(key), photoRed);
        ASSERT_FALSE(end.isEmpty());
        EXPECT_NEAR(end.left() - start.left(), by.x(), 3);
        EXPECT_NEAR(end.top() - start.top(), by.y(), 3);
        editing_panel::setCurrentStatus(project, 0);
    }
}
