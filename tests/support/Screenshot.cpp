#include "support/Screenshot.h"

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <cstdio>

namespace screenshot {

QString folder() {
    const QString path = QStringLiteral(VISTRELLE_SCREENSHOT_DIR);
    QDir().mkpath(path);
    return path;
}

QImage save(QWidget& widget, const QString& name) {
    // Pending layouts and repaints first, so that the picture shows what the user would see.
    QCoreApplication::processEvents();
    const QImage picture = widget.grab().toImage();
    const QString path = folder() + "/" + name + ".png";
    if (picture.isNull() || !picture.save(path))
        std::fprintf(stderr, "screenshot: %s could not be saved\n", qPrintable(path));
    return picture;
}

} // namespace screenshot
