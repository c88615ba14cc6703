// The floating editing panels: pan and zoom, text, toolbox and colour, alone and with the controller.
#include "support/MainWindowFixture.h"
#include "support/PostedNotifications.h"
#include "support/WidgetClick.h"

#include "model/SlideshowProject.h"
#include "render/NSGLView.h"
#include "render/RenderNotifications.h"
#include "ui/UiNotifications.h"
#include "ui/controls/CSCircularSlider.h"
#include "ui/controls/DoubleSlider.h"
#include "ui/editing/ColorAdjustWindowController.h"
#include "ui/editing/PanZoomObject.h"
#include "ui/editing/SlideFontEditorObject.h"
#include "ui/editing/SlideFontWndController.h"
#include "ui/editing/ToolboxWindowController.h"
#include "ui/main/SlideshowMenus.h"

#include <QFontDialog>
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>

#include <numbers>

using Posts = test_support::PostedNotifications;

class EditingPanelsTest : public MainWindowTest {};

TEST_F(EditingPanelsTest, TheDialPostsAQuarterTurnClockwiseOnceAndOnlyPanZoomOpensThePanel) {
    PanZoomObject panZoom(projectSource());
    ToolboxWindowController::postTool("Text");
    ToolboxWindowController::postTool("Rotate");
    EXPECT_EQ(panZoom.panzoomPanel(), nullptr);
    ToolboxWindowController::postTool("PanZoom");
    ASSERT_NE(panZoom.panzoomPanel(), nullptr);
    EXPECT_TRUE(panZoom.panzoomPanel()->isVisible());
    EXPECT_EQ(project->nCurrentStatus(), 3);

    Posts changes(kNotifyPanZoomChanged);
    CSCircularSlider& dial = *panZoom.m_scaleSlider();
    dial.setAngle(-std::numbers::pi_v<float> / 2, 40.0f);
    EXPECT_TRUE(changes.list.empty()) << "a value set by the program is no edit";
    dial.sendAction();
    dial.sendAction();
    panZoom.scaleSlider()->setValue(100);
    panZoom.SetEndFrameButtonClicked();
    ASSERT_EQ(changes.list.size(), 3u);
    const QVariantMap rotate = changes.list[0].object.toMap();
    EXPECT_EQ(rotate.value("NAME"), "ROTATE");
    EXPECT_NEAR(rotate.value("VALUE").toDouble(), 1.5707963, 1e-6);
    EXPECT_EQ(changes.list[1].object.toMap(), (QVariantMap{{"NAME", "SCALE"}, {"VALUE", 100.0}}));
    EXPECT_EQ(changes.list[2].object.toMap(), (QVariantMap{{"NAME", "END"}, {"VALUE", 0.0}}));
}

TEST_F(EditingPanelsTest, TheTextWindowWritesTheDialAngleAndStartsEachSlideFromItsOwnOffsets) {
    SlideFontEditorObject editor(projectSource());
    SlideFontWndController& window = *editor.panelWndController();
    Posts infos(kNotifyFontInfoChanged);
    editor.setTextInfoDict(
        {{"Text", "Hello"}, {"FontSize", 60}, {"FontAngle", -90}, {"FontName", "Nowhere Sans"}});
    EXPECT_TRUE(infos.list.empty()) << "showing a slide is no edit";
    float degrees = 0;
    window.m_angleCircleSlider()->getAngle(&degrees, nullptr);
    EXPECT_NEAR(degrees, 90.0f, 1e-3) << "-90 shows the knob at the right";
    EXPECT_EQ(window.mFontPopup()->currentText(), "Nowhere Sans") << "the slide's own family, listed";

    window.m_angleCircleSlider()->setAngle(359.6f, 40.0f);
    window.m_angleCircleSlider()->sendAction();
    ASSERT_EQ(infos.list.size(), 1u);
    const QVariantMap written = infos.list[0].object.toMap();
    EXPECT_EQ(written.value("FontAngle").toInt(), -359) << "truncated, not rounded";
    EXPECT_EQ(written.value("FontName"), "Nowhere Sans");
    EXPECT_EQ(written.value("Text"), "Hello");
    EXPECT_EQ(project->nCurrentStatus(), 2);

    const auto drag = [](double dx) {
        platform::NotificationCenter::defaultCenter().post(kNotifyTextPositionChanged,
                                                           QVariantMap{{"deltaX", dx}, {"deltaY", 0.0}});
    };
    drag(10.6);
    drag(10.6);
    // The moves add up unrounded, so a long drag loses nothing: 10.6 shows as 11, 21.2 as 21.
    EXPECT_EQ(infos.list[1].object.toMap().value("FontPositionOffsetX"), 11);
    EXPECT_EQ(infos.list[2].object.toMap().value("FontPositionOffsetX"), 21);
    editor.setTextInfoDict({{"Text", "Second"}, {"FontPositionOffsetX", 300}, {"FontPositionOffsetY", -40}});
    drag(5.0);
    const QVariantMap second = infos.list.back().object.toMap();
    EXPECT_EQ(second.value("FontPositionOffsetX"), 305) << "from the second slide's own offset";
    EXPECT_EQ(second.value("FontPositionOffsetY"), -40);
}

// The text window's Fonts button shows the system font panel at 150-point Helvetica; a face chosen there
// changes nothing of the slide's text.
TEST_F(EditingPanelsTest, TheFontsButtonShowsTheFontPanelWhoseChoiceChangesNothing) {
    SlideFontEditorObject editor(projectSource());
    SlideFontWndController& window = *editor.panelWndController();
    editor.setTextInfoDict({{"Text", "Hello"}, {"FontSize", 60}, {"FontName", "Nowhere Sans"}});
    const QVariantMap shown = window.fontDict();
    Posts infos(kNotifyFontInfoChanged);
    ASSERT_TRUE(window.fontButton());
    QTest::mouseClick(window.fontButton(), Qt::LeftButton);
    QFontDialog* panel = window.fontPanel();
    ASSERT_TRUE(panel);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->currentFont().pointSize(), 150);

    panel->setCurrentFont(QFont(SlideFontWndController::fontFamilies().value(0), 24));
    QTest::keyClick(panel, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_TRUE(infos.list.empty());
    EXPECT_EQ(window.fontDict(), shown);
    EXPECT_EQ(window.mFontPopup()->currentText(), "Nowhere Sans");
    EXPECT_EQ(window.fontSizeSlider()->value(), 60);
    panel->close();
    QTest::mouseClick(window.fontButton(), Qt::LeftButton);
    EXPECT_EQ(window.fontPanel(), panel) << "one panel, shown again";
    EXPECT_EQ(panel->currentFont().pointSize(), 150) << "at the panel's own face and size again";
}

TEST_F(EditingPanelsTest, TheColourWindowPostsTheWholeDictionaryAndTheToolboxToggles) {
    ColorAdjustObject owner;
    ColorAdjustWindowController& window = *owner.colorWndController();
    Posts colours(kNotifyColorAdjustChanged);
    window.slider2()->setDoubleValue(0.5);
    window.ResetButtonClicked();
    window.OKButtonClicked();
    ASSERT_EQ(colours.list.size(), 3u);
    const QVariantMap brightened = colours.list[0].object.toMap();
    EXPECT_FLOAT_EQ(brightened.value("Saturation").toFloat(), 1.0f);
    EXPECT_FLOAT_EQ(brightened.value("Brightness").toFloat(), 0.5f);
    EXPECT_FLOAT_EQ(brightened.value("Contrast").toFloat(), 1.0f);
    EXPECT_EQ(colours.list[1].object.toMap(), ColorAdjustWindowController::neutralColorDict());
    EXPECT_DOUBLE_EQ(window.slider2()->doubleValue(), 0.5) << "the sliders stay";
    EXPECT_EQ(colours.list[2].userInfo, (QVariantMap{{"Action", "OK"}}));

    ToolboxObject toolbox;
    auto& center = platform::NotificationCenter::defaultCenter();
    center.post(kNotifyShowToolbarIconClick);
    EXPECT_TRUE(toolbox.toolboxController()->isVisible());
    Posts tools(kNotifyToolboxButtonClicked);
    toolbox.toolboxController()->button("ColorAdjust")->click();
    EXPECT_TRUE(window.isVisible());
    center.post(kNotifyShowToolbarIconClick);
    EXPECT_FALSE(toolbox.toolboxController()->isVisible());
    ASSERT_EQ(tools.list.size(), 1u);
    EXPECT_EQ(tools.list[0].object, "ColorAdjust");
}

// The whole road: the slide made current reaches the text window, a drag on the preview in text mode moves
// the slide's text.
TEST_F(EditingPanelsTest, ADragOnThePreviewInTextModeMovesTheCurrentSlidesText) {
    makeController();
    const auto slides = useColourSlides({Qt::red, Qt::green, Qt::blue});
    QVariantMap text = slides[1]->textInfo();
    text.insert("Text", "Moved");
    text.insert("FontPositionOffsetX", 100);
    slides[1]->setTextInfo(text);
    controller->setNCurrentSlideshowItemIndex(1);
    controller->fontEditorObj()->textButtonClicked();
    EXPECT_EQ(project->nCurrentStatus(), 2);
    NSGLView preview(controller.get());
    preview.mouseDragged(96, 0, QSizeF(960, 540)); // the 640-wide picture fills the view: 64 of its pixels
    EXPECT_EQ(slides[1]->textInfo().value("FontPositionOffsetX"), 164);
    EXPECT_EQ(slides[1]->textInfo().value("Text"), "Moved");
    EXPECT_TRUE(project->bIsDirty());
}

// Ctrl+T opens the Text window with the keyboard in its Text field every time, also after its Done button
// was clicked: what is typed becomes the caption of the slide chosen on the strip, and a space in it is a
// space, not Play.
TEST_F(EditingPanelsTest, TheTextWindowTakesWhatIsTypedEachTimeCtrlTOpensIt) {
    makeController(true);
    const auto slides = useColourSlides({Qt::red, Qt::green, Qt::blue});
    const SlideshowMenus menus(*window, *controller);
    window->show();
    SlideFontWndController* text = controller->fontEditorObj()->panelWndController();
    ASSERT_TRUE(text);
    const QString captions[] = {"A fine day", "Off we go", "Home again"};
    for (std::size_t i = 0; i < slides.size(); ++i) {
        SCOPED_TRACE(i);
        window->activateWindow(); // what the window system does with the click on the strip
        ASSERT_TRUE(test_support::spinUntil([&] { return window->isActiveWindow(); }, 3000));
        clickCell(*slides[i]);
        ASSERT_EQ(controller->nCurrentSlideshowItemIndex(), int(i));
        ASSERT_TRUE(test_support::pressKey(QKeyCombination(Qt::CTRL, Qt::Key_T)));
        ASSERT_TRUE(text->isVisible());
        ASSERT_TRUE(test_support::spinUntil([&] { return text->isActiveWindow(); }, 3000));
        EXPECT_TRUE(test_support::typeText(captions[i]));
        EXPECT_EQ(text->textField()->text(), captions[i]);
        EXPECT_EQ(slides[i]->textInfo().value("Text").toString(), captions[i]);
        EXPECT_FALSE(controller->m_bPlaying()) << "a space played the show";
        controller->stop();
        QTest::mouseClick(text->findChild<QPushButton*>("doneButton"), Qt::LeftButton);
        EXPECT_FALSE(text->isVisible());
    }
}

// With Pan and Zoom and Text open at once, Escape closes the panel that has the keyboard and leaves the
// other; where the main window has the keyboard, each press closes one of them.
TEST_F(EditingPanelsTest, EscapeClosesOnePanelAtATimeWhenTwoThatEditOnThePreviewAreOpen) {
    makeController(true);
    const auto slides = useColourSlides({Qt::red, Qt::green, Qt::blue});
    const SlideshowMenus menus(*window, *controller);
    window->show();
    window->activateWindow();
    ASSERT_TRUE(test_support::spinUntil([&] { return window->isActiveWindow(); }, 3000));
    clickCell(*slides[0]);
    ASSERT_EQ(controller->nCurrentSlideshowItemIndex(), 0);
    menus.action("panZoomMenuItem")->trigger();
    const std::pair<const char*, QWidget*> panels[] = {
        {"panZoomMenuItem", controller->panZoomObj()->panzoomPanel()},
        {"addTextMenuItem", controller->fontEditorObj()->panelWndController()}};
    // Both open, `last` opened last; each given the keyboard before the next opens, as a hand opens them.
    const auto open = [&](QWidget* last) {
        for (bool lastOne : {false, true})
            for (const auto& [item, panel] : panels)
                if ((panel == last) == lastOne) {
                    menus.action(item)->trigger();
                    if (!test_support::spinUntil([panel = panel] { return panel->isActiveWindow(); }, 3000))
                        return false;
                }
        return true;
    };
    const auto shown = [&] {
        return int(panels[0].second->isVisible()) + int(panels[1].second->isVisible());
    };
    for (const auto& [item, withKeyboard] : panels) {
        SCOPED_TRACE(item);
        ASSERT_TRUE(open(withKeyboard));
        EXPECT_TRUE(test_support::pressKey(Qt::Key_Escape));
        EXPECT_FALSE(withKeyboard->isVisible()) << "the panel with the keyboard closed";
        EXPECT_EQ(shown(), 1) << "the other one stays";
    }

    ASSERT_TRUE(open(nullptr));
    window->activateWindow(); // what the window system does with a press on the preview
    ASSERT_TRUE(test_support::spinUntil([&] { return window->isActiveWindow(); }, 3000));
    EXPECT_TRUE(test_support::pressKey(Qt::Key_Escape));
    EXPECT_EQ(shown(), 1) << "one press, one panel";
    EXPECT_TRUE(test_support::pressKey(Qt::Key_Escape));
    EXPECT_EQ(shown(), 0);
}

// Without a window manager a panel would land on the menu bar: it opens inside the window's top right, beside
// the panels already open, and Escape closes it as the close box does.
TEST_F(EditingPanelsTest, PanelsOpenInsideTheWindowBesideEachOtherAndEscapeClosesThem) {
    QWidget window;
    window.setGeometry(100, 100, 1100, 700);
    window.show();
    ToolboxObject toolbox(&window);
    ColorAdjustObject colour(&window);
    toolbox.ShowToolbarPanel();
    ToolboxWindowController::postTool("ColorAdjust");
    QWidget& tools = *toolbox.toolboxController();
    QWidget& colours = *colour.colorWndController();
    ASSERT_TRUE(tools.isVisible() && colours.isVisible());
    for (const QWidget* panel : {&tools, &colours}) {
        EXPECT_TRUE(window.frameGeometry().contains(panel->frameGeometry()))
            << qPrintable(panel->objectName());
        EXPECT_GE(panel->y(), window.y() + 100) << qPrintable(panel->objectName());
    }
    EXPECT_FALSE(tools.frameGeometry().intersects(colours.frameGeometry()));
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&tools, &escape);
    EXPECT_FALSE(tools.isVisible());
}
