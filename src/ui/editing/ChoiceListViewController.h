#pragma once

#include "ui/controls/RLListView.h"

#include <QHBoxLayout>
#include <QWidget>

// The frame of the transition picker and the theme list: a list of choices, rows 2 points apart, any
// number of them selected or none, with a row of buttons under it. Every row has a cell of its own: the
// reuse identifier "MyListViewCell_<row>" brings a queued cell back to its row only.
class ChoiceListViewController : public QWidget, public RLListViewDelegate {
    Q_OBJECT
public:
    RLListView* listView() const { return list; }
    // The list at the size it was made for, with its buttons.
    QSize sizeHint() const override;

protected:
    ChoiceListViewController(const QSize& listSize, QWidget* parent);
    // The list asks its delegate nothing more once the controller goes.
    ~ChoiceListViewController() override;

    QHBoxLayout* buttonRow() const { return buttons; }
    void reloadChoices();
    template <typename Cell> static Cell* choiceCell(RLListView& list, std::size_t row) {
        const QString identifier = QStringLiteral("MyListViewCell_%1").arg(row);
        if (auto* cell = static_cast<Cell*>(list.dequeueCellWithReusableIdentifier(identifier)))
            return cell;
        return new Cell(identifier, list.documentView()); // the list's document view owns it
    }

private:
    RLListView* list;
    QHBoxLayout* buttons;
    QSize preferredListSize;
};
