#include "dvd/DVDProjectSettings.h"

#include "platform/foundation/StandardPaths.h"

QString DVDProjectSettings::resolvedTemporaryFolder() const {
    return temporaryFolder.isEmpty() ? platform::paths::temporaryFolder() : temporaryFolder;
}
