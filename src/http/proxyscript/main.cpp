// Runs one proxy auto-configuration script for one URL and prints its answer: "choices" or "failure", a
// newline, then the list of proxies or the reason. Its own process, so that the script's memory can be
// bounded by the system without touching the program that asked.
//
//   vistrelle-proxy-script <script file> <URL> <seconds> <memory budget in bytes>

#include "http/ReqPACEngine.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

int report(const char* kind, const QString& text) {
    const QByteArray out = QByteArray(kind) + '\n' + text.toUtf8();
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 5)
        return report("failure",
                      QStringLiteral("usage: vistrelle-proxy-script <script> <URL> <seconds> <bytes>"));
    QFile file(arguments[1]);
    if (!file.open(QIODevice::ReadOnly))
        return report("failure", QStringLiteral("the proxy script cannot be read: ") + file.errorString());
    const QString script = QString::fromUtf8(file.readAll());
    file.close();
    ReqPACLimits limits;
    limits.seconds = arguments[3].toDouble();
    limits.memoryBytes = arguments[4].toLongLong();
    ReqPACEngine::boundHeap(limits.memoryBytes);
    const ReqPACEngine::Result result =
        ReqPACEngine::evaluate(script, QUrl::fromEncoded(arguments[2].toLatin1()), limits);
    return result.failure.isEmpty() ? report("choices", result.answer) : report("failure", result.failure);
}
