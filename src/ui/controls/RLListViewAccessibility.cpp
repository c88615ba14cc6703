// What assistive tools see of a list view: a list whose children are the cells in sight, each a row (or
// what its subclass says) that knows whether it is selected and can be pressed, as a click that extends
// the selection.
#include "ui/controls/RLListView.h"
#include "ui/controls/RLListViewCell.h"

#include <QAccessibleWidget>

namespace {

class ListAccessible : public QAccessibleWidget {
public:
    explicit ListAccessible(RLListView* list) : QAccessibleWidget(list, QAccessible::List) {}

    int childCount() const override { return int(list()->visibleCells().size()); }
    QAccessibleInterface* child(int index) const override {
        const auto cells = list()->visibleCells();
        if (index < 0 || std::size_t(index) >= cells.size())
            return nullptr;
        return QAccessible::queryAccessibleInterface(cells[std::size_t(index)]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const auto cells = list()->visibleCells();
        for (std::size_t i = 0; i < cells.size(); ++i)
            if (child && child->object() == cells[i])
                return int(i);
        return -1;
    }

private:
    RLListView* list() const { return static_cast<RLListView*>(widget()); }
};

class CellAccessible : public QAccessibleWidget {
public:
    explicit CellAccessible(RLListViewCell* cell) : QAccessibleWidget(cell, cell->accessibleRole()) {}

    QAccessibleInterface* parent() const override {
        return cell()->listView() ? QAccessible::queryAccessibleInterface(cell()->listView())
                                  : QAccessibleWidget::parent();
    }
    QString text(QAccessible::Text kind) const override {
        if ((kind == QAccessible::Name || kind == QAccessible::Description) &&
            !cell()->accessibleTitle().isEmpty())
            return cell()->accessibleTitle();
        return QAccessibleWidget::text(kind);
    }
    QAccessible::State state() const override {
        QAccessible::State now = QAccessibleWidget::state();
        now.selectable = true;
        now.selected = cell()->isSelected();
        return now;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction() && cell()->listView())
            cell()->listView()->handleMouseDown(nullptr, cell());
    }

private:
    RLListViewCell* cell() const { return static_cast<RLListViewCell*>(widget()); }
};

// Qt owns what the factory makes.
QAccessibleInterface* listViewAccessibleFactory(const QString&, QObject* object) {
    if (auto* list = qobject_cast<RLListView*>(object))
        return new ListAccessible(list);
    if (auto* cell = qobject_cast<RLListViewCell*>(object))
        return new CellAccessible(cell);
    return nullptr;
}

} // namespace

void installListViewAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(listViewAccessibleFactory);
        return true;
    }();
    static_cast<void>(installed);
}
