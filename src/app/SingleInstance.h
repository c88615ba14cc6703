#pragma once

#include "platform/foundation/UniqueFd.h"

#include <QString>
#include <QStringList>

#include <vector>

// One running copy of Vistrelle per user: two would share the fixed files and pipes of the private temporary
// folder and the movies, sound and DVD files of the cache folder, and each would save the open project over
// the other's edits. A copy started from another login (su, ssh) has a runtime folder of its own but the
// same cache folder, so the claim is held in both.
class SingleInstance {
public:
    // The folders a running copy claims: the private temporary folder and the cache folder.
    static QStringList claimedFolders();

    // The claim is a lock file in each of `folders`; one named twice (the cache folder may be the temporary
    // folder) is claimed once.
    explicit SingleInstance(QStringList folders);

    // False while another running copy holds the claim in any of the folders. A claim left by a copy that has
    // ended, by a crash too, is taken over. Where no claim can be made in a folder (there is none, or
    // something other than a file stands at the claim's name) the copy runs unguarded there rather than
    // not at all; the claim never waits.
    bool claim();

private:
    QStringList folders;
    std::vector<platform::UniqueFd> held;
    bool claimed = false;
};
