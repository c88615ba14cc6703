#include "support/PlantedEntries.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace test_support {
namespace {

bool makePipe(const QString& path) {
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

} // namespace

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
