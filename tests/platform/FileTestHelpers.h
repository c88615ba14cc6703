#pragma once

#include "support/FileSizeLimit.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <sys/types.h>

namespace filetest {

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& data, mode_t mode = 0644);
// Every name in a folder, hidden ones included.
QStringList entries(const QString& folder);
mode_t modeOf(const QString& path); // permission bits, not following links
bool exists(const QString& path);   // anything there, dangling links included

// One line per entry below root (relative path, type, mode, contents or link target), to compare trees.
QMap<QString, QString> describeTree(const QString& root);

using test_support::FileSizeLimit;

} // namespace filetest
