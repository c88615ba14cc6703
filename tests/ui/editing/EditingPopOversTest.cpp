// The editing pop-overs on their own: the transition picker, the theme list and the duration pop-over.
#include "support/MainWindowFixture.h"
#include "support/PostedNotifications.h"

#include "model/SlideshowProject.h"
#include "render/transitions/TransitionManager.h"
#include "ui/UiNotifications.h"
#include "ui/controls/RLListViewCell.h"
#include "ui/editing/MyListViewCell.h"
#include "ui/editing/PhotoDurationViewController.h"
#include "ui/editing/SlideThemeViewController.h"
#include "ui/editing/TimeLineCellViewController.h"
#include "ui/editing/TransitionImageView.h"
#include "ui/editing/TransitionSelectViewController.h"

#include <QMouseEvent>

using Posts = test_support::PostedNotifications;

namespace {

QString nameOf(const QVariantMap& choice) {
    return choice.value("name").toString();
}

} // namespace

class EditingPopOversTest : public MainWindowTest {};

TEST_F(EditingPopOversTest, ThePickerOffersFiftySixTransitionsAndPostsThePickedOne) {
    TransitionSelectViewController picker(projectSource());
    picker.show();
    const QList<QVariantMap>& rows = picker.allTransition();
    ASSERT_EQ(rows.size(), 56);
    QStringList firstNames;
    for (int i = 0; i < 6; ++i)
        firstNames << nameOf(rows[i]);
    EXPECT_EQ(firstNames, QStringList({"Door Open", "Flip Over", "Exchange", "Move in/out", "Color Blend",
                                       "Alpha Blend"}));
    EXPECT_EQ(rows[6], TransitionManager::transitionInfo("Mask", 0));
    EXPECT_EQ(nameOf(rows[6]), "mask 1");
    EXPECT_EQ(rows[6].value("image_name"), "icon48-01");
    EXPECT_EQ(nameOf(rows[54]), "mask 49");
    EXPECT_EQ(rows[54].value("image_name"), "icon48-49");
    EXPECT_EQ(rows[54].value("index"), 48);
    const QVariantMap random{
        {"name", "Random"}, {"image_name", "dice"}, {"index", 0}, {"category", "Random"}};
    EXPECT_EQ(rows[55], random);
    EXPECT_EQ(picker.arraySlicesBox().size(), 2) << "built, not listed";

    auto* first = static_cast<MyListViewCell*>(picker.listView()->cellForRowAtIndex(0));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->titleLabel()->text(), "Door Open");
    EXPECT_FALSE(first->iconView()->pixmap().isNull());
    EXPECT_EQ(first->reusableIdentifier(), "MyListViewCell_0") << "a cell is reused only for its row";
    EXPECT_EQ(picker.listView()->rectOfRow(1).y(), 62.0) << "60 high, 2 apart";

    Posts picked(kNotifyTransitionItemSelected);
    picker.setButton()->click();
    picker.listView()->setSelectedRows({3, 4});
    picker.setButton()->click();
    EXPECT_TRUE(picked.list.empty()) << "Set without one selected row posts nothing";
    picker.listView()->setSelectedRow(55);
    picker.setButton()->click();
    picker.rowDoubleClicked(*picker.listView(), 6);
    ASSERT_EQ(picked.list.size(), 2u);
    EXPECT_EQ(picked.list[0].object.toMap(), random);
    EXPECT_EQ(nameOf(picked.list[1].object.toMap()), "mask 1");
}

TEST_F(EditingPopOversTest, ACellsTransitionIconOpensOnePickerAboveItUntilItLosesTheFocus) {
    QWidget window;
    TimeLineCellViewController cell(projectSource());
    cell.view()->setParent(&window);
    cell.setNIndexTag(2);
    window.show();
    TransitionImageView& icon = *cell.transitionIconView();
    Posts clicks(kNotifyTimelineCellClicked);
    for (int i = 0; i < 2; ++i) {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), icon.mapToGlobal(QPointF(5, 5)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&icon, &press);
    }
    ASSERT_EQ(clicks.list.size(), 2u);
    EXPECT_EQ(clicks.list[1].object.toInt(), 2) << "the cell's slide becomes current";
    QPointer<AWAttachedWindow> callOut = icon.attachedWindow();
    ASSERT_TRUE(callOut);
    EXPECT_TRUE(qobject_cast<TransitionSelectViewController*>(callOut->view()));
    EXPECT_EQ(window.findChildren<AWAttachedWindow*>().size(), 1) << "one picker for both presses";
    EXPECT_EQ(callOut->side(), AWSideAbove);
    emit callOut->didResignKey();
    EXPECT_FALSE(icon.attachedWindow());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(callOut.isNull()) << "released once its own events are done";
}

TEST_F(EditingPopOversTest, ApplyToAllShowsAndSetsTheProjectsFlag) {
    project->setBApplyTransitionToAll(true);
    TransitionSelectViewController picker(projectSource());
    EXPECT_TRUE(picker.buttonApplyToAll()->isChecked());
    EXPECT_EQ(picker.buttonApplyToAll()->text(), "Apply to All Photos");
    picker.buttonApplyToAll()->click();
    EXPECT_FALSE(project->bApplyTransitionToAll());
}

TEST_F(EditingPopOversTest, TheThemeListShowsEveryThemeWithTheCurrentOneSelected) {
    const QVariantList themes = project->themeManger()->themeArray();
    ASSERT_GT(themes.size(), 3);
    project->themeManger()->setCurrentThemeID(themes[3].toMap().value("ThemeID").toInt());
    SlideThemeViewController list(projectSource());
    list.show();
    EXPECT_EQ(list.listView()->numberOfRows(), std::size_t(themes.size()));
    EXPECT_EQ(list.listView()->rectOfRow(1).y(), 82.0) << "80 high, 2 apart";
    EXPECT_EQ(list.listView()->selectedRows(), RLIndexSet{3});
    auto* first = static_cast<ThemeListViewCell*>(list.listView()->cellForRowAtIndex(0));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->titleLabel()->text(), themes[0].toMap().value("ThemeName").toString());
    EXPECT_EQ(first->detailedText()->text(), themes[0].toMap().value("ThemeDescription").toString());
    EXPECT_FALSE(first->iconView()->pixmap().isNull());

    Posts chosen(kNotifyThemeItemSelected);
    list.listView()->setSelectedRow(1);
    list.CustomizeThemeButtonClicked(); // no blank-image window yet: it only sets the theme
    ASSERT_EQ(chosen.list.size(), 1u);
    EXPECT_EQ(chosen.list[0].object.toMap(), themes[1].toMap());

    project->themeManger()->setCurrentThemeID(9999);
    SlideThemeViewController unmatched(projectSource());
    EXPECT_TRUE(unmatched.listView()->selectedRows().empty());
    unmatched.SetThemeButtonClicked();
    EXPECT_EQ(chosen.list.size(), 1u) << "Set without a selection posts nothing";
}

TEST_F(EditingPopOversTest, DurationsCountWholeFrames) {
    struct Case {
        double seconds;
        int frames;
    };
    for (const Case& c : {Case{3.99, 119}, Case{2.3, 69}, Case{double(2.3f), 69},
                          Case{double(17.0f / 30.0f), 17}, Case{4.0, 120}, Case{0.0, 0}})
        EXPECT_EQ(PhotoDurationViewController::framesForSeconds(c.seconds), c.frames) << c.seconds;
    EXPECT_EQ(PhotoDurationViewController::durationText(119.0f / 30.0f), "4.0s");
}

TEST_F(EditingPopOversTest, TheDurationPopOverAppliesItsWholeFramesOnceWhenItCloses) {
    const auto slides = useColourSlides({Qt::red, Qt::green});
    project->setBIsDirty(false);
    Posts updates(kNotifyUpdateSlideItemDuration);
    {
        PhotoDurationViewController popOver(slides[0], projectSource());
        EXPECT_EQ(popOver.sliderPhotoDuration()->value(), 30);
        EXPECT_EQ(popOver.photoDurationText()->text(), "1.0s");
        EXPECT_EQ(popOver.transitionDurationText()->text(), "0.5s");
        popOver.sliderPhotoDuration()->setValue(PhotoDurationViewController::framesForSeconds(3.99));
        EXPECT_EQ(popOver.photoDurationText()->text(), "4.0s");
        EXPECT_FLOAT_EQ(slides[0]->fSecPhotoDuration(), 1.0f) << "nothing changes before it closes";
        popOver.applyAtClose();
        EXPECT_FLOAT_EQ(slides[0]->fSecPhotoDuration(), 119.0f / 30.0f);
        EXPECT_TRUE(slides[0]->bCustomDurationFlag());
        EXPECT_TRUE(project->bIsDirty());
        popOver.applyAtClose();
    }
    EXPECT_EQ(updates.list.size(), 1u) << "once, whichever roads close it";
    EXPECT_FALSE(slides[1]->bCustomDurationFlag());
}

TEST_F(EditingPopOversTest, ClosingUnchangedKeepsTheProjectCleanAndApplyToAllSparesClipLengths) {
    const auto slides = useColourSlides({Qt::red, Qt::green, Qt::blue});
    slides[2]->setItemType(SlideItem::kItemTypeVideo);
    slides[2]->setFSecPhotoDuration(7.0f);
    project->setBIsDirty(false);
    Posts updates(kNotifyUpdateSlideItemDuration);
    { PhotoDurationViewController unchanged(slides[0], projectSource()); }
    EXPECT_FALSE(project->bIsDirty());
    EXPECT_EQ(updates.list.size(), 1u) << "it still posts";

    {
        PhotoDurationViewController popOver(slides[0], projectSource());
        popOver.sliderPhotoDuration()->setValue(75);
        popOver.sliderTransitionDuration()->setValue(45);
        popOver.btnApplyToAll()->click();
    }
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_FLOAT_EQ(slides[i]->fSecTransitionDuration(), 1.5f) << i;
    EXPECT_FLOAT_EQ(slides[1]->fSecPhotoDuration(), 2.5f);
    EXPECT_FLOAT_EQ(slides[2]->fSecPhotoDuration(), 7.0f) << "a clip keeps its length";
    EXPECT_TRUE(slides[0]->bCustomDurationFlag());
    EXPECT_FALSE(slides[1]->bCustomDurationFlag()) << "only the edited slide is marked";
    EXPECT_TRUE(project->bIsDirty());

    PhotoDurationViewController clip(slides[2], projectSource());
    EXPECT_FALSE(clip.sliderPhotoDuration()->isEnabled());
    EXPECT_FALSE(clip.btnApplyToAll()->isEnabled());
    EXPECT_EQ(clip.photoDurationLabel()->text(), "Video clip duration:");
}
