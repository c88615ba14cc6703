#pragma once

#include "dvd/DVDProjectSettings.h"
#include "dvd/DVDStepError.h"

#include <QList>
#include <QRect>
#include <QString>

#include <memory>
#include <mutex>

namespace platform {
class ChildProcess;
}

// Lays the menu's buttons over the menu stream: writes "spumux.xml" from the "spumux_template" resource
// (the three four-colour state pictures and one row per button), runs spumux on the menu stream into
// "dvdmenu_out.mpg", and makes the menu section that the dvdauthor control file takes. One object per
// authoring; the steps run on the caller's thread, which waits for spumux. cancel() may come from any
// thread.
class SpumuxObject {
public:
    explicit SpumuxObject(const DVDProjectSettings& project);

    QString inputMpegFilePath() const { return inputPath; }
    void setInputMpegFilePath(const QString& path) { inputPath = path; }
    QString outputMpegFilePath() const { return outputPath; }
    QString xmlFilePath() const { return xmlPath; }
    QList<QRect> buttonRectArray() const { return buttons; }
    QString strMenuSectionCode() const { return menuSectionCode; }

    // The whole step: the XML, the spumux run and the menu section, with the menu's button rectangles.
    bool image_spumux(const QList<QRect>& stateButtonRectArray, DVDStepError* error = nullptr);
    bool createXMLFile(DVDStepError* error = nullptr);
    bool run_spumuxCommand(DVDStepError* error = nullptr);
    void createMenuCode();

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
    QString inputPath, outputPath, xmlPath;
    QList<QRect> buttons;
    QString menuSectionCode;

    mutable std::mutex mutex; // guards the two below against cancel()
    bool cancelled = false;
    platform::ChildProcess* running = nullptr;
};
