#include "platform/image/PictureReading.h"

#include "platform/foundation/FileUtils.h"
#include "platform/foundation/StringTable.h"
#include "platform/image/JpegDecoder.h"
#include "platform/image/PictureDamage.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::image {

namespace {

using detail::JpegStage;

constexpr qint64 kStartBytes = 32;
constexpr int kJudgeReduction = 8;

// Qt's readers refuse to allocate more than this for one picture, whatever a caller of theirs forgets.
void boundQtReaders() {
    static std::once_flag once;
    std::call_once(once, [] { QImageReader::setAllocationLimit(int(kMostWholePictureBytes >> 20)); });
}

Picture faulted(PictureFault fault, const QSize& size = QSize()) {
    Picture picture;
    picture.fault = fault;
    picture.size = size;
    return picture;
}

bool isPng(const QByteArray& start) {
    return start.startsWith("\x89PNG\r\n\x1A\n");
}

// Qt's PNG reader reduces row by row only a picture that is not interlaced (its flag ends the header).
bool decodesReduced(const QByteArray& start) {
    constexpr int kInterlaceFlag = 28;
    return isPng(start) && start.size() > kInterlaceFlag && start[kInterlaceFlag] == 0;
}

// Up to `count` bytes of the file from `at` into `buffer`: how many, 0 at its end, negative on an error.
qint64 readAt(int fd, char* buffer, qint64 count, qint64 at) {
    ssize_t got;
    do
        got = ::pread(fd, buffer, std::size_t(count), off_t(at));
    while (got < 0 && errno == EINTR);
    return qint64(got);
}

QByteArray bytesAt(int fd, qint64 at, qint64 count) {
    QByteArray bytes(count, Qt::Uninitialized);
    bytes.resize(std::max<qint64>(readAt(fd, bytes.data(), count, at), 0));
    return bytes;
}

detail::JpegInput fileInput(int fd) {
    return [fd, at = qint64(0)](char* buffer, qint64 capacity) mutable {
        const qint64 got = readAt(fd, buffer, capacity, at);
        at += std::max<qint64>(got, 0);
        return got;
    };
}

detail::JpegInput memoryInput(const QByteArray& bytes) {
    return [&bytes, at = qint64(0)](char* buffer, qint64 capacity) mutable {
        const qint64 count = std::min(capacity, bytes.size() - at);
        std::copy_n(bytes.constData() + at, count, buffer);
        at += count;
        return count;
    };
}

// What a read needs of its request when it only judges: the smallest picture, still from every coded byte.
PictureRequest judging(const QSize& seen) {
    PictureRequest request;
    request.bound =
        QSize(std::max(1, seen.width() / kJudgeReduction), std::max(1, seen.height() / kJudgeReduction));
    request.judge = true;
    return request;
}

// The picture `device` holds, read by Qt's readers; `bytes`, when given, are its bytes, judged by their
// structure (BMP, GIF), which those readers fill in without a word.
Picture readWithQt(QIODevice& device, const QByteArray& start, const PictureRequest& request, JpegStage stage,
                   const QByteArray* bytes) {
    boundQtReaders();
    QImageReader reader(&device);
    reader.setAutoTransform(request.turn);
    const QSize stored = reader.size();
    if (!reader.canRead() || !stored.isValid() || stored.isEmpty())
        return faulted(PictureFault::NotPicture);
    const bool quarter = request.turn && (reader.transformation() & QImageIOHandler::TransformationRotate90);
    Picture picture;
    picture.size = quarter ? stored.transposed() : stored;
    const qint64 pixels = qint64(stored.width()) * stored.height();
    if (pixels > kMostPicturePixels || (!decodesReduced(start) && pixels * 4 > kMostWholePictureBytes))
        return faulted(PictureFault::TooLarge, picture.size);
    if (stage == JpegStage::Header)
        return picture;
    const QSize wanted =
        requestedSize(picture.size, stage == JpegStage::Judge ? judging(picture.size) : request);
    if (wanted != picture.size)
        reader.setScaledSize(quarter ? wanted.transposed() : wanted);
    QImage image = reader.read();
    if (image.isNull())
        return faulted(PictureFault::Damaged, picture.size);
    picture.whole = !bytes || pictureDataWhole(*bytes);
    if (stage == JpegStage::Judge)
        return picture;
    if (image.size() != wanted) // a reader that ignored the scaled size
        image = image.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    picture.image = std::move(image);
    return picture;
}

Picture readBytes(const QByteArray& bytes, const PictureRequest& request, JpegStage stage) {
    if (bytes.isEmpty())
        return faulted(PictureFault::NotPicture);
    if (detail::isJpegSignature(bytes))
        return detail::readJpeg(memoryInput(bytes), request, stage);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readWithQt(buffer, bytes.left(kStartBytes), request, stage, &bytes);
}

// The picture of the regular file open at fd, read from its start.
Picture readOpenFile(UniqueFd fd, const PictureRequest& request, JpegStage stage) {
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || ::lseek(fd.get(), 0, SEEK_SET) != 0)
        return faulted(PictureFault::Unreadable);
    const QByteArray start = bytesAt(fd.get(), 0, kStartBytes);
    if (start.isEmpty())
        return faulted(PictureFault::NotPicture);
    // A JPEG is decoded as it is read, its damage told in the same pass.
    if (detail::isJpegSignature(start))
        return detail::readJpeg(fileInput(fd.get()), request, stage);
    QFile file;
    if (!file.open(fd.release(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return faulted(PictureFault::Unreadable);
    // So is a PNG, whose decode fails where its data does.
    if (stage == JpegStage::Header || isPng(start))
        return readWithQt(file, start, request, stage, nullptr);
    // The rest are judged by their structure, on the very bytes decoded: a file changed between two reads
    // cannot pass with one and show the other.
    const Picture header = readWithQt(file, start, request, JpegStage::Header, nullptr);
    if (header.fault != PictureFault::None)
        return header;
    if (file.size() > kMostWholePictureBytes)
        return faulted(PictureFault::TooLarge, header.size);
    file.seek(0);
    return readBytes(file.readAll(), request, stage);
}

Picture readFile(const QString& path, const PictureRequest& request, JpegStage stage) {
    return readOpenFile(openRegularFile(path), request, stage);
}

} // namespace

QString Picture::reason() const {
    switch (fault) {
    case PictureFault::None:
        return QString();
    case PictureFault::Unreadable:
        return tr_("cannot be read");
    case PictureFault::NotPicture:
        return tr_("not a picture");
    case PictureFault::Damaged:
        return tr_("damaged");
    case PictureFault::TooLarge:
        return size.isValid() ? tr_("too large: %1 x %2").arg(size.width()).arg(size.height())
                              : tr_("too large");
    }
    return QString();
}

QSize requestedSize(const QSize& seen, const PictureRequest& request) {
    if (!request.bound.isValid() || seen.isEmpty())
        return seen;
    const QSize scaled = seen.scaled(request.bound, request.fit);
    return scaled.width() < seen.width() ? scaled.expandedTo(QSize(1, 1)) : seen;
}

Picture readPicture(const QString& path, const PictureRequest& request) {
    return readFile(path, request, JpegStage::Pixels);
}

Picture readOpenPicture(int fd, const PictureRequest& request) {
    return readOpenFile(UniqueFd(::fcntl(fd, F_DUPFD_CLOEXEC, 0)), request, JpegStage::Pixels);
}

Picture readPictureData(const QByteArray& bytes, const PictureRequest& request) {
    return readBytes(bytes, request, JpegStage::Pixels);
}

Picture readPictureHeader(const QString& path) {
    return readFile(path, {}, JpegStage::Header);
}

bool pictureDecodes(const QString& path) {
    const Picture judged = readFile(path, {}, JpegStage::Judge);
    return judged.fault == PictureFault::None && judged.whole;
}

} // namespace platform::image
