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
    // ended, by a crash too, is taken over. A link or a pipe at the claim's name is replaced by the claim's
    // file, never followed; a folder there, or anything else that keeps the claim from being made, refuses
    // the start too (obstacle() then says so), since a copy would otherwise run unseen by the next. Where
    // there is no folder to claim, the copy runs unguarded there rather than not at all. It never waits.
    bool claim();
    // The claim file that could not be made, and why, when that refused the claim; empty otherwise.
    QString obstacle() const { return blocked; }
    QString obstacleReason() const { return blockedBecause; }

private:
    QStringList folders;
    QString blocked;
    QString blockedBecause;
    std::vector<platform::UniqueFd> held;
    bool claimed = false;
};
