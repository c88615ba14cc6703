#pragma once

#include "render/Composition.h"

#include <functional>
#include <memory>

// The readers of composition files, by file type (the extension, without case). Our own format
// (BuiltInComposition, "vcomp") is known from the start; there is no reader of other composition formats,
// so such files do not load.
class CompositionRegistry {
public:
    // Makes the composition of a file, or null with *error set.
    using Reader = std::function<std::unique_ptr<Composition>(const QString& path, QString* error)>;

    // Installs (or with an empty reader removes) the reader of a file type.
    static void registerFormat(const QString& fileType, Reader reader);
    static QStringList fileTypes();
    // The composition of a file through the reader of its type; null, with *error set, when no reader takes
    // it or the reader refuses it.
    static std::unique_ptr<Composition> load(const QString& path, QString* error = nullptr);
};
