// Drags on the preview with the real widgets and the real engine: what is dragged (the slide's text, the
// picture while it is panned) follows the pointer one to one, whatever the window's size or the picture's
// shape and turn.
#include "support/MainWindowFixture.h"
#include "support/Screenshot.h"
#include "support/WidgetClick.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/MainThread.h"
#include "platform/image/ImageFilters.h"
#include "ui/editing/EditingPanelSupport.h"
#include "ui/editing/PanZoomObject.h"
#include "ui/editing/SlideFontEditorObject.h"
#include "ui/editing/SlideFontWndController.h"
#include "ui/main/PreviewWidget.h"
#include "ui/main/SlideshowMenus.h"

namespace {

// The box of the pixels `belongs` accepts whose four neighbours it accepts too, empty when there are none:
// the edges that scaling softens (a frame's against the photo, the picture's against the bars) are too thin
// to count.
QRect boxOf(const QImage& frame, const std::function<bool(QColor)>& belongs) {
    QRect box;
    for (int y = 1; y + 1 < frame.height(); ++y)
        for (int x = 1; x + 1 < frame.width(); ++x)
            if (belongs(frame.pixelColor(x, y)) && belongs(frame.pixelColor(x - 1, y)) &&
                belongs(frame.pixelColor(x + 1, y)) && belongs(frame.pixelColor(x, y - 1)) &&
                belongs(frame.pixelColor(x, y + 1)))
                box |= QRect(x, y, 1, 1);
    return box;
}

// The themes by their numbers: eight draw the photo inside a frame.
enum Theme {
    ColourfulBlur = 0,
    HorizontalMove = 4,
    VerticalMove = 5,
    Classic = 6,
    WhiteBorderBlur = 7,
    WhiteBorderGray = 8,
    StaticFrame = 9,
    GrayscaleFrame = 10,
    WoodFrame = 11,
    PaperFrame = 12
};

const QColor kTextColour(0, 255, 0);
const QColor kPhotoColour(200, 30, 30);

// Pixels of the colour as the theme shows it: a grey theme takes the colour out.
std::function<bool(QColor)> shownAs(QColor colour, const QVariantMap& theme) {
    QImage dot(1, 1, QImage::Format_ARGB32);
    dot.fill(colour);
    const QColor shown = platform::image::applyPhotoFilter(dot, theme).pixelColor(0, 0);
    return [shown](QColor c) {
        return std::abs(c.red() - shown.red()) < 40 && std::abs(c.green() - shown.green()) < 40 &&
               std::abs(c.blue() - shown.blue()) < 40;
    };
}

} // namespace

class PreviewDragTest : public PreviewWindowTest {
protected:
    void TearDown() override {
        editing_panel::setCurrentStatus(project, 0);
        PreviewWindowTest::TearDown();
    }
    PreviewWidget* preview() const { return controller->previewWidget(); }

    // A red picture of `size` as the only slide, current, with the caption's entries in its text.
    SlideItemRef showPicture(QSize size, const QString& name, const QVariantMap& caption = {}) {
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(kPhotoColour);
        EXPECT_TRUE(picture.save(project->strMacProjectBundleContentsPath() + "/" + name));
        auto slide = platform::makeMainThreadShared<SlideItem>();
        slide->setFileName(name);
        QVariantMap text = slide->textInfo();
        text.insert(caption);
        slide->setTextInfo(text);
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
    void drag(QPoint from, QPoint by, int steps = 8) { test_support::leftDrag(*preview(), from, by, steps); }
};

// Every theme that draws the photo inside a frame (some with a shadow, one in grey) and two that do not.
TEST_F(PreviewDragTest, TheTextFollowsThePointerUnderEveryThemeAtEveryWindowSizeAndOnATurnedSlide) {
    struct Case {
        int theme;
        QSize window;
        QSize picture;
        bool turned;
        QPoint by;
    };
    const Case cases[] = {{ColourfulBlur, {1024, 700}, {640, 360}, false, {100, 60}},
                          {ColourfulBlur, {1400, 900}, {1200, 900}, false, {-90, 40}},
                          {ColourfulBlur, {1024, 700}, {1200, 900}, true, {-60, 50}},
                          {Classic, {1024, 700}, {1200, 900}, false, {120, 40}},
                          {HorizontalMove, {1024, 700}, {640, 360}, false, {100, 60}},
                          {VerticalMove, {1400, 900}, {1200, 900}, true, {-90, 40}},
                          {WhiteBorderBlur, {1024, 700}, {1200, 900}, false, {140, 50}},
                          {WhiteBorderGray, {1500, 620}, {640, 480}, false, {-60, 30}},
                          {StaticFrame, {1024, 700}, {900, 1200}, false, {80, 60}},
                          {GrayscaleFrame, {1024, 700}, {1200, 900}, false, {-140, 50}},
                          {WoodFrame, {1400, 900}, {640, 360}, true, {120, 40}},
                          {PaperFrame, {1024, 700}, {1600, 900}, false, {-100, 60}}};
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "theme " << c.theme << ", window " << c.window.width() << "x"
                                        << c.window.height() << ", picture " << c.picture.width() << "x"
                                        << c.picture.height() << (c.turned ? " turned" : ""));
        project->themeManger()->setCurrentThemeID(c.theme);
        const auto textShown = shownAs(kTextColour, project->themeManger()->currentThemeDict());
        resizeWindow(c.window);
        const SlideItemRef slide = showPicture(c.picture, QStringLiteral("photo%1.png").arg(n++));
        if (c.turned)
            controller->rotateImageButtonClicked();
        SlideFontWndController panel(projectSource());
        QVariantMap info = slide->textInfo();
        info.insert("Text", "MMM");
        info.insert("FontSize", c.picture.width() / 8);
        info.insert("FontColor", kTextColour);
        panel.setFontDict(info);
        qint64 key = preview()->shownFrame().cacheKey();
        panel.SetFontInfo();
        const QImage before = nextFrame(key);
        const QRect start = boxOf(before, textShown);
        ASSERT_FALSE(start.isEmpty()) << "the text is shown";

        key = preview()->shownFrame().cacheKey();
        drag(start.center(), c.by);
        const QImage after = nextFrame(key);
        screenshot::save(*window, QStringLiteral("preview-text-drag-%1").arg(n));
        const QRect end = boxOf(after, textShown);
        ASSERT_FALSE(end.isEmpty()) << slide->textInfo().value("FontPositionOffsetX").toInt() << " "
                                    << slide->textInfo().value("FontPositionOffsetY").toInt() << " from "
                                    << start.x() << "," << start.y() << " " << start.width() << "x"
                                    << start.height();
        EXPECT_NEAR(end.left() - start.left(), c.by.x(), 3);
        EXPECT_NEAR(end.top() - start.top(), c.by.y(), 3);
        editing_panel::setCurrentStatus(project, 0);
    }
}

// A pan moves the picture whole, frame and all, so no theme changes how far.
TEST_F(PreviewDragTest, APannedPictureFollowsThePointerUnderEveryThemeAtEveryWindowSize) {
    struct Case {
        int theme;
        QSize window;
    };
    // The sizes 1500 x 620 leave the preview wider than the 16:9 stage, with bars at its sides.
    const Case cases[] = {
        {ColourfulBlur, {1024, 700}},   {ColourfulBlur, {1400, 900}}, {ColourfulBlur, {1500, 620}},
        {HorizontalMove, {1024, 700}},  {VerticalMove, {1400, 900}},  {WhiteBorderBlur, {1500, 620}},
        {WhiteBorderGray, {1024, 700}}, {StaticFrame, {1400, 900}},   {GrayscaleFrame, {1024, 700}},
        {WoodFrame, {1500, 620}},       {PaperFrame, {1024, 700}}};
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "theme " << c.theme << ", window " << c.window.width() << "x" << c.window.height());
        project->themeManger()->setCurrentThemeID(c.theme);
        const auto photoShown = shownAs(kPhotoColour, project->themeManger()->currentThemeDict());
        resizeWindow(c.window);
        showPicture({900, 900}, QStringLiteral("square%1.png").arg(n++));
        editing_panel::setCurrentStatus(project, 3);
        qint64 key = preview()->shownFrame().cacheKey();
        drag(QPoint(preview()->width() / 2, preview()->height() / 2), QPoint(2, 0), 1);
        const QRect start = boxOf(nextFrame(key), photoShown);
        ASSERT_FALSE(start.isEmpty());
        key = preview()->shownFrame().cacheKey();
        const QPoint by(120, 50);
        drag(QPoint(preview()->width() / 2, preview()->height() / 2), by);
        const QRect end = boxOf(nextFrame(key), photoShown);
        ASSERT_FALSE(end.isEmpty());
        EXPECT_NEAR(end.left() - start.left(), by.x(), 3);
        EXPECT_NEAR(end.top() - start.top(), by.y(), 3);
        editing_panel::setCurrentStatus(project, 0);
    }
}

// With a panel open that edits on the preview (Pan and Zoom, Text) a drag there moves what the panel edits
// (the picture, the caption), and the press gives the main window the keyboard where a window system hands it
// to the window pressed. Escape there closes the panel as it does where the panel has the keyboard, and the
// next drag moves nothing.
TEST_F(PreviewDragTest, EscapeClosesAPanelThatEditsOnThePreviewAfterADragGaveTheWindowTheKeyboard) {
    struct Case {
        const char* panel;
        const char* menuItem;
        QColor dragged;
        QVariantMap caption;
        std::function<QWidget*()> window;
    };
    const Case cases[] = {{"Pan and Zoom",
                           "panZoomMenuItem",
                           kPhotoColour,
                           {},
                           [&] { return controller->panZoomObj()->panzoomPanel(); }},
                          {"Text",
                           "addTextMenuItem",
                           kTextColour,
                           {{"Text", "MMM"}, {"FontSize", 110}, {"FontColor", kTextColour}},
                           [&] { return controller->fontEditorObj()->panelWndController(); }}};
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.panel);
        window->activateWindow();
        const auto shown = shownAs(c.dragged, project->themeManger()->currentThemeDict());
        showPicture({900, 900}, QStringLiteral("square%1.png").arg(n++), c.caption);
        SlideshowMenus(*window, *controller).action(c.menuItem)->trigger();
        QWidget* panel = c.window();
        ASSERT_TRUE(panel && test_support::spinUntil([&] { return panel->isActiveWindow(); }, 3000));
        const QPoint middle(preview()->width() / 2, preview()->height() / 2);
        qint64 key = preview()->shownFrame().cacheKey();
        drag(middle, QPoint(2, 0), 1);
        const QRect start = boxOf(nextFrame(key), shown);
        ASSERT_FALSE(start.isEmpty());

        window->activateWindow(); // what the window system does with a press on the preview
        ASSERT_TRUE(test_support::spinUntil([&] { return window->isActiveWindow(); }, 3000));
        key = preview()->shownFrame().cacheKey();
        drag(middle, QPoint(120, 50));
        const QRect moved = boxOf(nextFrame(key), shown);
        EXPECT_NEAR(moved.left() - start.left(), 120, 3) << "the drag moves it";
        EXPECT_TRUE(test_support::pressKey(Qt::Key_Escape));
        EXPECT_FALSE(panel->isVisible()) << "Escape closed the panel";

        const QRect still = boxOf(nextFrame(preview()->shownFrame().cacheKey()), shown);
        drag(middle, QPoint(-100, -40));
        test_support::spinFor(100);
        EXPECT_EQ(boxOf(preview()->shownFrame(), shown), still)
            << "a drag after the panel closed moves nothing";
    }
}
