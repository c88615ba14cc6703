#include "dvd/MKISOFSObject.h"

#include "dvd/DVDFiles.h"
#include "platform/foundation/ChildProcess.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/ToolLocator.h"

#include <QFile>

bool MKISOFSObject::BuildISO(DVDStepError* error) {
    const QString step = QStringLiteral("mkisofs");
    program = platform::locateTool(QStringLiteral("mkisofs"));
    if (program.isEmpty())
        return failStep(error, step, QStringLiteral("The program \"mkisofs\" is not installed."));
    // Written beside its name and put there only once whole: a failed run leaves whatever was there.
    QString message;
    QString partial;
    const platform::UniqueFd fd = platform::openPartialFileBeside(outputPath, &partial, &message);
    if (!fd)
        return failStep(error, step, message);
    if (runScript(fd.get(), partial, error))
        return true;
    platform::removePartialFile(fd.get(), partial);
    return false;
}

bool MKISOFSObject::runScript(int partialFd, const QString& partial, DVDStepError* error) {
    const QString step = QStringLiteral("mkisofs");
    platform::ChildProcess::Options options;
    options.program = program;
    // mkisofs opens its output by name and follows a link there: it is named the file through our descriptor.
    options.arguments = {QStringLiteral("-dvd-video"), QStringLiteral("-o"),
                         platform::pathReaching(partialFd, partial), folderArgument(inputFolder)};
    QString message;
    if (!platform::ChildProcess::run(options, nullptr, &message))
        return failStep(error, step, message);
    if (sizeOfOpenFile(partialFd) == 0)
        return failStep(error, step, QStringLiteral("mkisofs wrote nothing for \"%1\".").arg(outputPath));
    if (!platform::commitPartialFile(partialFd, partial, outputPath, &message))
        return failStep(error, step, message);
    return true;
}
