// Runs one proxy auto-configuration script, read from standard input, for one URL and prints its answer:
// "choices" or "failure", a newline, then the list of proxies or the reason. Its own process, so that the
// script's memory can be bounded by the system without touching the program that asked.
//
//   vistrelle-proxy-script <URL> <seconds> <memory budget in bytes> < script

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

#if defined(__SANITIZE_ADDRESS__)
// Under the address sanitizer an allocation refused by the heap bound would end the runner with the
// sanitizer's report and a plain failure; refused as without it, it ends the script as too large.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}
#endif

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 4)
        return report("failure",
                      QStringLiteral("usage: vistrelle-proxy-script <URL> <seconds> <bytes> < script"));
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        return report("failure", QStringLiteral("the proxy script cannot be read: ") + input.errorString());
    const QString script = QString::fromUtf8(input.readAll());
    input.close();
    ReqPACLimits limits;
    limits.seconds = arguments[2].toDouble();
    limits.memoryBytes = arguments[3].toLongLong();
    ReqPACEngine::boundHeap(limits.memoryBytes);
    const ReqPACEngine::Result result =
        ReqPACEngine::evaluate(script, QUrl::fromEncoded(arguments[1].toLatin1()), limits);
    return result.failure.isEmpty() ? report("choices", result.answer) : report("failure", result.failure);
}
