#include "FileTestHelpers.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

namespace filetest {

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& data, mode_t mode) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size())
        throw std::runtime_error("cannot write a test file");
    file.close();
    ::chmod(QFile::encodeName(path).constData(), mode);
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

mode_t modeOf(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

bool exists(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

QMap<QString, QString> describeTree(const QString& root) {
    QMap<QString, QString> tree;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = QDir(root).relativeFilePath(path);
        struct stat st {};
        ::lstat(QFile::encodeName(path).constData(), &st);
        QString line = QString::number(st.st_mode, 8) + QLatin1Char(' ');
        if (S_ISLNK(st.st_mode)) {
            char target[4096] = {};
            const ssize_t length = ::readlink(QFile::encodeName(path).constData(), target, sizeof target - 1);
            line += QLatin1String("-> ") + QString::fromUtf8(target, length > 0 ? length : 0);
        } else if (S_ISREG(st.st_mode)) {
            line += QString::fromLatin1(readFile(path).toHex().left(64)) + QLatin1Char(' ') +
                    QString::number(st.st_size) + QLatin1Char(' ') + QString::number(st.st_mtim.tv_sec);
        } else if (S_ISDIR(st.st_mode)) {
            line += QString::number(st.st_mtim.tv_sec);
        }
        tree.insert(name, line);
    }
    return tree;
}

} // namespace filetest
