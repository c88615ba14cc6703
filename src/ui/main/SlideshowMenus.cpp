#include "ui/main/SlideshowMenus.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StringTable.h"
#include "ui/UiNotifications.h"
#include "ui/main/SlideshowMainObject.h"

#include <QMainWindow>
#include <QMenuBar>

namespace {

using Main = SlideshowMainObject;

// The menu bar's menu holding `item`, found through the item's own menu.
QMenu* menuOf(QAction* item) {
    if (!item)
        return nullptr;
    for (QObject* owner : item->associatedObjects())
        if (auto* menu = qobject_cast<QMenu*>(owner))
            return menu;
    return nullptr;
}

} // namespace

SlideshowMenus::SlideshowMenus(QMainWindow& window, SlideshowMainObject& mainObject)
    : controller(mainObject) {
    QMenuBar* bar = window.menuBar();
    edit = new QMenu(tr_("&Edit"), bar);
    edit->setObjectName("editMenu");
    slide = new QMenu(tr_("Sl&ide"), bar);
    slide->setObjectName("slideMenu");
    buildEditMenu();
    buildSlideMenu();
    // Before Share when there is one.
    QAction* before = nullptr;
    for (QAction* entry : bar->actions())
        if (entry->menu() && entry->menu()->objectName() == QLatin1String("m_menuShare1"))
            before = entry;
    bar->insertMenu(before, edit);
    bar->insertMenu(before, slide);
    addToFileAndHelpMenus(window);
    for (QMenu* menu : {edit.data(), slide.data()})
        connect(menu, &QMenu::aboutToShow, this, &SlideshowMenus::validateMenuItems);
    connect(&controller, &SlideshowMainObject::currentSlideChanged, this, &SlideshowMenus::validateMenuItems);
    validateMenuItems();
}

QAction* SlideshowMenus::add(QMenu& menu, const QString& name, const QString& title,
                             void (SlideshowMainObject::*command)(), int itemTag) {
    QAction* item = menu.addAction(title);
    item->setObjectName(name);
    item->setData(itemTag);
    connect(item, &QAction::triggered, &controller, command);
    items.emplace_back(item);
    return item;
}

void SlideshowMenus::buildEditMenu() {
    add(*edit, "deleteSlideMenuItem", tr_("&Delete Slide"), &Main::DeleteCurrentPhoto,
        Main::kMenuTagNeedsSlide)
        ->setShortcut(QKeySequence::Delete);
    add(*edit, "arrangeSlidesMenuItem", tr_("&Arrange Slides..."), &Main::ArrangeSlideOrder);
}

void SlideshowMenus::buildSlideMenu() {
    add(*slide, "addBlankImageMenuItem", tr_("Add &Blank Image..."), &Main::AddBlankImageFromBundle);
    add(*slide, "addWoodPictureMenuItem", tr_("Add &Wood Picture"), &Main::AddBlankImageButtonClicked);
    slide->addSeparator();
    add(*slide, "firstSlideMenuItem", tr_("&First Slide"), &Main::MoveCursorToFirstSlide)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Home));
    add(*slide, "lastSlideMenuItem", tr_("&Last Slide"), &Main::MoveCursorToLastSlide)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_End));
    slide->addSeparator();
    add(*slide, "recordSoundMenuItem", tr_("Record Slide &Sound..."), &Main::showSoundRecoderWnd,
        Main::kMenuTagNeedsSlide + 1);
    QAction* transition = slide->addAction(tr_("&Transition..."));
    transition->setObjectName("transitionMenuItem");
    transition->setData(Main::kMenuTagNeedsSlide + 2);
    connect(transition, &QAction::triggered, this, &SlideshowMenus::transitionMenuItemClicked);
    items.emplace_back(transition);
    slide->addSeparator();
    add(*slide, "addTextMenuItem", tr_("Add Te&xt..."), &Main::menuItemAddTextClicked,
        Main::kMenuTagNeedsPictureSlide)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    add(*slide, "panZoomMenuItem", tr_("&Pan and Zoom..."), &Main::menuItemPanZoomClicked,
        Main::kMenuTagNeedsPictureSlide + 1);
    add(*slide, "adjustColourMenuItem", tr_("Adjust &Colour..."), &Main::AdjustColorMenuItemClicked,
        Main::kMenuTagNeedsPictureSlide + 2);
    add(*slide, "rotateMenuItem", tr_("&Rotate Clockwise"), &Main::RotateImageMenuItemClicked,
        Main::kMenuTagNeedsPictureSlide + 3)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
}

void SlideshowMenus::addToFileAndHelpMenus(QMainWindow& window) {
    const MainWindowOutlets& outlets = controller.outlets();
    if (QMenu* file = menuOf(outlets.quitAppMenuItem)) {
        QAction* reveal = new QAction(tr_("Show Output &Folder"), file);
        reveal->setObjectName("outputFolderMenuItem");
        connect(reveal, &QAction::triggered, &controller, &Main::openOutputFolderMenuItemClicked);
        file->insertAction(outlets.quitAppMenuItem, reveal);
        file->insertSeparator(outlets.quitAppMenuItem);
        items.emplace_back(reveal);
    }
    QMenu* help = menuOf(outlets.aboutAppMenuItem);
    if (!help)
        help = window.menuBar()->addMenu(tr_("&Help"));
    QAction* after = outlets.websiteAppMenuItem ? outlets.websiteAppMenuItem.data() : nullptr;
    const QList<QAction*> helpItems = help->actions();
    const qsizetype at = after ? helpItems.indexOf(after) : -1;
    QAction* before = at >= 0 && at + 1 < helpItems.size() ? helpItems[at + 1] : nullptr;
    const std::pair<const char*, void (Main::*)()> pages[] = {
        {"Vistrelle &Pro Website", &Main::proEditionMenuItemClicked},
        {"Vistrelle &Studio Website", &Main::studioEditionMenuItemClicked}};
    for (const auto& [title, command] : pages) {
        QAction* page = new QAction(tr_(title), help);
        page->setObjectName(command == &Main::proEditionMenuItemClicked ? "proEditionMenuItem"
                                                                        : "studioEditionMenuItem");
        connect(page, &QAction::triggered, &controller, command);
        help->insertAction(before, page);
        items.emplace_back(page);
    }
}

// The transition picker of the current slide, as a click on its transition icon opens it.
void SlideshowMenus::transitionMenuItemClicked() {
    controller.ensureCurrentSlideThumbnailVisible();
    platform::NotificationCenter::defaultCenter().post(kNotifyTimelineCellTransitionClicked,
                                                       controller.nCurrentSlideshowItemIndex());
}

QAction* SlideshowMenus::action(const QString& name) const {
    for (const QPointer<QAction>& item : items)
        if (item && item->objectName() == name)
            return item;
    return nullptr;
}

int SlideshowMenus::tag(const QAction& item) {
    return item.data().toInt();
}

void SlideshowMenus::validateMenuItems() {
    for (const QPointer<QAction>& item : items)
        if (item)
            item->setEnabled(controller.validateMenuItem(tag(*item)));
}
