#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>

#include <vector>

namespace test_support {

// A composition of our own format made by a test: a fill running through `fill` once every `period`
// seconds, and with `marks` a red square in the top left quarter and a green bar along the bottom that grows
// with "percentDone". `inputs` is the text of its list of input keys.
struct TestComposition {
    std::vector<QColor> fill{Qt::black, Qt::white};
    double period = 8.0;
    bool marks = true;
    QString inputs =
        QStringLiteral("<string>percentDone</string><string>MoviePath</string><string>Looping</string>");

    QByteArray text() const;
    // False when the file could not be written whole.
    bool write(const QString& path) const;
};

} // namespace test_support
