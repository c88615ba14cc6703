#pragma once

#include <QString>
#include <QTemporaryDir>

// A temporary folder for one test, removed with everything in it when the test ends.
class TempDir {
public:
    TempDir();
    QString path() const { return dir.path(); }
    QString file(const QString& name) const { return dir.filePath(name); }

private:
    QTemporaryDir dir;
};
