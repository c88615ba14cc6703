#pragma once

#include <QString>

namespace platform {

// The folders the program works in. Every function answers an absolute path without a trailing "/".
namespace paths {

QString moviesFolder();      // XDG videos folder, else ~/Videos
QString documentsFolder();   // XDG documents folder, else ~/Documents
QString downloadsFolder();   // XDG download folder, else ~/Downloads
QString applicationFolder(); // "<Movies>/Vistrelle" (not created here)
QString configFolder();      // "<XDG config>/Vistrelle"

// Where the resources are: $VISTRELLE_RESOURCES, else the build tree, else <prefix>/share/vistrelle.
QString resourceFolder();
// A resource by base name and type ("black", "png"); empty when there is none.
QString pathForResource(const QString& name, const QString& type, const QString& subfolder = QString());

// The private per-user temporary folder (mode 0700, owned by us; made on first use):
// "$XDG_RUNTIME_DIR/vistrelle" when the runtime folder is usable, else "/tmp/vistrelle-<uid>", else, when
// that name is taken by something not ours, a fresh folder of our own beside it, kept for the rest of the
// run. Every small fixed temporary file and pipe of the program lives inside it. Empty if no private
// folder can be had at all; temporaryFolderProblem() then says so.
QString temporaryFolder();
// The private folder for large temporary files (movies, streams, disc folders, mixed sound): on disk, as
// the runtime folder is often a RAM file system too small for them: "$XDG_CACHE_HOME/vistrelle", else
// "/var/tmp/vistrelle-<uid>" or a fresh folder beside it, else temporaryFolder().
QString largeTemporaryFolder();
// What a user is told when no private temporary folder can be made.
QString temporaryFolderProblem();
// Removes the fresh folders this run made in place of taken names (at the end of the run).
void releaseTemporaryFolders();

QString bundleIdentifier(); // "org.vistrelle.Vistrelle"

// Makes `path` (or accepts it as) a folder of ours that only we can enter, mode 0700; false when it is
// another user's, a link, or cannot be made.
bool ensurePrivateFolder(const QString& path);

} // namespace paths
} // namespace platform
