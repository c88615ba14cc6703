#pragma once

#include "ui/controls/IVInspectorView.h"

#include <QPointer>
#include <vector>

// Holds panes one under another, in index order; a pane after a collapsed one overlaps it by a point so
// that their border lines coincide. The container is as high as its panes together and as wide as the
// scroll area it sits in (else its own width).
class IVInspectorViewContainer : public IVInspectorBaseView {
    Q_OBJECT
public:
    explicit IVInspectorViewContainer(QWidget* parent = nullptr);

    // A pane already held is left alone.
    void addInspectorView(IVInspectorView* pane, bool expanded);
    void addInspectorView(IVInspectorView* pane, qint64 index, bool expanded);
    // The pane is taken out and deleted; one not held is ignored.
    void removeInspectorView(IVInspectorView* pane);
    const std::vector<QPointer<IVInspectorView>>& inspectorViews() const { return panes; }

    void setFrame(const QRect& frame);
    void arrangeViews();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateBounds();

    std::vector<QPointer<IVInspectorView>> panes;
    bool arranging = false;
};
