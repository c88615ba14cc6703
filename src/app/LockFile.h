#pragma once

#include "platform/foundation/UniqueFd.h"

#include <QString>

// The lock files the start takes. Nothing here ever waits: the start runs on the main thread before any
// window, and a wait there that never ends leaves a copy that holds its claim and shows nothing.
namespace lock_file {

// Opens (making it where nothing is) the lock file at path as a regular file of ours. Anything else but a
// folder at the name (a link, a pipe) is removed, never followed nor opened, and the file made in its place,
// one start at a time. Invalid otherwise, with what stands in the way in *obstacle (empty when nothing is in
// the way but another start repairing the name at the same moment, errno then EWOULDBLOCK).
platform::UniqueFd open(const QString& path, QString* obstacle = nullptr);

// Takes the flock `operation` (LOCK_EX or LOCK_SH) without waiting; false, errno set, while another open
// file holds a lock in the way.
bool tryLock(int fd, int operation);

} // namespace lock_file
