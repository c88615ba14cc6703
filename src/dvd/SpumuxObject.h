#pragma once

#include "dvd/DVDProjectSettings.h"
#include "dvd/DVDStepError.h"
#include "platform/foundation/UniqueFd.h"

#include <QFileDevice>
#include <QImage>
#include <QList>
#include <QRect>
#include <QSizeF>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {
class ChildProcess;
}

// Lays the menu's buttons over the menu stream: writes "spumux.xml" from the "spumux_template" resource
// (the three four-colour state pictures and one row per button), runs spumux on the menu stream into
// "dvdmenu_out.mpg", and makes the menu section that the dvdauthor control file takes. spumux and dvdauthor
// reach the control file and the muxed menu through the descriptors of the files made here (the muxed menu
// until this object goes), never through a name another program could have taken meanwhile. One object per
// authoring; the steps run on the caller's thread, which waits for spumux. cancel() may come from any
// thread.
class SpumuxObject {
public:
    explicit SpumuxObject(const DVDProjectSettings& project);

    QString pathToPngquant() const { return pngquantPath; }
    // The DVD picture the button pictures are drawn for; 720 x 480 until set.
    QSizeF outputSize() const { return pictureSize; }
    void setOutputSize(const QSizeF& size) { pictureSize = size; }
    QString inputMpegFilePath() const { return inputPath; }
    void setInputMpegFilePath(const QString& path) { inputPath = path; }
    QString outputMpegFilePath() const { return outputPath; }
    QString xmlFilePath() const { return xmlPath; }
    QList<QRect> buttonRectArray() const { return buttons; }
    void setButtonRectArray(const QList<QRect>& rects) { buttons = rects; }
    // The three four-colour state pictures the menu made (DVDMenuItem::reducedStatePictureFiles), which
    // the control file then names through these descriptors; without them it names the pictures' files.
    void setStatePictureFiles(std::vector<platform::UniqueFd> files) { statePictures = std::move(files); }
    QString strMenuSectionCode() const { return menuSectionCode; }

    // The whole step: the XML, the spumux run and the menu section, with the menu's button rectangles.
    bool image_spumux(const QList<QRect>& stateButtonRectArray, DVDStepError* error = nullptr);
    bool createXMLFile(DVDStepError* error = nullptr);
    bool run_spumuxCommand(DVDStepError* error = nullptr);
    void createMenuCode();

    // The earlier way to the button pictures, before the menu template drew them: a picture of outputSize(),
    // clear but for the application's "selected.png" stretched into every button rectangle, written as PNG
    // to filePath.
    bool image_spumux(const QString& filePath, DVDStepError* error = nullptr) const;
    QImage renderButtonPicture() const;
    // Reduces a PNG to four colours with pathToPngquant(), as the menu template does its state pictures.
    bool run_pngquant(const QString& path, DVDStepError* error = nullptr) const;
    // Creates an empty file with the given permissions unless something is at path already: false then,
    // with "Can't overwrite '<file>' in '<folder>'", or "Can't create '<file>' in '<folder>'" when it
    // could not be made.
    static bool createFileAtPath(const QString& path, QFileDevice::Permissions attributes,
                                 QString* errorString = nullptr);

    // Runs once the files spumux reads and writes are made, right before it starts (tests put another
    // program's links at their names there).
    void setBeforeLaunch(std::function<void()> hook) { beforeLaunch = std::move(hook); }

    // Once its run has ended: the control file, the muxed menu and the pictures let go of.
    void releaseFiles();
    // Stops a running spumux; one not yet started never starts.
    void cancel();
    bool wasCancelled() const;

    static QString buttonRows(const QList<QRect>& rects);
    // The files a run makes at fixed names: the control file and the muxed menu.
    static QStringList temporaryPaths(const DVDProjectSettings& settings);
    static QString menuCode(qsizetype buttonCount, const QString& muxedMenuPath);

private:
    bool startAndWait(platform::ChildProcess& child, DVDStepError* error);

    DVDProjectSettings project;
    QString temporary;
    QString pngquantPath;
    QSizeF pictureSize{720, 480};
    QString inputPath, outputPath, xmlPath;
    platform::UniqueFd xmlFile, outputFile; // what was made at xmlPath and outputPath, open since
    std::vector<platform::UniqueFd> statePictures;
    QList<QRect> buttons;
    QString menuSectionCode;
    std::function<void()> beforeLaunch;

    mutable std::mutex mutex; // guards the two below against cancel()
    bool cancelled = false;
    platform::ChildProcess* running = nullptr;
};
