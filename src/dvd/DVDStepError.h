#pragma once

#include <QString>

// Why the making of a DVD stopped: the step that failed ("pngquant", "spumux", "dvdauthor", "mkisofs", ...)
// and what went wrong in it. The command shows it in an alert titled "ERROR", and nothing is burnt.
struct DVDStepError {
    QString step;
    QString detail; // English, as the outside program or the system said it

    bool isSet() const { return !step.isEmpty(); }
    // Whether the step is an outside program's run, which the alert may name; the others are the run's own
    // names for its parts, which mean nothing to the user.
    bool isProgram() const;
    static QString alertTitle() { return QStringLiteral("ERROR"); }
    // The alert's text: that the DVD could not be made, the program that failed when one did, and why.
    QString message() const;
};

// Fills *error (when given) and answers false, so that a failing step can `return failStep(...)`.
bool failStep(DVDStepError* error, const QString& step, const QString& detail);
