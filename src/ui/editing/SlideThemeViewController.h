#pragma once

#include "ui/editing/ChoiceListViewController.h"
#include "ui/editing/ProjectSource.h"

#include <QDialog>
#include <QPushButton>

#include <functional>
#include <memory>

class ControllerDialogs;

// The theme list: one row per built-in theme of the open project (icon, name, description), the current
// theme selected. Set (or a double click) posts "NOTIFY_THEME_ITEM_SELECTED" with the theme; Customize
// does the same and then opens the blank-image window for a theme background.
class SlideThemeViewController : public ChoiceListViewController {
    Q_OBJECT
public:
    static constexpr double kRowHeight = 80.0;
    // The blank-image window in its theme-background mode; null while there is none.
    using BlankImageWindowMaker = std::function<std::unique_ptr<QDialog>()>;

    explicit SlideThemeViewController(ProjectSource project, QWidget* parent = nullptr);

    QPushButton* setButton() const { return set; }
    QPushButton* customizeButton() const { return customize; }
    QDialog* blankWnd() const { return blankWindow.get(); }
    void setBlankImageWindowMaker(BlankImageWindowMaker maker) { makeBlankWindow = std::move(maker); }
    void setDialogs(ControllerDialogs* value) { dialogs = value; }

    // RLListViewDelegate
    std::size_t numberOfRowsInListView(RLListView& list) override;
    double heightOfRow(RLListView&, std::size_t) override { return kRowHeight; }
    RLListViewCell* cellForRow(RLListView& list, std::size_t row) override;
    void rowDoubleClicked(RLListView& list, std::size_t row) override;

    void SetThemeButtonClicked();
    void CustomizeThemeButtonClicked();
    // The rows and the selection again, from the project open now.
    void reloadForOpenProject() { awakeFromNib(); }
    // Selects the project's current theme alone, wherever the choice was made; none without one.
    void selectCurrentTheme();

private:
    void awakeFromNib();
    void post(std::size_t row) const;
    QVariantList themes() const;

    ProjectSource projectSource;
    QPushButton* set;
    QPushButton* customize;
    BlankImageWindowMaker makeBlankWindow;
    ControllerDialogs* dialogs = nullptr;
    std::unique_ptr<QDialog> blankWindow;
};
