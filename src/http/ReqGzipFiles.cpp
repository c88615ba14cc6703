#include "http/ReqGzipFiles.h"

#include "http/ReqHTTPRequestErrors.h"

#include <QFile>

namespace ReqGzipFiles {

namespace {

platform::Error fileError(const QFile& file) {
    return platform::Error(QStringLiteral("org.vistrelle.file"), file.error(),
                           {{QLatin1String(platform::kLocalizedDescriptionKey), file.errorString()}});
}

bool failWith(platform::OptionalError* error, const platform::Error& failure) {
    if (error)
        *error = failure;
    return false;
}

} // namespace

bool run(const QString& sourcePath, const QString& destinationPath, qint64 chunkSize, const Steps& steps,
         platform::OptionalError* error) {
    QFile destination(destinationPath);
    if (!destination.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return failWith(error,
                        reqError(ReqCompressionError,
                                 QStringLiteral("%1 of %2 failed because we were to create a file at %3")
                                     .arg(steps.verb, sourcePath, destinationPath)));
    QFile source(sourcePath);
    if (!source.exists())
        return failWith(
            error,
            reqError(ReqCompressionError,
                     QStringLiteral("%1 of %2 failed the file does not exist").arg(steps.verb, sourcePath)));
    if (!source.open(QIODevice::ReadOnly))
        return failWith(error,
                        reqError(ReqCompressionError,
                                 QStringLiteral("%1 of %2 failed because we were unable to read from the "
                                                "source data file")
                                     .arg(steps.verb, sourcePath),
                                 fileError(source)));
    bool fullBefore = false;
    while (true) {
        const QByteArray chunk = source.read(chunkSize);
        if (source.error() != QFileDevice::NoError)
            return failWith(error,
                            reqError(ReqCompressionError,
                                     QStringLiteral("%1 of %2 failed because we were unable to read from "
                                                    "the source data file")
                                         .arg(steps.verb, sourcePath),
                                     fileError(source)));
        const bool last = chunk.size() < chunkSize;
        // An empty source stays empty; a source that ends on a full piece still gets its ending.
        if (!chunk.isEmpty() || fullBefore) {
            platform::OptionalError failure;
            const QByteArray out = steps.process(chunk, last, &failure);
            if (failure)
                return failWith(error, *failure);
            if (destination.write(out) != out.size())
                return failWith(error,
                                reqError(ReqCompressionError,
                                         QStringLiteral("%1 of %2 failed because we were unable to write to "
                                                        "the destination data file at %3")
                                             .arg(steps.verb, sourcePath, destinationPath),
                                         fileError(destination)));
        }
        if (last)
            break;
        fullBefore = true;
    }
    source.close();
    if (!destination.flush())
        return failWith(error,
                        reqError(ReqCompressionError,
                                 QStringLiteral("%1 of %2 failed because we were unable to write to the "
                                                "destination data file at %3")
                                     .arg(steps.verb, sourcePath, destinationPath),
                                 fileError(destination)));
    destination.close();
    if (const platform::OptionalError closed = steps.finish())
        return failWith(error, *closed);
    return true;
}

} // namespace ReqGzipFiles
