#include "webservice/BaseClasses/DSEntryBase.h"

#include "webservice/HTTPFetcher/NetGatherInputStream.h"
#include "webservice/HTTPFetcher/NetMIMEDocument.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

platform::Error fileError(int number, const QString& what) {
    return platform::Error(QString::fromLatin1(kNetPOSIXErrorDomain), number,
                           {{QLatin1String(platform::kLocalizedDescriptionKey),
                             QStringLiteral("The movie to upload could not be read (%1: %2).")
                                 .arg(what, QString::fromLocal8Bit(std::strerror(number)))}});
}

// Reads the whole file from its start without moving the descriptor's own position, which the uploader may
// rely on. A file that ends before the size it had when the read began counts as unreadable.
platform::OptionalError readWholeFile(int fd, QByteArray* contents) {
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return fileError(errno, QStringLiteral("fstat"));
    QByteArray bytes;
    if (S_ISREG(status.st_mode))
        bytes.reserve(qsizetype(status.st_size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, off_t(bytes.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return fileError(errno, QStringLiteral("read"));
        if (got == 0)
            break;
        bytes.append(buffer, qsizetype(got));
    }
    if (S_ISREG(status.st_mode) && bytes.size() < status.st_size)
        return fileError(EIO, QStringLiteral("the file got shorter"));
    *contents = bytes;
    return std::nullopt;
}

} // namespace

DSHTTPHeaders DSEntryBase::contentHeaders() const {
    DSHTTPHeaders headers;
    if (uploadMIMEType_.isEmpty())
        return headers;
    headers.insert(QStringLiteral("Content-Type"), uploadMIMEType_);
    headers.insert(QStringLiteral("MIME-Version"), QStringLiteral("1.0"));
    if (!uploadSlug_.isEmpty())
        headers.insert(QStringLiteral("Slug"), uploadSlug_);
    return headers;
}

platform::OptionalError DSEntryBase::readMedia(QByteArray* media) const {
    if (!uploadData_.isNull() || !uploadFileHandle_) {
        *media = uploadData_;
        return std::nullopt;
    }
    if (!uploadFileHandle_->isValid())
        return fileError(EBADF, QStringLiteral("no open file"));
    return readWholeFile(uploadFileHandle_->get(), media);
}

platform::OptionalError DSEntryBase::uploadMediaError() const {
    if (!uploadData_.isNull() || !uploadFileHandle_)
        return std::nullopt;
    if (!uploadFileHandle_->isValid())
        return fileError(EBADF, QStringLiteral("no open file"));
    char first = 0;
    ssize_t got = 0;
    do
        got = ::pread(uploadFileHandle_->get(), &first, 1, 0);
    while (got < 0 && errno == EINTR);
    if (got < 0)
        return fileError(errno, QStringLiteral("read"));
    return std::nullopt;
}

DSUploadBody DSEntryBase::generateContentInputStream() const {
    DSUploadBody body;
    if (uploadMIMEType_.isEmpty())
        return body;
    QByteArray media;
    if (const platform::OptionalError error = readMedia(&media)) {
        body.error = error;
        return body;
    }
    if (media.isEmpty())
        return body;
    if (shouldUploadDataOnly_) {
        body.length = quint64(media.size());
        body.stream = NetGatherInputStream::streamWithArray({media});
        body.headers = contentHeaders();
        return body;
    }
    // The entry's element alone: an XML declaration in the middle of a MIME document is not wanted.
    const QByteArray xml = XMLElement()->XMLString().toUtf8();
    NetMIMEDocument document;
    document.addPartWithHeaders(
        {{QStringLiteral("Content-Type"), QStringLiteral("application/atom+xml; charset=UTF-8")}}, xml);
    document.addPartWithHeaders({{QStringLiteral("Content-Type"), uploadMIMEType_},
                                 {QStringLiteral("Content-Transfer-Encoding"), QStringLiteral("binary")}},
                                media);
    NetMIMEDocument::GeneratedBody generated = document.generateInputStream();
    body.stream = std::move(generated.stream);
    body.length = generated.length;
    body.headers.insert(QStringLiteral("Content-Type"),
                        QStringLiteral("multipart/related; boundary=\"%1\"").arg(generated.boundary));
    body.headers.insert(QStringLiteral("MIME-Version"), QStringLiteral("1.0"));
    if (!uploadSlug_.isEmpty())
        body.headers.insert(QStringLiteral("Slug"), uploadSlug_);
    return body;
}
