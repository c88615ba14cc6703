#include "support/ChildTest.h"

#include <QCoreApplication>
#include <QProcess>

namespace test_support {

ChildEnd runTestAsChild(const QString& test, const QProcessEnvironment& extra) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(extra);
    QProcess child;
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_also_run_disabled_tests"),
                                                          QStringLiteral("--gtest_filter=") + test});
    ChildEnd end;
    if (!child.waitForStarted(-1) || !child.waitForFinished(-1))
        return end;
    end.exitedNormally = child.exitStatus() == QProcess::NormalExit;
    end.exitCode = child.exitCode();
    end.output = child.readAllStandardOutput();
    end.errors = child.readAllStandardError();
    return end;
}

} // namespace test_support
