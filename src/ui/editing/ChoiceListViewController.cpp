#include "ui/editing/ChoiceListViewController.h"

#include <QVBoxLayout>

namespace {

// The smallest a list gets in a narrow pane: still a row's icon and the start of its text.
constexpr QSize kSmallestList{200, 150};

} // namespace

ChoiceListViewController::ChoiceListViewController(const QSize& listSize, QWidget* parent)
    : QWidget(parent), list(new RLListView(this)), buttons(new QHBoxLayout), preferredListSize(listSize) {
    list->setObjectName("listView");
    // As large as asked where there is room (a call-out), as wide as its pane where there is less.
    list->setMinimumSize(kSmallestList.boundedTo(listSize));
    list->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* column = new QVBoxLayout(this); // the view owns its layouts
    column->setContentsMargins(8, 8, 8, 8);
    column->addWidget(list);
    column->addLayout(buttons);
}

QSize ChoiceListViewController::sizeHint() const {
    const QMargins margins = layout()->contentsMargins();
    return QSize(preferredListSize.width() + margins.left() + margins.right(),
                 preferredListSize.height() + margins.top() + margins.bottom() + layout()->spacing() +
                     buttons->sizeHint().height());
}

ChoiceListViewController::~ChoiceListViewController() {
    list->setDelegate(nullptr);
}

void ChoiceListViewController::reloadChoices() {
    list->setDelegate(this);
    list->setCellSpacing(2.0);
    list->setAllowsEmptySelection(true);
    list->setAllowsMultipleSelection(true);
    list->reloadData();
}
