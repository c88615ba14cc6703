#include "support/FakeTools.h"

#include "platform/foundation/ToolLocator.h"

#include <QFile>

#include <gtest/gtest.h>

namespace test_support {

const QByteArray kMeddlingFunctions =
    "named() { case $1 in /proc/*) r=$(readlink -- \"$1\") && echo \"${r% (deleted)}\" && return;; esac; "
    "echo \"$1\"; }\n"
    "ownFileAt() { n=$(named \"$1\"); printf 'another program' > \"$n.other\" && mv -f \"$n.other\" \"$n\"; "
    "}\n"
    "linkAt() { n=$(named \"$2\"); ln -s \"$1\" \"$n.other\" && mv -Tf \"$n.other\" \"$n\"; }\n";

FakeTools::FakeTools()
    : saved(qgetenv("VISTRELLE_TOOLS_DIR")), wasSet(qEnvironmentVariableIsSet("VISTRELLE_TOOLS_DIR")) {
    qputenv("VISTRELLE_TOOLS_DIR", QFile::encodeName(dir.path()));
}

FakeTools::~FakeTools() {
    if (wasSet)
        qputenv("VISTRELLE_TOOLS_DIR", saved);
    else
        qunsetenv("VISTRELLE_TOOLS_DIR");
}

void FakeTools::add(const QString& name, const QByteArray& body) {
    QFile script(dir.file(name));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\n" + body + "\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void FakeTools::wrap(const QString& name, const QByteArray& prelude) {
    const QString real = platform::findOnSearchPath(name, qEnvironmentVariable("PATH"));
    ASSERT_FALSE(real.isEmpty()) << qPrintable(name);
    add(name, prelude + "\nexec " + QFile::encodeName(real) + " \"$@\"");
}

} // namespace test_support
