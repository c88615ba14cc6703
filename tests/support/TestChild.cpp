#include "support/TestChild.h"

#include <QCoreApplication>
#include <QProcessEnvironment>

#include <unistd.h>

#include <cstdio>

TestChild::TestChild(const QString& test, const QMap<QString, QString>& environment) {
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    for (auto it = environment.cbegin(); it != environment.cend(); ++it)
        variables.insert(it.key(), it.value());
    process.setProcessEnvironment(variables);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QCoreApplication::applicationFilePath(),
                  {"--gtest_also_run_disabled_tests", "--gtest_filter=" + test});
}

TestChild::~TestChild() {
    kill();
}

bool TestChild::waitForLine(const QByteArray& line) {
    while (!said().toUtf8().contains(line + '\n'))
        if (!process.waitForReadyRead(-1))
            return said().toUtf8().contains(line + '\n');
    return true;
}

bool TestChild::finish() {
    process.closeWriteChannel();
    process.waitForFinished(-1);
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

void TestChild::kill() {
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished(-1);
}

QString TestChild::said() {
    output += process.readAll();
    return QString::fromUtf8(output);
}

void TestChild::tellParent(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

void TestChild::waitForParent() {
    char scrap = 0;
    while (::read(STDIN_FILENO, &scrap, 1) > 0) {
    }
}
