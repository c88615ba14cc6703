#pragma once

#include <QString>

// Files of the request library: temporary files are made exclusively in the user's private temporary folder
// (readable by the user alone), and a finished download replaces its destination in one step.
namespace ReqFiles {

// A new empty file; empty when none could be made.
QString makeTemporaryFile();
// Moves `from` over `to`: a rename, or across file systems a copy beside `to` renamed over it. On failure
// `to` is as it was and `error` says why.
bool replaceFile(const QString& from, const QString& to, QString* error);

} // namespace ReqFiles
