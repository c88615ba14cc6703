#pragma once

#include <QString>

// The start-up offer to move the application into the user's applications folder. Vistrelle on Linux is
// installed by its build or by a package, never as a movable application bundle, so there is nothing to
// move: the offer respects its "moveToApplicationsFolderAlertSuppress" setting and otherwise stands aside.
void offerMoveToApplicationsFolder();

// Moves a file or folder to the user's Trash (the desktop's shared Trash folder). True on success.
bool moveItemToTrash(const QString& path);
