#pragma once

#include <QDir>
#include <QFile>
#include <QString>

#include <unistd.h>

namespace test_support {

// While it lives, a folder can no longer be written: made read-only, or, for root, whom modes do not stop,
// moved away as well.
class UnwritableFolder {
public:
    explicit UnwritableFolder(const QString& path) : folder(path) {
        made = QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner) &&
               (::geteuid() != 0 || QDir().rename(folder, folder + ".away"));
    }
    ~UnwritableFolder() {
        if (::geteuid() == 0)
            QDir().rename(folder + ".away", folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    UnwritableFolder(const UnwritableFolder&) = delete;
    UnwritableFolder& operator=(const UnwritableFolder&) = delete;

    bool isMade() const { return made; }

private:
    QString folder;
    bool made = false;
};

} // namespace test_support
