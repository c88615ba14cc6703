#pragma once

#include "app/AppDelegate.h"

#include <QStringList>

class MainWindowView;
class SingleInstance;

// Starts Vistrelle: handles the command line, makes the application object and runs the event loop.
// Returns the process exit status.
int runApplication(int argc, char** argv);

// What the run lets go of as it ends, on the main thread before the application object goes: the open
// project (its clip slides lock their readers as they go, its composition slides destroy their GL contexts),
// and the projects, slides and songs that other threads let go of last and that wait to be destroyed here.
void letGoOfWhatTheRunKeptOpen();

// True when a windowing system is reachable (or Qt was told to use a platform that needs none).
bool displayAvailable();

// The documents named on a command line (the program's own name and options left out).
QStringList documentArguments(const QStringList& arguments);

// The File menu's project commands (New, Open, Save, Properties) handed to the delegate.
void connectProjectCommands(const MainWindowView& window, AppDelegate& delegate);

// What a start whose one-copy claim was refused tells the user: another copy runs, or what to remove.
QString claimRefusal(const SingleInstance& instance);

// What the start runs of the engine's parts: the removal of what earlier runs left in the temporary folders
// (in the cache folder only while no other copy runs, see CacheFolderUse), and the offer to move the
// application.
AppDelegate::StartupHooks startupHooks();
