#pragma once

#include <QString>
#include <QStringList>

class ControllerDialogs;

// One alert for all the files of one import that could not be added, each on a line of its own; none for
// none. Main thread only.
void alertFilesNotAdded(ControllerDialogs& dialogs, const QString& title, const QStringList& lines);
