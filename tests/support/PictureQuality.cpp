#include "support/PictureQuality.h"

#include "platform/foundation/ChildProcess.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>

namespace test_support {

QImage carefulReduction(const QString& path, const QSize& size) {
    QTemporaryDir dir;
    const QString raw = dir.filePath("reduced.bgra");
    platform::ChildProcess::Options options;
    options.program = QStringLiteral("ffmpeg");
    options.arguments = QStringList{"-hide_banner",
                                    "-loglevel",
                                    "error",
                                    "-y",
                                    "-i",
                                    path,
                                    "-vf",
                                    QStringLiteral("scale=%1:%2:flags=lanczos+accurate_rnd+full_chroma_int")
                                        .arg(size.width())
                                        .arg(size.height()),
                                    "-f",
                                    "rawvideo",
                                    "-pix_fmt",
                                    "bgra",
                                    raw};
    if (!platform::ChildProcess::run(options, nullptr, nullptr))
        return QImage();
    QFile file(raw);
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
    const QByteArray bytes = file.readAll();
    if (bytes.size() != qsizetype(size.width()) * size.height() * 4)
        return QImage();
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        std::copy_n(bytes.constData() + qsizetype(y) * size.width() * 4, size.width() * 4,
                    reinterpret_cast<char*>(image.scanLine(y)));
    return image;
}

double psnr(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull())
        return 0.0;
    const QImage first = a.convertToFormat(QImage::Format_RGB32),
                 second = b.convertToFormat(QImage::Format_RGB32);
    double squares = 0.0;
    for (int y = 0; y < first.height(); ++y) {
        const auto* p = reinterpret_cast<const QRgb*>(first.constScanLine(y));
        const auto* q = reinterpret_cast<const QRgb*>(second.constScanLine(y));
        for (int x = 0; x < first.width(); ++x) {
            const double dr = qRed(p[x]) - qRed(q[x]), dg = qGreen(p[x]) - qGreen(q[x]),
                         db = qBlue(p[x]) - qBlue(q[x]);
            squares += dr * dr + dg * dg + db * db;
        }
    }
    const double mean = squares / (3.0 * first.width() * first.height());
    return mean == 0.0 ? 100.0 : 10.0 * std::log10(255.0 * 255.0 / mean);
}

} // namespace test_support
