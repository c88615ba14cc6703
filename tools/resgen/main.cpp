// Draws the binary resources of the application into the folder given as the only argument.
// Everything is made from code with fixed parameters, so every build makes the same files.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

bool save(const QImage& image, const QString& path) {
    if (image.save(path))
        return true;
    std::fprintf(stderr, "resgen: cannot write %s\n", qPrintable(path));
    return false;
}

// A plain black frame, the empty stage.
bool makeBlack(const QDir& out) {
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(Qt::black);
    return save(image, out.filePath("black.png"));
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: vistrelle_resgen <resource folder>\n");
        return 2;
    }
    QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(".")) {
        std::fprintf(stderr, "resgen: cannot create %s\n", argv[1]);
        return 1;
    }
    const std::vector<std::function<bool(const QDir&)>> makers = {makeBlack};
    for (const auto& make : makers)
        if (!make(out))
            return 1;
    return 0;
}
