#include "dvd/DVDStepError.h"

#include "platform/foundation/ErrorText.h"
#include "platform/foundation/StringTable.h"

QString DVDStepError::message() const {
    QString text = tr_("The DVD could not be made: the step \"%1\" failed.").arg(step);
    if (const QString said = platform::errorSentence(detail, QString()); !said.isEmpty())
        text += QLatin1Char('\n') + said;
    return text;
}

bool failStep(DVDStepError* error, const QString& step, const QString& detail) {
    if (error)
        *error = DVDStepError{step, detail};
    return false;
}
