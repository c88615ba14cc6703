#include "support/Screenshot.h"

#include <QCoreApplication>
#include <QDir>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

#include <cstdio>

namespace screenshot {

QString folder() {
    const QString path = QStringLiteral(VISTRELLE_SCREENSHOT_DIR);
    QDir().mkpath(path);
    return path;
}

namespace {

QImage saved(const QImage& picture, const QString& name) {
    const QString path = folder() + "/" + name + ".png";
    if (picture.isNull() || !picture.save(path))
        std::fprintf(stderr, "screenshot: %s could not be saved\n", qPrintable(path));
    return picture;
}

} // namespace

QImage save(QWidget& widget, const QString& name) {
    // Pending layouts and repaints first, so that the picture shows what the user would see.
    QCoreApplication::processEvents();
    return saved(widget.grab().toImage(), name);
}

QImage saveWithChildWindows(QWidget& window, const QString& name) {
    QCoreApplication::processEvents();
    const QPoint origin = window.mapToGlobal(QPoint(0, 0));
    QRect bounds = window.rect();
    std::vector<QWidget*> shown;
    for (QWidget* child : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->isWindow() && child->isVisible()) {
            shown.push_back(child);
            bounds |= QRect(child->mapToGlobal(QPoint(0, 0)) - origin, child->size());
        }
    QImage picture(bounds.size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.translate(-bounds.topLeft());
    painter.drawPixmap(0, 0, window.grab());
    for (QWidget* child : shown) {
        painter.save();
        painter.translate(child->mapToGlobal(QPoint(0, 0)) - origin);
        if (!child->mask().isEmpty())
            painter.setClipRegion(child->mask());
        painter.drawPixmap(0, 0, child->grab());
        painter.restore();
    }
    painter.end();
    return saved(picture, name);
}

} // namespace screenshot
