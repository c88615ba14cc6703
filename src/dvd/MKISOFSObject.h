#pragma once

#include "dvd/DVDStepError.h"

#include <QString>

// Writes the disc image of an authored DVD folder into an ISO file, for an image instead of a disc.
class MKISOFSObject {
public:
    QString pathToMKISOFS() const { return program; }
    void setStrInputDVDFolder(const QString& folder) { inputFolder = folder; }
    QString strInputDVDFolder() const { return inputFolder; }
    void setStrOutputISOPath(const QString& path) { outputPath = path; }
    QString strOutputISOPath() const { return outputPath; }

    // Runs "mkisofs -dvd-video -o <iso> <folder>/", following no link inside the folder; false, naming the
    // step, when it failed or wrote nothing.
    // The image takes the ISO file's name only once it is whole: a failed run leaves what was there.
    bool BuildISO(DVDStepError* error = nullptr);
    // The run itself, into the file open at partialFd (made at `partial` beside the ISO file), which then
    // takes the ISO file's name, unless another file has taken the partial's name meanwhile.
    bool runScript(int partialFd, const QString& partial, DVDStepError* error = nullptr);

private:
    QString program;
    QString inputFolder;
    QString outputPath;
};
