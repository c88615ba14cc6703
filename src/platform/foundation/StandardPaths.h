#pragma once

#include <QString>

namespace platform {

// The folders the program works in. Every function answers an absolute path without a trailing "/".
namespace paths {

QString moviesFolder();       // XDG videos folder, else ~/Videos
QString documentsFolder();    // XDG documents folder, else ~/Documents
QString downloadsFolder();    // XDG download folder, else ~/Downloads
QString applicationFolder();  // "<Movies>/Vistrelle" (not created here)
QString configFolder();       // "<XDG config>/Vistrelle"

// Where the resources are: $VISTRELLE_RESOURCES, else the build tree, else <prefix>/share/vistrelle.
QString resourceFolder();
// A resource by base name and type ("black", "png"); empty when there is none.
QString pathForResource(const QString& name, const QString& type, const QString& subfolder = QString());

// The private per-user temporary folder (mode 0700, owned by us; made on first use). Every fixed
// temporary file name of the program lives inside it. Empty if no safe folder can be had.
QString temporaryFolder();

QString bundleIdentifier();   // "org.vistrelle.Vistrelle"

// Makes `path` (or accepts it as) a folder of ours that only we can enter, mode 0700; false when it is
// another user's, a link, or cannot be made.
bool ensurePrivateFolder(const QString& path);

} // namespace paths
} // namespace platform
