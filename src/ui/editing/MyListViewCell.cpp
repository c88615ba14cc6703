#include "ui/editing/MyListViewCell.h"

#include "ui/controls/ElidingLabel.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr double kCornerRadius = 6.0;
constexpr int kMargin = 6;

template <typename Label = QLabel> QLabel* darkLabel(QWidget* parent) {
    auto* label = new Label(parent); // the cell owns its parts
    // Inside a list's viewport a label takes the viewport's roles, whose text is light.
    label->setForegroundRole(QPalette::WindowText);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(20, 20, 20));
    label->setPalette(palette);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

} // namespace

MyListViewCell::MyListViewCell(const QString& reusableIdentifier, QWidget* parent)
    : RLListViewCell(reusableIdentifier, parent), title(darkLabel<ElidingLabel>(this)),
      icon(darkLabel(this)) {
    icon->setScaledContents(true);
    QFont font = title->font();
    font.setBold(true);
    title->setFont(font);
    layoutSubviews();
}

void MyListViewCell::prepareForReuse() {
    RLListViewCell::prepareForReuse();
    title->setText(QString());
}

void MyListViewCell::layoutSubviews() {
    const int top = (height() - kIconSide) / 2;
    icon->setGeometry(kMargin, top, kIconSide, kIconSide);
    const int left = 2 * kMargin + kIconSide;
    title->setGeometry(left, 0, std::max(0, width() - left - kMargin), height());
}

void MyListViewCell::resizeEvent(QResizeEvent*) {
    layoutSubviews();
}

void MyListViewCell::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath plate;
    plate.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    painter.fillPath(plate,
                     isSelected() ? palette().color(QPalette::Highlight).lighter(160) : QColor(Qt::white));
    drawDropHighlight(painter);
}

ThemeListViewCell::ThemeListViewCell(const QString& reusableIdentifier, QWidget* parent)
    : MyListViewCell(reusableIdentifier, parent), description(darkLabel<ElidingLabel>(this)) {
    description->setWordWrap(true);
    description->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    titleLabel()->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    layoutSubviews();
}

void ThemeListViewCell::layoutSubviews() {
    const int top = (height() - kIconSize.height()) / 2;
    iconView()->setGeometry(QRect(QPoint(kMargin, top), kIconSize));
    const int left = 2 * kMargin + kIconSize.width();
    const int textWidth = std::max(0, width() - left - kMargin);
    titleLabel()->setGeometry(left, kMargin, textWidth, 20);
    description->setGeometry(left, kMargin + 22, textWidth, std::max(0, height() - 2 * kMargin - 22));
}
