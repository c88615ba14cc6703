#include "dvd/MKISOFSObject.h"

#include "dvd/DVDFiles.h"
#include "platform/foundation/ChildProcess.h"
#include "platform/foundation/ToolLocator.h"

bool MKISOFSObject::BuildISO(DVDStepError* error) {
    const QString step = QStringLiteral("mkisofs");
    program = platform::locateTool(QStringLiteral("mkisofs"));
    if (program.isEmpty())
        return failStep(error, step, QStringLiteral("The program \"mkisofs\" is not installed."));
    // An old image must not pass for this run's.
    if (!removeItem(outputPath))
        return failStep(error, step, QStringLiteral("Cannot replace \"%1\".").arg(outputPath));
    platform::ChildProcess::Options options;
    options.program = program;
    options.arguments = {QStringLiteral("-dvd-video"), QStringLiteral("-o"), outputPath, inputFolder};
    QString message;
    if (!platform::ChildProcess::run(options, nullptr, &message))
        return failStep(error, step, message);
    if (!isNonEmptyFile(outputPath))
        return failStep(error, step, QStringLiteral("mkisofs wrote nothing into \"%1\".").arg(outputPath));
    return true;
}
