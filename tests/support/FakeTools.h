#pragma once

// Stand-ins for the outside programs (ffmpeg, spumux, dvdauthor, mkisofs, pngquant): shell scripts in a
// folder that the tool search looks at first.

#include "support/TempDir.h"

#include <QByteArray>
#include <QString>

namespace test_support {

// Shell functions for the prelude of a wrapped tool, as another program at work on the names of the files the
// tool is handed, while it starts: `ownFileAt NAME` puts a small file of that program's in place of whatever
// stands at NAME, `linkAt TARGET NAME` a link to TARGET. A descriptor path ("/proc/<pid>/fd/<n>") given as
// NAME stands for the name of the file it leads to.
extern const QByteArray kMeddlingFunctions;

// Puts a folder of stand-in tools first in the tool search for its lifetime.
class FakeTools {
public:
    FakeTools();
    ~FakeTools();
    FakeTools(const FakeTools&) = delete;
    FakeTools& operator=(const FakeTools&) = delete;

    // Writes an executable shell script named `name` with `body` after the "#!/bin/sh" line.
    void add(const QString& name, const QByteArray& body);
    // A stand-in that runs the real program found on PATH after `prelude`.
    void wrap(const QString& name, const QByteArray& prelude);
    QString file(const QString& name) const { return dir.file(name); }
    QString path() const { return dir.path(); }

private:
    TempDir dir;
    QByteArray saved;
    bool wasSet;
};

} // namespace test_support
