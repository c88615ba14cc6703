#include "DVDTestSupport.h"

#include "dvd/DVDAuthorObject.h"
#include "platform/foundation/ChildProcess.h"
#include "platform/foundation/PropertyListValues.h"
#include "platform/foundation/StandardPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QSet>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace dvd_test {

QColor slideColour(int index) {
    static const QColor colours[] = {QColor(255, 0, 0),   QColor(0, 200, 0),   QColor(0, 0, 255),
                                     QColor(255, 0, 255), QColor(0, 255, 255), QColor(255, 128, 0),
                                     QColor(128, 0, 255), QColor(0, 128, 128), QColor(128, 128, 0)};
    return colours[index % 9];
}

QStringList drawTestSlides(const QString& folder, int count) {
    QDir().mkpath(folder);
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        QImage image(640, 480, QImage::Format_RGB32);
        image.fill(slideColour(i));
        const QString path = folder + QStringLiteral("/slide_%1.png").arg(i + 1);
        EXPECT_TRUE(image.save(path)) << qPrintable(path);
        paths << path;
    }
    return paths;
}

DVDProjectSettings testProject(const QString& root, int slides, bool pal) {
    DVDProjectSettings project;
    project.bTVSystemPAL = pal;
    project.contentsFolder = root + QStringLiteral("/Contents");
    project.temporaryFolder = root + QStringLiteral("/tmp");
    QDir().mkpath(project.contentsFolder);
    QDir().mkpath(project.temporaryFolder);
    QFile::setPermissions(project.temporaryFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    project.slidePicturePaths = drawTestSlides(root + QStringLiteral("/slides"), slides);
    project.slideshowTotalDuration = 3.0 * slides;
    return project;
}

QVariantList menuTemplates() {
    QString error;
    const QString path = platform::paths::pathForResource(QStringLiteral("dvdmenu"), QStringLiteral("plist"));
    const QVariant list = platform::readPropertyListFile(path, &error);
    EXPECT_TRUE(list.isValid()) << qPrintable(error);
    return list.toList();
}

QVariantMap menuTemplate(int index) {
    return menuTemplates().value(index).toMap();
}

bool runProgram(const QString& program, const QStringList& arguments, QByteArray* output, QString* error) {
    platform::ChildProcess::Options options;
    options.program = program;
    options.arguments = arguments;
    QString message;
    const bool ok = platform::ChildProcess::run(options, output, &message);
    if (error)
        *error = message;
    return ok;
}

bool makeDvdStream(const QString& path, double seconds, bool pal, bool wide, int videoKbits) {
    const QString size = pal ? QStringLiteral("720x576") : QStringLiteral("720x480");
    const QString rate = pal ? QStringLiteral("25") : QStringLiteral("30000/1001");
    const QString duration = QString::number(seconds);
    QString source = QStringLiteral("testsrc=s=%1:r=%2:d=%3").arg(size, rate, duration);
    QStringList bitrate;
    if (videoKbits > 0) {
        source += QStringLiteral(",noise=alls=60:allf=t");
        bitrate = {"-b:v", QStringLiteral("%1k").arg(videoKbits)};
    }
    QString error;
    const bool ok = runProgram(
        QStringLiteral("ffmpeg"),
        QStringList{"-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i", source, "-f", "lavfi",
                    "-i", "anullsrc=r=48000:cl=stereo", "-t", duration, "-target",
                    pal ? "pal-dvd" : "ntsc-dvd"} +
            bitrate +
            QStringList{"-acodec", "mp2", "-ac", "2", "-ab", "224k", "-aspect", wide ? "16:9" : "4:3", path},
        nullptr, &error);
    EXPECT_TRUE(ok) << qPrintable(error);
    return ok;
}

bool makeMenuStream(const QString& path, const QStringList& framePaths, bool pal, bool wide) {
    // One frame a third of a second, the way the menu's slideshow shows them, only faster.
    QString list;
    for (const QString& frame : framePaths)
        list += QStringLiteral("file '%1'\nduration 0.34\n").arg(frame);
    list += QStringLiteral("file '%1'\n").arg(framePaths.last());
    const QString listPath = path + QStringLiteral(".frames.txt");
    QFile file(listPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(list.toUtf8()) < 0)
        return false;
    file.close();
    QString error;
    const bool ok = runProgram(QStringLiteral("ffmpeg"),
                               {"-hide_banner",
                                "-loglevel",
                                "error",
                                "-y",
                                "-f",
                                "concat",
                                "-safe",
                                "0",
                                "-i",
                                listPath,
                                "-f",
                                "lavfi",
                                "-i",
                                "anullsrc=r=48000:cl=stereo",
                                "-shortest",
                                "-target",
                                pal ? "pal-dvd" : "ntsc-dvd",
                                "-acodec",
                                "mp2",
                                "-ac",
                                "2",
                                "-ab",
                                "224k",
                                "-aspect",
                                wide ? "16:9" : "4:3",
                                path},
                               nullptr, &error);
    EXPECT_TRUE(ok) << qPrintable(error);
    return ok;
}

QString authorTestFolder(const QString& root, bool pal) {
    DVDProjectSettings project = testProject(root, 3, pal);
    project.bUseDVDMenu = false;
    project.slideshowTotalDuration = 1;
    const QString stream = root + QStringLiteral("/show.mpg");
    if (!makeDvdStream(stream, 1, pal))
        return {};
    platform::NotificationCenter center;
    DVDAuthorObject author(project, center);
    author.setVideoFilePath(stream);
    author.AuthorDVD();
    const DVDAuthorOutcome outcome = author.wait();
    EXPECT_EQ(outcome.kind, DVDAuthorOutcome::Finished) << qPrintable(outcome.error.message());
    return outcome.kind == DVDAuthorOutcome::Finished ? author.strOutputDVDFolder() : QString();
}

IsoListing listIso(const QString& imagePath) {
    IsoListing listing;
    QByteArray output;
    QString error;
    EXPECT_TRUE(runProgram(QStringLiteral("isoinfo"), {"-d", "-i", imagePath}, &output, &error))
        << qPrintable(error);
    for (const QByteArray& line : output.split('\n'))
        if (line.startsWith("Volume id:"))
            listing.volumeId = QString::fromUtf8(line.mid(10).trimmed());
    EXPECT_TRUE(runProgram(QStringLiteral("isoinfo"), {"-f", "-i", imagePath}, &output, &error))
        << qPrintable(error);
    for (const QByteArray& line : output.split('\n'))
        if (!line.trimmed().isEmpty())
            listing.files << QString::fromUtf8(line.trimmed());
    return listing;
}

QByteArray extractFromIso(const QString& imagePath, const QString& isoPath) {
    QByteArray output;
    QString error;
    EXPECT_TRUE(runProgram(QStringLiteral("isoinfo"), {"-i", imagePath, "-x", isoPath}, &output, &error))
        << qPrintable(error);
    return output;
}

QByteArray quoted(const QString& path) {
    return "\"" + QFile::encodeName(path) + "\"";
}

bool waitForFile(const QString& path) {
    for (int i = 0; i < 1000 && !QFileInfo::exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return QFileInfo::exists(path);
}

int distinctColours(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    QSet<QRgb> seen;
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            seen.insert(qAlpha(row[x]) == 0 ? 0 : row[x]);
    }
    return int(seen.size());
}

QImage visiblePixels(const QImage& image) {
    QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(argb.scanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(row[x]) == 0)
                row[x] = 0;
    }
    return argb;
}

bool sameColour(const QColor& a, const QColor& b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

} // namespace dvd_test
