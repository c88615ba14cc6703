// The document window's layout: the side bar switching the side panel, full screen and size changes,
// closing, the media browser's folder listing, and pictures of the whole window.
#include "support/MainWindowFixture.h"
#include "support/PostedNotifications.h"
#include "support/Screenshot.h"

#include "ui/UiNotifications.h"
#include "ui/controls/AWAttachedWindow.h"
#include "ui/controls/ElidingLabel.h"
#include "ui/controls/IVInspectorViewContainer.h"
#include "ui/controls/SDSideBar.h"
#include "ui/editing/MyListViewCell.h"
#include "ui/editing/SlideThemeViewController.h"
#include "ui/editing/SlideshowOptionsViewController.h"
#include "ui/main/ImageBrowserObject.h"
#include "ui/main/MediaBrowserView.h"
#include "ui/main/SlideshowWindowControllerObj.h"

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QSplitter>
#include <QTest>

using test_support::PostedNotifications;
using Kind = MediaItemModel::Kind;

class WindowLayoutTest : public MainWindowTest {
protected:
    ImageBrowserObject& browser() const { return *controller->outlets().mediaBrowserObj; }
    SlideshowWindowControllerObj& layout() const { return *controller->outlets().windowController; }
    SDSideBar& sideBar() const { return *controller->outlets().sideBarDefault; }
    bool browserPlaced() const {
        return controller->outlets().rightPanelView->layout()->indexOf(
                   controller->outlets().mediaBrowserView) >= 0;
    }
    void takeBrowserOut() const {
        controller->outlets().rightPanelView->layout()->removeWidget(controller->outlets().mediaBrowserView);
    }
    // What a widget itself draws, on white.
    static QImage drawnOnWhite(QWidget& widget) {
        QImage picture(widget.size(), QImage::Format_RGB32);
        picture.fill(Qt::white);
        widget.render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
        return picture;
    }
    // What a plain label like the given one (font, colours, alignment, size) draws with the text given.
    static QImage drawnAsPlainLabel(const QLabel& like, const QString& text) {
        QLabel plain(text);
        plain.setFont(like.font());
        plain.setPalette(like.palette());
        plain.setForegroundRole(like.foregroundRole());
        plain.setAlignment(like.alignment());
        plain.resize(like.size());
        return drawnOnWhite(plain);
    }
    // The theme list's rows the side panel shows, once the side bar has switched to it.
    std::vector<const ThemeListViewCell*> shownThemeRows() const {
        sideBar().cellForItem(3)->click();
        test_support::spinFor(20);
        std::vector<const ThemeListViewCell*> rows;
        for (const ThemeListViewCell* cell :
             browser().themeViewController()->findChildren<ThemeListViewCell*>())
            if (cell->isVisible())
                rows.push_back(cell);
        return rows;
    }
    // Pictures of distinct colours in the user's Pictures folder.
    void writePictures(int count) const {
        QDir().mkpath(home + "/Pictures");
        for (int i = 0; i < count; ++i) {
            QImage picture(320, 240, QImage::Format_RGB32);
            picture.fill(QColor::fromHsv(i * 360 / count, 200, 230));
            picture.save(home + QStringLiteral("/Pictures/photo%1.jpg").arg(i + 1, 2, 10, QChar('0')));
        }
    }
};

TEST_F(WindowLayoutTest, TheSideBarSwitchesTheSidePanelAndTheOptionsAreRefilledEachTime) {
    makeController(true);
    ASSERT_EQ(sideBar().buttonCount(), 5);
    EXPECT_EQ(sideBar().selectedIndex(), 0);
    EXPECT_EQ(browser().shownView(), browser().photoNodeViewController());
    QWidget* options = browser().optionsViewController();
    const std::pair<unsigned, QWidget*> cases[] = {
        {1, browser().videoNodeViewController()},
        {2, browser().musicNodeViewController()},
        {3, browser().themeViewController()},
        {0, browser().photoNodeViewController()},
        {4, options},
        {2, browser().musicNodeViewController()},
        {5, options},
        {6, options}, // nothing there: no change
    };
    for (const auto& [index, view] : cases) {
        layout().sideBarDidSelectButton(sideBar(), index);
        EXPECT_EQ(browser().shownView(), view) << index;
        EXPECT_TRUE(view->isVisibleTo(controller->outlets().mediaBrowserView)) << index;
    }
    project->setFltPhotoDuration(6.5f);
    sideBar().cellForItem(4)->click();
    EXPECT_EQ(browser().optionsViewController()->slideshowTextField()->text(), "6.5 sec");
    EXPECT_EQ(browser().optionsViewController()->inspectorContainer()->inspectorViews().size(), 2u);
}

TEST_F(WindowLayoutTest, ResizesPostTheSizeButFullScreenLeavesTheViewsWhereTheyAre) {
    makeController(true);
    window->show();
    PostedNotifications sized(kNotifyWindowSizeChanged);
    takeBrowserOut();
    window->resize(1100, 720);
    EXPECT_TRUE(browserPlaced());
    const std::size_t windowed = sized.list.size();
    EXPECT_GE(windowed, 1u);

    layout().toggleFullScreenClicked();
    EXPECT_TRUE(layout().bFullScreen());
    EXPECT_GT(sized.list.size(), windowed);
    takeBrowserOut();
    const std::size_t entered = sized.list.size();
    window->resize(1000, 700);
    EXPECT_FALSE(browserPlaced());
    EXPECT_GT(sized.list.size(), entered);

    layout().toggleFullScreenClicked();
    EXPECT_FALSE(layout().bFullScreen());
    window->resize(1050, 700);
    EXPECT_TRUE(browserPlaced());
}

// The side panel's theme list shows a name too long for its row with an ellipsis at its end, as a label
// showing that shortened name would, and a short name whole; the whole name stays the row's title.
TEST_F(WindowLayoutTest, ThemeNamesTooLongForTheSidePanelEndInAnEllipsis) {
    makeController(true);
    window->show();
    int shortened = 0;
    for (const ThemeListViewCell* cell : shownThemeRows()) {
        QLabel& title = *cell->titleLabel();
        const QString shown =
            title.fontMetrics().elidedText(title.text(), Qt::ElideRight, title.contentsRect().width());
        shortened += shown != title.text();
        EXPECT_EQ(drawnOnWhite(title), drawnAsPlainLabel(title, shown)) << qPrintable(title.text());
    }
    EXPECT_GT(shortened, 0) << "no theme's name is too long for the panel";
}

// With the side panel made narrow, a theme's description shows as many whole lines as its row holds, the last
// one ending in an ellipsis when the rest does not fit: no line is drawn cut off at the row's edge.
TEST_F(WindowLayoutTest, ThemeDescriptionsTooLongForANarrowSidePanelEndInAnEllipsisOnTheirLastWholeLine) {
    makeController(true);
    window->resize(1200, 800);
    window->show();
    QSplitter& split = *controller->outlets().splitView;
    split.setSizes({2000, 1});
    int shortened = 0;
    for (const ThemeListViewCell* cell : shownThemeRows()) {
        QLabel& description = *cell->detailedText();
        const QFontMetrics metrics = description.fontMetrics();
        const int wholeLines = description.contentsRect().height() / metrics.lineSpacing();
        // Ink below the last whole line is a line cut off.
        const QImage drawn = drawnOnWhite(description);
        for (int y = wholeLines * metrics.lineSpacing(); y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x)
                ASSERT_GT(qGray(drawn.pixel(x, y)), 200)
                    << "a line is cut off at y " << y << " of " << qPrintable(description.text());
        const auto* label = dynamic_cast<ElidingLabel*>(&description);
        ASSERT_NE(label, nullptr);
        const QString shown = label->shownText();
        const QStringList lines = shown.split('\n');
        EXPECT_LE(lines.size(), std::max(1, wholeLines));
        for (const QString& line : lines)
            EXPECT_LE(metrics.horizontalAdvance(line), description.contentsRect().width())
                << qPrintable(line);
        QString kept = QStringList(lines).join(' ');
        if (kept.endsWith(QChar(0x2026))) {
            ++shortened;
            kept.chop(1);
        }
        EXPECT_TRUE(description.text().simplified().startsWith(kept.trimmed())) << qPrintable(shown);
        EXPECT_EQ(drawn, drawnAsPlainLabel(description, shown)) << qPrintable(shown);
    }
    EXPECT_GT(shortened, 0) << "no theme's description is too long for the panel";
}

// The key a person presses for it: F11 fills the screen, and F11 again gives the window back.
TEST_F(WindowLayoutTest, F11TogglesFullScreen) {
    makeController(true);
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    for (const bool fullScreen : {true, false}) {
        QTest::keyClick(window.get(), Qt::Key_F11);
        EXPECT_EQ(window->isFullScreen(), fullScreen);
        EXPECT_EQ(layout().bFullScreen(), fullScreen);
    }
}

TEST_F(WindowLayoutTest, ClosingTheWindowEndsTheApplication) {
    makeController(true);
    int terminated = 0;
    layout().setTerminateAction([&] { ++terminated; });
    window->show();
    window->close();
    EXPECT_EQ(terminated, 1);
}

TEST_F(WindowLayoutTest, TheOptionsWindowReplacesAnEarlierOne) {
    makeController(true);
    controller->outlets().optionsMenuItem->trigger();
    QPointer<QDialog> first = controller->optionsWnd();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());
    controller->ShowApplicationOptions();
    EXPECT_TRUE(first.isNull());
    ASSERT_TRUE(controller->optionsWnd());
    EXPECT_EQ(controller->optionsWnd()->objectName(), "SlideshowOptions");
}

TEST_F(WindowLayoutTest, TheMediaListingTakesEachKindsFilesOfTheFolderOnly) {
    const QString folder = home + "/scan";
    for (const char* name : {"c.JPG", "a.png", "B.jpeg", "clip.mov", "film.MP4", "song.mp3", "tune.m4a",
                             "notes.txt", ".hidden.jpg", "inner/deep.jpg"})
        model_test::writeFile(folder + "/" + name);
    QDir().mkpath(folder + "/folder.jpg");
    const std::pair<Kind, QStringList> cases[] = {
        {Kind::Images, {"a.png", "B.jpeg", "c.JPG"}},
        {Kind::Movies, {"clip.mov", "film.MP4"}},
        {Kind::Audio, {"song.mp3", "tune.m4a"}},
    };
    for (const auto& [kind, names] : cases) {
        QStringList expected;
        for (const QString& name : names)
            expected << folder + "/" + name;
        EXPECT_EQ(MediaItemModel::listMedia(folder, kind), expected) << int(kind);
    }
    EXPECT_TRUE(MediaItemModel::listMedia(home + "/missing", Kind::Images).isEmpty());
}

TEST_F(WindowLayoutTest, PicturesOfTheWholeWindowWithTheSideBar) {
    writePictures(12);
    if (!makeWindowWithPreview())
        GTEST_SKIP() << "no OpenGL here";
    scheduler->advance(2.5);
    useColourSlides({QColor(220, 40, 40), QColor(40, 200, 60), QColor(50, 70, 230), QColor(230, 200, 40)});
    MediaItemModel* pictures = browser().photoNodeViewController()->itemModel();
    EXPECT_EQ(pictures->folder(), QDir(home + "/Pictures").absolutePath());
    ASSERT_EQ(pictures->rowCount(), 12);
    scheduler->advance(0.5); // the notch's slide
    ASSERT_TRUE(model_test::spinUntil(
        [&] { return pictures->isIdle() && !pictures->thumbnail(pictures->files().first()).isNull(); }));
    const QImage whole = screenshot::save(*window, "main-window-side-bar-images");
    ASSERT_FALSE(whole.isNull());
    // The first thumbnail shows the first picture's colour.
    const QImage thumbnail = pictures->thumbnail(pictures->files().first());
    EXPECT_EQ(thumbnail.size(), QSize(96, 72));
    // The notch sits at the bar's right edge beside the chosen entry.
    QLabel* notch = sideBar().selectorImageView();
    const QRect chosen = sideBar().cellForItem(0)->geometry();
    EXPECT_EQ(notch->geometry().right(), chosen.right());
    EXPECT_TRUE(chosen.contains(notch->geometry().center()));

    sideBar().cellForItem(4)->click();
    browser().optionsViewController()->buttonInspector()->header()->disclosureTriangle()->click();
    scheduler->advance(0.5);
    EXPECT_FALSE(screenshot::save(*window, "main-window-side-bar-options").isNull());
}

TEST_F(WindowLayoutTest, AnotherOpenedProjectRefillsTheThemeListAndTheShownOptions) {
    makeController(true);
    RLListView& themes = *browser().themeViewController()->listView();
    std::vector<std::size_t> selected;
    for (int theme : {1, 4}) {
        project->themeManger()->setCurrentThemeID(theme);
        controller->refreshUIForOpenProject();
        selected.push_back(themes.selectedRow());
    }
    EXPECT_NE(selected[0], selected[1]);
    layout().sideBarDidSelectButton(sideBar(), 4);
    project->setFltPhotoDuration(7.5f);
    controller->refreshUIForOpenProject();
    EXPECT_EQ(browser().optionsViewController()->slideshowTextField()->text(), "7.5 sec");
}

// A theme set in the Theme button's list is the one the side panel's list marks, and the slides wear it.
TEST_F(WindowLayoutTest, TheSidePanelsThemeListMarksTheThemeSetInTheThemeButtonsList) {
    makeController(true);
    useColourSlides({Qt::red, Qt::green});
    layout().sideBarDidSelectButton(sideBar(), 3);
    RLListView& sideList = *browser().themeViewController()->listView();
    const QVariantList themes = project->themeManger()->themeArray();
    for (const std::size_t row : {4u, 1u}) {
        controller->outlets().themeButton->click();
        ASSERT_TRUE(controller->attachedWindowTheme());
        auto* callOut = controller->attachedWindowTheme()->findChild<SlideThemeViewController*>();
        ASSERT_TRUE(callOut);
        callOut->listView()->setSelectedRow(row);
        callOut->setButton()->click();
        const int chosen = themes[qsizetype(row)].toMap().value("ThemeID").toInt();
        EXPECT_EQ(project->themeManger()->currentThemeID(), chosen);
        EXPECT_EQ(sideList.selectedRows(), RLIndexSet{row}) << "the side panel marks the project's theme";
    }
}

// At the smallest size the window lets itself be made, every side-bar entry and every button of its bars
// lies in sight and takes its click, and the theme list with its descriptions fits its pane.
TEST_F(WindowLayoutTest, AtItsSmallestEveryControlIsInSightAndTheThemeListFitsItsPane) {
    makeController(true);
    window->show();
    window->resize(200, 200); // the window's minimum holds it larger
    test_support::spinFor(50);
    const QRect inside = window->rect();
    EXPECT_GE(window->width(), window->minimumSizeHint().width());
    auto inSight = [&](const QWidget& widget) {
        const QRect at(widget.mapTo(window.get(), QPoint(0, 0)), widget.size());
        return widget.isVisible() && inside.contains(at) &&
               widget.visibleRegion().boundingRect() == widget.rect();
    };
    for (int row = 0; row < sideBar().buttonCount(); ++row)
        EXPECT_TRUE(inSight(*sideBar().cellForItem(row))) << "side-bar entry " << row;
    for (QWidget* bar :
         {controller->outlets().toolbarView.data(), controller->outlets().timelineToolbarView.data()})
        for (QAbstractButton* button : bar->findChildren<QAbstractButton*>())
            if (!button->isHidden()) { // one the window hides on purpose is no control to reach
                EXPECT_TRUE(inSight(*button)) << button->objectName().toStdString();
            }

    sideBar().cellForItem(3)->click();
    test_support::spinFor(50);
    screenshot::save(*window, "main-window-smallest-themes");
    SlideThemeViewController* themes = browser().themeViewController();
    ASSERT_TRUE(themes->isVisible());
    const QRect pane(controller->outlets().rightPanelView->mapTo(window.get(), QPoint(0, 0)),
                     controller->outlets().rightPanelView->size());
    const QRect list(themes->listView()->mapTo(window.get(), QPoint(0, 0)), themes->listView()->size());
    EXPECT_TRUE(pane.contains(list)) << "the list within its pane";
    sideBar().cellForItem(4)->click();
    test_support::spinFor(20);
    EXPECT_TRUE(browser().optionsViewController()->isVisible()) << "the options are reachable";
}
