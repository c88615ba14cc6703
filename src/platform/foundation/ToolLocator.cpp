#include "platform/foundation/ToolLocator.h"

#include <QStandardPaths>

namespace platform {

QString findOnSearchPath(const QString& name, const QString& searchPath) {
    const QStringList folders = searchPath.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    // An empty list would make Qt search the inherited PATH instead of nothing.
    if (name.isEmpty() || folders.isEmpty())
        return {};
    return QStandardPaths::findExecutable(name, folders);
}

QString locateTool(const QString& name, const QStringList& bundledFolders) {
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String(".") ||
        name == QLatin1String(".."))
        return {};
    QStringList folders;
    const QString overrides = qEnvironmentVariable("VISTRELLE_TOOLS_DIR");
    if (!overrides.isEmpty())
        folders << overrides;
    folders << bundledFolders;
    folders.removeAll(QString());
    // Folders are passed as a list, not joined, so that a ":" inside one cannot split it.
    if (!folders.isEmpty()) {
        const QString found = QStandardPaths::findExecutable(name, folders);
        if (!found.isEmpty())
            return found;
    }
    return findOnSearchPath(name, qEnvironmentVariable("PATH"));
}

} // namespace platform
