#pragma once

// A user of one test's own: the user folders of support/UserFolders.h (XDG_RUNTIME_DIR private or unset) in
// a folder removed afterwards, a user-defaults store there, a seeded random source, optionally a manual
// clock, and the program's singletons (the open project, the project manager, the main window's services,
// the frame rate and output size) reset when it starts and when it ends. Fixtures hold one for the length of
// a test; the process's own folders come back when it goes.

#include "model/SlideshowProject.h"
#include "support/TempDir.h"
#include "support/UserFolders.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace platform {
class ManualClock;
}

namespace test_support {

class IsolatedUser {
public:
    struct Options {
        std::uint64_t seed = 7;
        // Installed as the project's clock; without it the system clock runs (clips follow real time).
        bool manualClock = true;
        // XDG_RUNTIME_DIR: a private "<home>/run", or unset, so that small temporary files fall back to
        // "<home>/tmp".
        bool runtimeFolder = true;
    };

    IsolatedUser() : IsolatedUser(Options{}) {}
    explicit IsolatedUser(Options options);
    ~IsolatedUser();
    IsolatedUser(const IsolatedUser&) = delete;
    IsolatedUser& operator=(const IsolatedUser&) = delete;

    const TempDir& folder() const { return root; }
    QString home() const { return root.path(); }
    // The manual clock, or null when the system clock runs.
    const std::shared_ptr<platform::ManualClock>& clock() const { return manual; }

    // A project in "<home>/Show.VistrelleProject" with an empty "Contents", installed as the open one.
    SlideshowProjectRef openProject() const;
    QString contents() const { return home() + "/Show.VistrelleProject/Contents"; }

    // Puts every singleton back as a fresh process has it.
    static void resetSingletons();

private:
    TempDir root;
    UserFolders folders;
    std::shared_ptr<platform::ManualClock> manual;
};

} // namespace test_support
