#include "ui/main/FilesNotAddedAlert.h"

#include "dvd/DVDCommandDialogs.h"
#include "platform/foundation/StringTable.h"
#include "ui/main/ControllerDialogs.h"

void alertFilesNotAdded(ControllerDialogs& dialogs, const QString& title, const QStringList& lines) {
    if (!lines.isEmpty())
        dialogs.exportDialogs().showAlertSheet(title, lines.join('\n'), tr_("OK"));
}
