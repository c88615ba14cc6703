#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <sys/resource.h>
#include <sys/types.h>

#include <csignal>

namespace filetest {

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& data, mode_t mode = 0644);
// Every name in a folder, hidden ones included.
QStringList entries(const QString& folder);
mode_t modeOf(const QString& path); // permission bits, not following links
bool exists(const QString& path);   // anything there, dangling links included

// One line per entry below root (relative path, type, mode, contents or link target), to compare trees.
QMap<QString, QString> describeTree(const QString& root);

// Caps the size of files this process may write, so that writes fail part-way with EFBIG, even for
// root (who can read and write anything regardless of permission bits).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    struct sigaction m_oldAction {};
};

} // namespace filetest
