#include "ui/editing/ChoiceListViewController.h"

#include <QVBoxLayout>

ChoiceListViewController::ChoiceListViewController(const QSize& listSize, QWidget* parent)
    : QWidget(parent), list(new RLListView(this)), buttons(new QHBoxLayout) {
    list->setObjectName("listView");
    list->setFixedSize(listSize);
    auto* column = new QVBoxLayout(this); // the view owns its layouts
    column->setContentsMargins(8, 8, 8, 8);
    column->addWidget(list);
    column->addLayout(buttons);
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
