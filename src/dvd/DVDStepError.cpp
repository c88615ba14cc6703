#include "dvd/DVDStepError.h"

#include "platform/foundation/ErrorText.h"
#include "platform/foundation/StringTable.h"

#include <QStringList>

bool DVDStepError::isProgram() const {
    static const QStringList programs = {QStringLiteral("ffmpeg"), QStringLiteral("pngquant"),
                                         QStringLiteral("spumux"), QStringLiteral("dvdauthor"),
                                         QStringLiteral("mkisofs")};
    return programs.contains(step);
}

QString DVDStepError::message() const {
    QString text = isProgram() ? tr_("The DVD could not be made: \"%1\" failed.").arg(step)
                               : tr_("The DVD could not be made.");
    if (const QString said = platform::errorSentence(detail, QString()); !said.isEmpty())
        text += QLatin1Char('\n') + said;
    return text;
}

bool failStep(DVDStepError* error, const QString& step, const QString& detail) {
    if (error)
        *error = DVDStepError{step, detail};
    return false;
}
