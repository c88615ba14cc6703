#include "support/PlantedEntries.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>

namespace test_support {
namespace {

bool makePipe(const QString& path) {
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

} // namespace

bool plantSocket(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    const qsizetype slash = name.lastIndexOf('/');
    const int folder =
        ::open(slash > 0 ? name.left(slash).constData() : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const int length = std::snprintf(address.sun_path, sizeof address.sun_path, "/proc/self/fd/%d/%s", folder,
                                     name.mid(slash + 1).constData());
    const bool bound = folder >= 0 && socket >= 0 && length > 0 &&
                       std::size_t(length) < sizeof address.sun_path &&
                       ::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (socket >= 0)
        ::close(socket);
    if (folder >= 0)
        ::close(folder);
    return bound;
}

const std::vector<PlantedEntry>& plantedEntries() {
    static const std::vector<PlantedEntry> entries = {
        {"a pipe", [](const QString& path, const QString&) { return makePipe(path); }},
        {"a folder", [](const QString& path, const QString&) { return QDir().mkdir(path); }},
        {"a link to a pipe",
         [](const QString& path, const QString& beside) {
             return makePipe(beside + "/pipe") && QFile::link(beside + "/pipe", path);
         }},
        {"a link to nothing",
         [](const QString& path, const QString& beside) { return QFile::link(beside + "/nothing", path); }},
    };
    return entries;
}

} // namespace test_support
