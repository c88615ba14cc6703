#include "support/TestComposition.h"

#include <QFile>

namespace test_support {

namespace {

QString real(double value) {
    return QStringLiteral("<real>%1</real>").arg(value);
}

QString colourArray(const QColor& colour) {
    return "<array>" + real(colour.redF()) + real(colour.greenF()) + real(colour.blueF()) + "</array>";
}

} // namespace

QByteArray TestComposition::text() const {
    QString colours;
    for (const QColor& colour : fill)
        colours += colourArray(colour);
    QString layers = "\n    <dict><key>Type</key><string>Fill</string><key>Period</key>" + real(period) +
                     "\n      <key>Colors</key><array>" + colours + "</array></dict>";
    if (marks)
        layers += "\n    <dict><key>Type</key><string>Rect</string>"
                  "\n      <key>Rect</key><array>" +
                  real(0) + real(0) + real(0.5) + real(0.5) + "</array>\n      <key>Color</key>" +
                  colourArray(Qt::red) +
                  "</dict>"
                  "\n    <dict><key>Type</key><string>Progress</string>"
                  "\n      <key>Rect</key><array>" +
                  real(0) + real(0.75) + real(1) + real(0.25) + "</array>\n      <key>Color</key>" +
                  colourArray(Qt::green) + "</dict>";
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>\n"
                          "  <key>Format</key><string>VistrelleComposition</string>\n"
                          "  <key>Version</key><integer>1</integer>\n"
                          "  <key>Inputs</key><array>%1</array>\n"
                          "  <key>Layers</key><array>%2\n  </array>\n</dict></plist>\n")
        .arg(inputs, layers)
        .toUtf8();
}

bool TestComposition::write(const QString& path) const {
    QFile file(path);
    const QByteArray bytes = text();
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace test_support
