#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// Finds an outside program by its bare name ("ffmpeg", "spumux", "dvdauthor", "mkisofs", "pngquant"):
// first in the folder $VISTRELLE_TOOLS_DIR (where tests put stand-in tools), then in bundledFolders
// (such as the resource folder's own tools), then on PATH. Empty when it is nowhere, or when name is not
// a bare name.
QString locateTool(const QString& name, const QStringList& bundledFolders = {});

// The executable file name resolves to on a ":"-separated search path; empty when there is none.
QString findOnSearchPath(const QString& name, const QString& searchPath);

} // namespace platform
