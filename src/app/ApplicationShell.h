#pragma once

#include <QStringList>

// Starts Vistrelle: handles the command line, makes the application object and runs the event loop.
// Returns the process exit status.
int runApplication(int argc, char** argv);

// True when a windowing system is reachable (or Qt was told to use a platform that needs none).
bool displayAvailable();

// The documents named on a command line (the program's own name and options left out).
QStringList documentArguments(const QStringList& arguments);
