#include "ui/controls/SDSideBar.h"

#include "ui/controls/BCSideBarButtonCell.h"

#include <QMetaMethod>
#include <QPaintEvent>
#include <QPainter>
#include <QRandomGenerator>

#include <cmath>

namespace {

constexpr double kAnimationStep = 1.0 / 60.0;

} // namespace

SDSideBar::SDSideBar(QWidget* parent) : QWidget(parent), buttons(new QWidget(this)) {
    buttons->setObjectName("matrix");
    buttons->setAutoFillBackground(true);
    setBackgroundColor(background);
    group.setExclusive(true); // radio mode: one button on, never none once one is
    connect(&group, &QButtonGroup::idClicked, this, [this](int) { buttonClicked(); });
    makeCell = [](QWidget* parent) { return new BCSideBarButtonCell(parent); };
    setButtonsHeight(60.0);
}

SDSideBar::~SDSideBar() {
    slide.cancel();
}

QAbstractButton* SDSideBar::addButtonWithTitle(const QString& title, const QIcon& image,
                                               const QIcon& alternateImage) {
    QAbstractButton* cell = makeCell(buttons);
    cell->setCheckable(true);
    cell->setFocusPolicy(Qt::NoFocus);
    cell->setText(title);
    cell->setIcon(image);
    if (auto* sideCell = qobject_cast<BCSideBarButtonCell*>(cell))
        sideCell->setAlternateImage(alternateImage);
    else if (auto* black = qobject_cast<BlackCell*>(cell))
        black->setAlternateImage(alternateImage);
    group.addButton(cell, buttonCount());
    cell->show();
    if (selector)
        selector->raise();
    resizeMatrix();
    updateGeometry();
    return cell;
}

void SDSideBar::setTarget(QObject* target, const QByteArray& action, int index) {
    if (auto* cell = qobject_cast<BCSideBarButtonCell*>(cellForItem(index))) {
        cell->setRealTarget(target);
        cell->setRealAction(action);
    }
}

void SDSideBar::selectButtonAtRow(int row) {
    if (buttonCount() == 0)
        return;
    if (row < 0 || row >= buttonCount())
        row = 0;
    group.button(row)->setChecked(true);
    moveSelectionImage();
}

void SDSideBar::selectNext() {
    const int next = selectedIndex() + 1;
    if (selectedIndex() < 0 || next >= buttonCount())
        return;
    group.button(next)->setChecked(true);
    buttonClicked();
}

void SDSideBar::selectPrev() {
    const int row = selectedIndex();
    if (row < 2)
        return;
    group.button(row - 1)->setChecked(true);
    buttonClicked();
}

int SDSideBar::selectedIndex() const {
    return group.checkedId();
}

QAbstractButton* SDSideBar::cellForItem(int index) const {
    return index < 0 || index >= buttonCount() ? nullptr : group.button(index);
}

int SDSideBar::buttonCount() const {
    return int(group.buttons().size());
}

void SDSideBar::setLayoutMode(unsigned value) {
    mode = value;
    resizeMatrix();
}

void SDSideBar::setButtonsHeight(double height) {
    buttonHeight = height;
    resizeMatrix();
    updateGeometry();
}

QSize SDSideBar::minimumSizeHint() const {
    return QSize(QWidget::minimumSizeHint().width(), int(std::ceil(double(buttonCount()) * buttonHeight)));
}

void SDSideBar::setBackgroundColor(const QColor& colour) {
    background = colour;
    QPalette palette = buttons->palette();
    palette.setColor(QPalette::Window, colour);
    buttons->setPalette(palette);
    update();
}

void SDSideBar::setNoiseAlpha(double alpha) {
    noise = alpha;
    update();
}

double SDSideBar::matrixOriginY(unsigned mode, double barHeight, double matrixHeight, double current) {
    switch (mode) {
    case Top:
        return barHeight - matrixHeight;
    case Centred:
        return (barHeight - matrixHeight) / 2.0;
    case Bottom:
        return 0.0;
    default:
        return current;
    }
}

void SDSideBar::resizeMatrix() {
    const double matrixHeight = buttonCount() * buttonHeight;
    const double bottomUp = height() - buttons->y() - buttons->height();
    const double y = matrixOriginY(mode, height(), matrixHeight, bottomUp);
    // The bar measures upwards; the widget's y runs down from its top edge.
    buttons->setGeometry(0, int(std::lround(height() - y - matrixHeight)), width(), int(matrixHeight));
    layoutButtons();
    moveSelectionImage();
}

void SDSideBar::layoutButtons() {
    const auto cells = group.buttons();
    for (QAbstractButton* cell : cells) {
        const int row = group.id(cell);
        cell->setGeometry(0, int(std::lround(row * buttonHeight)), width(), int(std::lround(buttonHeight)));
    }
}

void SDSideBar::setSelectionImage(const QImage& image) {
    if (!selector) {
        selector = new QLabel(buttons);
        selector->setObjectName("selectorImageView");
        selector->setAttribute(Qt::WA_TransparentForMouseEvents);
        selector->resize(image.size());
        selector->move(width() - image.width(), 0);
    }
    selector->setPixmap(QPixmap::fromImage(image));
    selector->resize(image.size());
    selector->raise();
    selector->show();
    moveSelectionImage();
}

void SDSideBar::moveSelectionImage() {
    QAbstractButton* cell = cellForItem(selectedIndex());
    if (!selector || !cell)
        return;
    const QRect frame = cell->geometry();
    const QPoint target(frame.right() + 1 - selector->width(),
                        int(std::lround(frame.center().y() + 0.5 - selector->height() / 2.0)));
    slide.cancel();
    if (!animate || duration <= 0.0 || selector->pos() == target || !isVisible()) {
        selector->move(target);
        return;
    }
    const QPoint start = selector->pos();
    const double begin = scheduler->now();
    slide = scheduler->scheduleRepeating(kAnimationStep, [this, start, target, begin] {
        const double t = std::min(1.0, (scheduler->now() - begin) / duration);
        const double eased = t * t * (3.0 - 2.0 * t);
        selector->move(start + (target - start) * eased);
        if (t >= 1.0)
            slide.cancel();
    });
}

void SDSideBar::buttonClicked() {
    moveSelectionImage();
    const int row = selectedIndex();
    if (auto* cell = qobject_cast<BCSideBarButtonCell*>(cellForItem(row))) {
        QObject* target = cell->realTarget();
        const QByteArray action = cell->realAction();
        if (target && !action.isEmpty()) {
            const QByteArray signature = QMetaObject::normalizedSignature(action + "(SDSideBar*)");
            const int method = target->metaObject()->indexOfMethod(signature.constData());
            if (method >= 0) {
                target->metaObject()->method(method).invoke(target, Qt::DirectConnection,
                                                            Q_ARG(SDSideBar*, this));
                return;
            }
        }
    }
    if (delegate && row >= 0)
        delegate->sideBarDidSelectButton(*this, unsigned(row));
}

const QImage& SDSideBar::noiseImage() {
    static const QImage picture = [] {
        QImage grain(128, 128, QImage::Format_RGB32);
        QRandomGenerator random(0x5eed);
        for (int y = 0; y < grain.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(grain.scanLine(y));
            for (int x = 0; x < grain.width(); ++x) {
                const int level = int(random.bounded(256));
                row[x] = qRgb(level, level, level);
            }
        }
        return grain;
    }();
    return picture;
}

void SDSideBar::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), background);
    if (noise > 0.0) {
        painter.setCompositionMode(QPainter::CompositionMode_Plus);
        painter.setOpacity(noise);
        painter.drawTiledPixmap(rect(), QPixmap::fromImage(noiseImage()));
    }
}

void SDSideBar::resizeEvent(QResizeEvent*) {
    resizeMatrix();
}
