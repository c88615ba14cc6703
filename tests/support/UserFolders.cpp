#include "support/UserFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace test_support {

UserFolders::UserFolders(const QString& root, bool runtimeFolder) : root(root) {
    for (const char* folder : {"/.config", "/.cache", "/.local/share", "/tmp"})
        QDir().mkpath(root + QLatin1String(folder));
    const QString runtime = root + "/run";
    if (runtimeFolder) {
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    runtimeEnv.emplace("XDG_RUNTIME_DIR", runtimeFolder ? std::optional(runtime) : std::nullopt);
}

ProcessUserFolders::ProcessUserFolders() {
    const QString inherited = qEnvironmentVariable(kRootVariable);
    if (!inherited.isEmpty() && QFileInfo(inherited).isDir())
        return;
    root.emplace(QDir::tempPath() + QStringLiteral("/vistrelle-tests-XXXXXX"));
    if (!root->isValid())
        qFatal("cannot make the folders of a test process in %s", qPrintable(QDir::tempPath()));
    folders.emplace(root->path());
    rootEnv.emplace(kRootVariable, root->path());
    // The GL driver picks its shader cache once, when it first draws: under a test's own user it would be
    // gone for the tests after it.
    shaderCacheEnv.emplace("MESA_SHADER_CACHE_DIR", root->path() + "/.cache/mesa");
}

} // namespace test_support
