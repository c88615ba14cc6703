#pragma once

// Shared ground of the DVD tests: slide pictures drawn by the test, small MPEG-2 streams made with the
// real ffmpeg, the menu templates of our resources, and stand-in tools put first in the tool search.

#include "dvd/DVDProjectSettings.h"
#include "support/FakeTools.h"
#include "support/TempDir.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace dvd_test {

// The colour of slide `index` in the pictures drawTestSlides() makes: far apart from each other and from
// the templates' colours, so a pixel tells which slide it came from.
QColor slideColour(int index);

// Draws `count` plain 640 x 480 slide pictures into `folder`; answers their paths in order.
QStringList drawTestSlides(const QString& folder, int count);

// A project of `slides` drawn slides, with its own contents and temporary folders inside `root`.
DVDProjectSettings testProject(const QString& root, int slides, bool pal = false);

// Entry `index` of our "dvdmenu" resource.
QVariantMap menuTemplate(int index);
QVariantList menuTemplates();

// Runs a program to its end; its standard output, or a failed test with its complaint.
bool runProgram(const QString& program, const QStringList& arguments, QByteArray* output = nullptr,
                QString* error = nullptr);

// A DVD-ready MPEG-2 program stream of `seconds` made by ffmpeg from a test pattern; a video bit rate in
// kbit/s (with noise, so the encoder spends it) makes it larger.
bool makeDvdStream(const QString& path, double seconds, bool pal, bool wide = false, int videoKbits = 0);
// The menu stream as the encoder makes it: the 960 x 540 menu frames in turn, then DVD MPEG-2.
bool makeMenuStream(const QString& path, const QStringList& framePaths, bool pal, bool wide);

// A DVD folder authored by the real dvdauthor from a short stream, without menu, inside `root`; its path.
QString authorTestFolder(const QString& root, bool pal = false);

// What `isoinfo` lists of an image: the volume id and the full paths of its files.
struct IsoListing {
    QString volumeId;
    QStringList files;
};
IsoListing listIso(const QString& imagePath);
// One file of an image, as isoinfo extracts it ("/VIDEO_TS/VIDEO_TS.IFO;1").
QByteArray extractFromIso(const QString& imagePath, const QString& isoPath);

// Distinct RGBA values of a picture.
int distinctColours(const QImage& image);
// The picture's pixels with every clear one the same, since a clear pixel's colour is never seen.
QImage visiblePixels(const QImage& image);
// Each channel, alpha too, within `tolerance`.
bool sameColour(const QColor& a, const QColor& b, int tolerance = 6);

// A path in double quotes, for the script of a stand-in tool.
QByteArray quoted(const QString& path);
// Waits up to ten seconds for a file that a stand-in tool makes once it has come that far; whether it came.
bool waitForFile(const QString& path);

using FakeTools = test_support::FakeTools;

} // namespace dvd_test
