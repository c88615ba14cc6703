#pragma once

#include "platform/foundation/Error.h"

#include <QByteArray>
#include <QString>

#include <functional>

// The file loop both gzip classes share: read the source in pieces, pass each through the stream, write
// the result, with the texts of their errors.
namespace ReqGzipFiles {

struct Steps {
    QString verb; // "Compression" or "Decompression"
    // One piece; `last` when the source has ended with it (an empty last piece may follow a full one).
    std::function<QByteArray(const QByteArray& chunk, bool last, platform::OptionalError* error)> process;
    std::function<platform::OptionalError()> finish;
};

bool run(const QString& sourcePath, const QString& destinationPath, qint64 chunkSize, const Steps& steps,
         platform::OptionalError* error);

} // namespace ReqGzipFiles
