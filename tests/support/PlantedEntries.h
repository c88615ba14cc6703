#pragma once

#include <QString>

#include <functional>
#include <vector>

namespace test_support {

// What may stand at a fixed name that the program opens as a file of its own, and must neither wait on,
// follow nor take for its file: a pipe (whose open waits for the other end), a folder, and links. Each plants
// itself at `path`; what a link points to goes into `beside`, a folder of the test's.
struct PlantedEntry {
    const char* what;
    std::function<bool(const QString& path, const QString& beside)> plant;
};
const std::vector<PlantedEntry>& plantedEntries();

// Leaves a Unix socket at `path`, as a program that listened there and went would; reached through its
// folder's descriptor, so a path longer than a socket address holds will do.
bool plantSocket(const QString& path);

} // namespace test_support
