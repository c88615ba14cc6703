#include "ui/controls/ElidingLabel.h"

#include <QPainter>
#include <QStyle>
#include <QTextLayout>

#include <algorithm>

QString ElidingLabel::shownText() const {
    const QString whole = text();
    const QFontMetrics metrics = fontMetrics();
    const int width = contentsRect().width();
    if (!wordWrap())
        return metrics.elidedText(whole, Qt::ElideRight, width);
    const int lines = std::max(1, contentsRect().height() / metrics.lineSpacing());
    QTextLayout layout(whole, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList shown;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (int(shown.size()) == lines - 1) {
            // The last line that fits takes the rest of the text, shortened when it is too long for it.
            shown << metrics.elidedText(whole.mid(line.textStart()).simplified(), Qt::ElideRight, width);
            break;
        }
        shown << whole.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return shown.join(QLatin1Char('\n'));
}

void ElidingLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()), palette(), isEnabled(), shownText(),
                          foregroundRole());
}
