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
    const QString partial = platform::createPartialFileBeside(outputPath, &message);
    if (partial.isEmpty())
        return failStep(error, step, message);
    if (runScript(partial, error))
        return true;
    QFile::remove(partial);
    return false;
}

bool MKISOFSObject::runScript(const QString& partial, DVDStepError* error) {
    const QString step = QStringLiteral("mkisofs");
    platform::ChildProcess::Options options;
    options.program = program;
    options.arguments = {QStringLiteral("-dvd-video"), QStringLiteral("-o"), partial, inputFolder};
    QString message;
    if (!platform::ChildProcess::run(options, nullptr, &message))
        return failStep(error, step, message);
    if (!isNonEmptyFile(partial))
        return failStep(error, step, QStringLiteral("mkisofs wrote nothing for \"%1\".").arg(outputPath));
    if (!platform::replaceWithPartialFile(partial, outputPath, &message))
        return failStep(error, step, message);
    return true;
}
