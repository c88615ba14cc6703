#include "ui/controls/IVInspectorViewContainer.h"

#include <QAbstractScrollArea>
#include <QResizeEvent>

#include <algorithm>

IVInspectorViewContainer::IVInspectorViewContainer(QWidget* parent) : IVInspectorBaseView(parent) {
    setupView();
}

void IVInspectorViewContainer::addInspectorView(IVInspectorView* pane, bool expanded) {
    if (!pane || std::find(panes.begin(), panes.end(), pane) != panes.end())
        return;
    pane->setContainer(this);
    panes.emplace_back(pane);
    pane->setParent(this);
    pane->show();
    arrangeViews();
    pane->setExpanded(expanded);
}

void IVInspectorViewContainer::addInspectorView(IVInspectorView* pane, qint64 index, bool expanded) {
    if (pane)
        pane->setIndex(index);
    addInspectorView(pane, expanded);
}

void IVInspectorViewContainer::removeInspectorView(IVInspectorView* pane) {
    const auto found = std::find(panes.begin(), panes.end(), pane);
    if (!pane || found == panes.end())
        return;
    pane->setContainer(nullptr);
    panes.erase(found);
    pane->hide();
    pane->deleteLater();
    arrangeViews();
}

void IVInspectorViewContainer::setFrame(const QRect& frame) {
    setGeometry(frame);
    arrangeViews();
}

void IVInspectorViewContainer::updateBounds() {
    int total = 0;
    for (const auto& pane : panes)
        total += pane->height();
    int width = this->width();
    // Inside a scroll area the viewport's width counts.
    if (QWidget* viewport = parentWidget())
        if (qobject_cast<QAbstractScrollArea*>(viewport->parentWidget()))
            width = viewport->width();
    setGeometry(x(), y(), width, total);
}

void IVInspectorViewContainer::arrangeViews() {
    if (arranging)
        return;
    arranging = true;
    std::erase_if(panes, [](const QPointer<IVInspectorView>& pane) { return pane.isNull(); });
    std::stable_sort(panes.begin(), panes.end(),
                     [](const auto& left, const auto& right) { return left->index() < right->index(); });
    updateBounds();
    const int width = this->width();
    int y = 0;
    const IVInspectorView* previous = nullptr;
    for (const auto& pane : panes) {
        if (previous && !previous->expanded())
            y -= 1;
        pane->setFrame(QRect(0, y, width, pane->height()));
        y += pane->height();
        previous = pane;
    }
    arranging = false;
}

void IVInspectorViewContainer::resizeEvent(QResizeEvent* event) {
    if (event->size().width() != event->oldSize().width())
        arrangeViews();
}
