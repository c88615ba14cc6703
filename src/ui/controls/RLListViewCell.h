#pragma once

#include "ui/controls/RLListView.h"
#include "ui/controls/RLListViewCore.h"

#include <QAccessible>
#include <QPointer>
#include <QString>
#include <QWidget>

// The base of a list view's row views: its reuse identifier, the row it shows and its list. It hands its
// mouse events to the list, answers whether its row is selected and draws the drop mark; subclasses draw
// their content and selection and call drawDropHighlight last.
class RLListViewCell : public QWidget {
    Q_OBJECT
public:
    explicit RLListViewCell(const QString& reusableIdentifier, QWidget* parent = nullptr);

    QString reusableIdentifier() const { return identifier; }
    void setReusableIdentifier(const QString& value) { identifier = value; }
    RLListView* listView() const { return list; }
    void setListView(RLListView* value) { list = value; }
    std::size_t row() const { return shownRow; }
    void setRow(std::size_t value) { shownRow = value; }
    RLListViewDropHighlight dropHighlight() const { return highlight; }
    // Any mark but none turns the list's drop frame on; none turns it off.
    void setDropHighlight(RLListViewDropHighlight value);
    bool isSelected() const;

    // The list hands a queued cell out again: no drop mark of its previous row.
    virtual void prepareForReuse();
    // After each relayout of the cell.
    virtual void layoutSubviews() {}
    // What assistive tools call it: a row of a list.
    virtual QAccessible::Role accessibleRole() const { return QAccessible::ListItem; }
    virtual QString accessibleTitle() const { return QString(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void drawDropHighlight(QPainter& painter);

private:
    QString identifier;
    QPointer<RLListView> list;
    std::size_t shownRow = 0;
    RLListViewDropHighlight highlight = RLDropHighlightNone;
};

// The list's document view, as tall as its rows: clicks on empty space go to the list, and it draws the
// frame that shows the list as a drop target.
class RLListDocumentView : public QWidget {
    Q_OBJECT
public:
    explicit RLListDocumentView(RLListView* list, QWidget* parent = nullptr);

    RLListView* listView() const { return list; }
    RLListViewDropHighlight dropHighlight() const { return highlight; }
    void setDropHighlight(RLListViewDropHighlight value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QPointer<RLListView> list;
    RLListViewDropHighlight highlight = RLDropHighlightNone;
};
