#pragma once

#include "platform/foundation/UniqueFd.h"

#include <QString>

#include <functional>

// The folder of large temporary files (the cache folder) may still be shared where the one-copy claim does
// not reach: a copy whose claim could not be made runs unguarded, and older builds claimed the runtime folder
// alone. Each running copy holds a shared lock on a file there; what ended copies left (movies cut short by a
// kill, DVD passes) may only be removed by a copy that holds the folder alone, or it would take a running
// copy's movie. The lock goes with its process however that ends, so a killed copy's leftovers go at the next
// start that finds no other copy running.
class CacheFolderUse {
public:
    // `folder` is the cache folder; without one there is nothing to share or to remove.
    explicit CacheFolderUse(const QString& folder);

    // Runs `removal` when no other running copy uses the folder, holding it alone meanwhile; then, either
    // way, holds it as one of its users for as long as this object lives. True when `removal` ran. Where no
    // lock can be had at all (something other than a file at its name, or a lock of another's in the way),
    // nothing is removed: a running copy could not be told from an ended one. Never waits.
    bool removeLeftoversWhenAlone(const std::function<void()>& removal);

private:
    QString lockPath;
    platform::UniqueFd lock;
    bool started = false; // a use removes once, at its start
};
