#pragma once

#include <QLockFile>
#include <QString>

// One running copy of Vistrelle per user: two would share the fixed files and pipes of the private temporary
// folder, and each would save the open project over the other's edits. A copy started from another login
// has a runtime folder of its own and so runs; the cache folder it shares is guarded by CacheFolderUse.
class SingleInstance {
public:
    // The claim is a lock file in `folder`, the private temporary folder in the application.
    explicit SingleInstance(const QString& folder);

    // False while another running copy holds the claim. A claim left by a copy that has ended, by a crash
    // too, is taken over. True as well when no claim can be made at all (no folder): the copy then runs
    // unguarded rather than not at all.
    bool claim();

private:
    QLockFile lock;
    bool usable;
};
