#pragma once

#include <QString>

// Why the making of a DVD stopped: the step that failed ("pngquant", "spumux", "dvdauthor", "mkisofs", ...)
// and what went wrong in it. The command shows it in an alert titled "ERROR", and nothing is burnt.
struct DVDStepError {
    QString step;
    QString detail; // English, as the outside program or the system said it

    bool isSet() const { return !step.isEmpty(); }
    static QString alertTitle() { return QStringLiteral("ERROR"); }
    QString message() const; // the alert's text, naming the step
};

// Fills *error (when given) and answers false, so that a failing step can `return failStep(...)`.
bool failStep(DVDStepError* error, const QString& step, const QString& detail);
