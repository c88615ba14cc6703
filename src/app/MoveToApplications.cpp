#include "app/MoveToApplications.h"

#include "platform/foundation/UserDefaults.h"

#include <QFile>

void offerMoveToApplicationsFolder() {
    if (platform::UserDefaults::standard().boolean("moveToApplicationsFolderAlertSuppress", false))
        return;
    // No bundle to move on this platform (see the header); the texts stay in the "MoveApplication" table.
}

bool moveItemToTrash(const QString& path) {
    if (path.isEmpty() || !QFile::exists(path))
        return false;
    return QFile::moveToTrash(path);
}
