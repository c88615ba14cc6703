#pragma once

#include <QObject>
#include <QPointer>

#include <vector>

class QAction;
class QMainWindow;
class QMenu;
class SlideshowMainObject;

// The slide commands' menus in the document window's menu bar: Edit and Slide before Share, the output
// folder in File, the other editions' pages in Help. Each item carries its tag (QAction::data); the
// controller's rule enables the items when their menu opens and after every change of the current slide,
// so that a disabled item's shortcut does nothing either.
class SlideshowMenus : public QObject {
    Q_OBJECT
public:
    SlideshowMenus(QMainWindow& window, SlideshowMainObject& controller);

    // An item by its object name, null when there is none.
    QAction* action(const QString& name) const;
    QMenu* editMenu() const { return edit; }
    QMenu* slideMenu() const { return slide; }
    static int tag(const QAction& item);
    // Applies the controller's rule to every tagged item.
    void validateMenuItems();

private:
    QAction* add(QMenu& menu, const QString& name, const QString& title,
                 void (SlideshowMainObject::*command)(), int tag = 0);
    void buildEditMenu();
    void buildSlideMenu();
    void addToFileAndHelpMenus(QMainWindow& window);
    void transitionMenuItemClicked();

    SlideshowMainObject& controller;
    QPointer<QMenu> edit, slide;
    std::vector<QPointer<QAction>> items;
};
