#pragma once

#include <QString>

namespace platform {

// How moveItem goes about a move. The defaults suit every caller; tests use forceCopy to walk the
// cross-file-system path without a second file system.
struct MoveOptions {
    bool forceCopy = false; // copy and delete even where a rename would do
};

bool moveItem(const QString& from, const QString& to, const MoveOptions& options, QString* error = nullptr);

} // namespace platform
