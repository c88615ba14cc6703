#pragma once

#include "platform/foundation/UniqueFd.h"

#include <QString>

// The lock files the start takes. Nothing here ever waits: the start runs on the main thread before any
// window, and a wait there that never ends leaves a copy that holds its claim and shows nothing.
namespace lock_file {

// Opens (making it where nothing is) the lock file at path, only when it is a regular file: a link is never
// followed, and a pipe planted at the name is never waited on. Invalid otherwise.
platform::UniqueFd open(const QString& path);

// Takes the flock `operation` (LOCK_EX or LOCK_SH) without waiting; false, errno set, while another open
// file holds a lock in the way.
bool tryLock(int fd, int operation);

} // namespace lock_file
