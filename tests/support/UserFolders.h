#pragma once

// The folders a desktop login gives its user, all under one root: HOME, XDG_CONFIG_HOME, XDG_CACHE_HOME,
// XDG_DATA_HOME, a private XDG_RUNTIME_DIR (mode 0700), and VISTRELLE_TMPDIR, under which the program makes
// its private temporary folder when there is no runtime folder. They are the environment's for as long as
// the object lives; the environment it found comes back when it goes.

#include "support/TestEnvironment.h"

#include <QString>
#include <QTemporaryDir>

#include <optional>

namespace test_support {

class UserFolders {
public:
    // Without `runtimeFolder`, XDG_RUNTIME_DIR is unset, so that small temporary files fall back to
    // "<root>/tmp".
    explicit UserFolders(const QString& root, bool runtimeFolder = true);
    UserFolders(const UserFolders&) = delete;
    UserFolders& operator=(const UserFolders&) = delete;

    QString home() const { return root; }

private:
    QString root;
    EnvOverride homeEnv{"HOME", root};
    EnvOverride configEnv{"XDG_CONFIG_HOME", root + "/.config"};
    EnvOverride cacheEnv{"XDG_CACHE_HOME", root + "/.cache"};
    EnvOverride dataEnv{"XDG_DATA_HOME", root + "/.local/share"};
    EnvOverride temporaryEnv{"VISTRELLE_TMPDIR", root + "/tmp"};
    std::optional<EnvOverride> runtimeEnv;
};

// The user folders of one test process, made when it starts, before the application object or any test
// reads them: test programs run side by side (ctest -j) in one desktop session would otherwise share its
// runtime folder, where the program's pipes and claims have fixed names, and its caches and settings. A
// process that a test of this one starts (a death test, a TestChild) inherits them and works beside its
// parent; a child started without VISTRELLE_TEST_FOLDERS makes its own.
class ProcessUserFolders {
public:
    ProcessUserFolders();
    ProcessUserFolders(const ProcessUserFolders&) = delete;
    ProcessUserFolders& operator=(const ProcessUserFolders&) = delete;

    // The variable that names the folders' root to the processes this one starts.
    static constexpr const char* kRootVariable = "VISTRELLE_TEST_FOLDERS";

private:
    std::optional<QTemporaryDir> root; // "<temporary folder>/vistrelle-tests-XXXXXX", removed at the end
    std::optional<UserFolders> folders;
    std::optional<EnvOverride> rootEnv;
    std::optional<EnvOverride> shaderCacheEnv;
};

} // namespace test_support
