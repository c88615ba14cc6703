#pragma once

#include <QColor>
#include <QLabel>
#include <QPointer>
#include <QToolButton>
#include <QWidget>

class IVInspectorViewContainer;
class IVInspectorViewHeader;

// Titled panes stacked one under another, each collapsing to its header bar or showing its body, like the
// sections of an inspector. Geometry is set by hand, top-down; the container keeps its panes in index order.

// The family's base: the set-up hook runs once the widget exists.
class IVInspectorBaseView : public QWidget {
    Q_OBJECT
public:
    explicit IVInspectorBaseView(QWidget* parent = nullptr) : QWidget(parent) {}
    virtual void setupView() {}
};

class IVInspectorViewHeaderDelegate {
public:
    virtual ~IVInspectorViewHeaderDelegate() = default;
    virtual void headerClicked(IVInspectorViewHeader& header) = 0;
};

// The bar at the top of a pane: a disclosure triangle and the pane's name over a light gradient. Always made
// 222 x 20; a click anywhere on it, or on the triangle, goes to the delegate.
class IVInspectorViewHeader : public IVInspectorBaseView {
    Q_OBJECT
public:
    static constexpr int kWidth = 222;
    static constexpr int kHeight = 20;

    explicit IVInspectorViewHeader(QWidget* parent = nullptr);
    void setupView() override;

    // 1 open, 0 closed.
    int state() const { return disclosure->isChecked() ? 1 : 0; }
    void setState(int value) { disclosure->setChecked(value != 0); }
    QString title() const { return nameField->text(); }
    void setTitle(const QString& value) { nameField->setText(value); }
    IVInspectorViewHeaderDelegate* delegate() const { return headerDelegate; }
    void setDelegate(IVInspectorViewHeaderDelegate* value) { headerDelegate = value; }
    QToolButton* disclosureTriangle() const { return disclosure; }
    QColor dashColor() const { return dash; }
    void setDashColor(const QColor& colour) { dash = colour; }
    QColor gradientStartColor() const { return gradientStart; }
    void setGradientStartColor(const QColor& colour) { gradientStart = colour; }
    QColor gradientEndColor() const { return gradientEnd; }
    void setGradientEndColor(const QColor& colour) { gradientEnd = colour; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void disclosureClicked();

    IVInspectorViewHeaderDelegate* headerDelegate = nullptr;
    QToolButton* disclosure = nullptr;
    QLabel* nameField = nullptr;
    QColor dash, gradientStart, gradientEnd;
};

// One pane: its header and, while expanded, its body directly under the header. Made expanded without a body
// (as high as the header); setting a body toggles it.
class IVInspectorView : public IVInspectorBaseView, public IVInspectorViewHeaderDelegate {
    Q_OBJECT
public:
    explicit IVInspectorView(QWidget* parent = nullptr);
    void setupView() override;

    QString name() const { return headerView->title(); }
    void setName(const QString& value) { headerView->setTitle(value); }
    QWidget* body() const { return bodyView; }
    // The pane takes the body (the old one is deleted), places it under the header and toggles.
    void setBody(QWidget* view);
    bool expanded() const { return isExpanded; }
    void setExpanded(bool value);
    qint64 index() const { return sortIndex; }
    void setIndex(qint64 value) { sortIndex = value; }
    IVInspectorViewContainer* container() const { return holder; }
    void setContainer(IVInspectorViewContainer* value) { holder = value; }
    IVInspectorViewHeader* header() const { return headerView; }
    // Sets the geometry; the header and body follow the width.
    void setFrame(const QRect& frame);
    QString description() const;

    void headerClicked(IVInspectorViewHeader& header) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool isExpanded = false;
    qint64 sortIndex = 0;
    QPointer<QWidget> bodyView;
    IVInspectorViewHeader* headerView = nullptr;
    IVInspectorViewContainer* holder = nullptr; // not owned: the container owns the pane
};
