#include "ui/controls/IVInspectorView.h"

#include "ui/controls/IVInspectorViewContainer.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

namespace {

void drawTopAndBottomEdges(QPainter& painter, const QRectF& bounds, const QColor& colour) {
    painter.setPen(QPen(colour, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(bounds.adjusted(-1.0, 0.5, 1.0, -0.5));
}

} // namespace

// ---- header

IVInspectorViewHeader::IVInspectorViewHeader(QWidget* parent) : IVInspectorBaseView(parent) {
    setupView();
}

void IVInspectorViewHeader::setupView() {
    resize(kWidth, kHeight); // whatever the frame asked for
    dash = QColor::fromRgbF(0.502f, 0.502f, 0.502f);
    gradientStart = QColor::fromRgbF(0.922f, 0.925f, 0.976f);
    gradientEnd = QColor::fromRgbF(0.741f, 0.749f, 0.831f);
    disclosure = new QToolButton(this);
    disclosure->setObjectName("disclosureTriangle");
    disclosure->setGeometry(5, 4, 13, 13);
    disclosure->setCheckable(true);
    disclosure->setAutoRaise(true);
    disclosure->setArrowType(Qt::RightArrow);
    disclosure->setFocusPolicy(Qt::NoFocus);
    disclosure->setStyleSheet(QStringLiteral("QToolButton { border: none; color: #383a3b; }"));
    connect(disclosure, &QToolButton::toggled, this,
            [this](bool open) { disclosure->setArrowType(open ? Qt::DownArrow : Qt::RightArrow); });
    connect(disclosure, &QToolButton::clicked, this, &IVInspectorViewHeader::disclosureClicked);
    nameField = new QLabel(this);
    nameField->setObjectName("nameField");
    nameField->setGeometry(20, 3, width() - 8, 15);
    QFont bold = nameField->font();
    bold.setBold(true);
    bold.setPixelSize(12);
    nameField->setFont(bold);
    QPalette palette = nameField->palette();
    palette.setColor(QPalette::WindowText, QColor::fromRgbF(0.22f, 0.224f, 0.231f));
    nameField->setPalette(palette);
    nameField->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void IVInspectorViewHeader::disclosureClicked() {
    if (headerDelegate)
        headerDelegate->headerClicked(*this);
}

void IVInspectorViewHeader::mouseReleaseEvent(QMouseEvent* event) {
    if (rect().contains(event->position().toPoint()))
        disclosureClicked();
}

void IVInspectorViewHeader::resizeEvent(QResizeEvent*) {
    nameField->resize(width() - 8 - nameField->x(), nameField->height());
}

void IVInspectorViewHeader::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0.0, gradientStart);
    gradient.setColorAt(1.0, gradientEnd);
    painter.fillRect(rect(), gradient);
    drawTopAndBottomEdges(painter, rect(), dash);
}

// ---- pane

IVInspectorView::IVInspectorView(QWidget* parent) : IVInspectorBaseView(parent) {
    setupView();
}

void IVInspectorView::setupView() {
    headerView = new IVInspectorViewHeader(this);
    headerView->setDelegate(this);
    resize(headerView->width(), headerView->height());
    setExpanded(true);
}

void IVInspectorView::setBody(QWidget* view) {
    delete bodyView.data();
    bodyView = view;
    if (view) {
        // Directly under the header, so the expanded pane is header and body high.
        view->setParent(this);
        view->setGeometry(0, headerView->height(), view->width(), view->height());
    }
    setExpanded(!isExpanded);
}

void IVInspectorView::setExpanded(bool value) {
    if (value == isExpanded)
        return;
    isExpanded = value;
    if (value) {
        const int bodyWidth = bodyView ? bodyView->width() : width();
        const int bodyHeight = bodyView ? bodyView->height() : 0;
        const QRect frame(pos(), QSize(bodyWidth, headerView->height() + bodyHeight));
        if (bodyView)
            bodyView->show();
        headerView->setState(1);
        if (holder) {
            holder->arrangeViews();
            setFrame(frame);
            holder->arrangeViews();
        } else {
            setFrame(frame);
        }
    } else {
        if (bodyView)
            bodyView->hide();
        headerView->setState(0);
        setFrame(QRect(pos(), headerView->size()));
        if (holder)
            holder->arrangeViews();
    }
    update();
}

void IVInspectorView::setFrame(const QRect& frame) {
    setGeometry(frame);
    headerView->resize(frame.width(), headerView->height());
    if (bodyView)
        bodyView->setGeometry(bodyView->x(), bodyView->y(), frame.width(), bodyView->height());
}

void IVInspectorView::resizeEvent(QResizeEvent*) {
    headerView->resize(width(), headerView->height());
    if (bodyView)
        bodyView->resize(width(), bodyView->height());
}

QString IVInspectorView::description() const {
    return QStringLiteral("<IVInspectorView name: %1, expanded: %2>")
        .arg(name(), isExpanded ? QStringLiteral("YES") : QStringLiteral("NO"));
}

void IVInspectorView::headerClicked(IVInspectorViewHeader&) {
    setExpanded(!isExpanded);
}

void IVInspectorView::paintEvent(QPaintEvent*) {
    if (!isExpanded)
        return;
    QPainter painter(this);
    drawTopAndBottomEdges(painter, rect(), headerView->dashColor());
}
