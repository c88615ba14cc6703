#include "platform/image/PictureReading.h"

#include "platform/foundation/FileUtils.h"
#include "platform/foundation/StringTable.h"
#include "platform/image/DecodeBudget.h"
#include "platform/image/JpegDecoder.h"
#include "platform/image/PictureDamage.h"
#include "platform/image/PngDecoder.h"
#include "platform/image/Resampling.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <optional>
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

// An end-of-image marker within the bytes; `carried` is the byte before them.
bool holdsEndMarker(const QByteArray& bytes, char carried) {
    return bytes.contains(QByteArrayView("\xFF\xD9", 2)) || (carried == '\xFF' && bytes.startsWith('\xD9'));
}

// The end of a picture is the end of its file but for what a camera or an editor puts after it, which is
// seldom more than this.
constexpr qint64 kTailBytes = 16 * 1024;
constexpr qint64 kHeadBytes = 16 * 1024;
constexpr qint64 kScanChunk = 1024 * 1024;

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

// What the reader's decode of the whole picture allocates: it is made in the format the reader tells (8 bytes
// a pixel for 16 bits a sample, 1 for grey), which is what the readers' allocation limit judges.
qint64 wholeDecodeBytes(const QImageReader& reader, const QSize& stored) {
    const QImage::Format format = reader.imageFormat();
    const qint64 bits = format == QImage::Format_Invalid ? 32 : QImage::toPixelFormat(format).bitsPerPixel();
    return (stored.width() * bits + 31) / 32 * 4 * stored.height();
}

// What Qt's readers will make of the picture `reader` reads, told from its header.
struct QtRead {
    Picture picture; // its size, or why it is not read
    QSize wanted;    // as seen
    bool quarter = false;
    qint64 heldBytes = 0; // what the decode holds: the whole picture, and the picture at the size asked
};

QtRead planQtRead(QImageReader& reader, const PictureRequest& request, JpegStage stage) {
    QtRead plan;
    reader.setAutoTransform(request.turn);
    const QSize stored = reader.size();
    if (!reader.canRead() || !stored.isValid() || stored.isEmpty()) {
        plan.picture = faulted(PictureFault::NotPicture);
        return plan;
    }
    plan.quarter = request.turn && (reader.transformation() & QImageIOHandler::TransformationRotate90);
    plan.picture.size = plan.quarter ? stored.transposed() : stored;
    const qint64 pixels = qint64(stored.width()) * stored.height();
    const qint64 whole = wholeDecodeBytes(reader, stored);
    if (pixels > kMostPicturePixels || whole > kMostWholePictureBytes) {
        plan.picture = faulted(PictureFault::TooLarge, plan.picture.size);
        return plan;
    }
    plan.wanted =
        requestedSize(plan.picture.size, stage == JpegStage::Judge ? judging(plan.picture.size) : request);
    plan.heldBytes = whole + qint64(plan.wanted.width()) * plan.wanted.height() * 4;
    return plan;
}

// The picture `device` holds, read by Qt's readers; `bytes`, when given, are its bytes, judged by their
// structure (BMP, GIF), which those readers fill in without a word. Reserves what the decode holds unless
// the caller `reserved` it.
Picture readWithQt(QIODevice& device, const PictureRequest& request, JpegStage stage, const QByteArray* bytes,
                   bool reserved = false) {
    boundQtReaders();
    QImageReader reader(&device);
    QtRead plan = planQtRead(reader, request, stage);
    Picture& picture = plan.picture;
    if (picture.fault != PictureFault::None || stage == JpegStage::Header)
        return picture;
    std::optional<DecodeBudget::Reservation> held;
    if (!reserved && !(held = reserveDecode(plan.heldBytes)))
        return faulted(PictureFault::Stopped, picture.size);
    if (plan.wanted != picture.size)
        reader.setScaledSize(plan.quarter ? plan.wanted.transposed() : plan.wanted);
    QImage image = reader.read();
    if (image.isNull())
        return faulted(PictureFault::Damaged, picture.size);
    picture.whole = !bytes || pictureDataWhole(*bytes);
    if (stage == JpegStage::Judge)
        return picture;
    if (image.size() != plan.wanted) // a reader that ignored the scaled size
        image = resampled(image, plan.wanted);
    picture.image = std::move(image);
    return picture;
}

// The picture `bytes` hold, read by Qt's readers from memory.
Picture readBytesWithQt(const QByteArray& bytes, const PictureRequest& request, JpegStage stage,
                        bool reserved = false) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readWithQt(buffer, request, stage, &bytes, reserved);
}

Picture readBytes(const QByteArray& bytes, const PictureRequest& request, JpegStage stage) {
    if (bytes.isEmpty())
        return faulted(PictureFault::NotPicture);
    if (detail::isJpegSignature(bytes))
        return detail::readJpeg(memoryInput(bytes), request, stage);
    if (detail::isPngSignature(bytes))
        return detail::readPng(memoryInput(bytes), request, stage);
    return readBytesWithQt(bytes, request, stage);
}

// The picture of the regular file open at fd, read from its start.
Picture readOpenFile(UniqueFd fd, const PictureRequest& request, JpegStage stage) {
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || ::lseek(fd.get(), 0, SEEK_SET) != 0)
        return faulted(PictureFault::Unreadable);
    const QByteArray start = bytesAt(fd.get(), 0, kStartBytes);
    if (start.isEmpty())
        return faulted(PictureFault::NotPicture);
    // A JPEG or a PNG is decoded as it is read, its damage told in the same pass.
    if (detail::isJpegSignature(start))
        return detail::readJpeg(fileInput(fd.get()), request, stage);
    if (detail::isPngSignature(start))
        return detail::readPng(fileInput(fd.get()), request, stage);
    QFile file;
    if (!file.open(fd.release(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return faulted(PictureFault::Unreadable);
    if (stage == JpegStage::Header)
        return readWithQt(file, request, stage, nullptr);
    // The rest are judged by their structure, on the very bytes decoded: a file changed between two reads
    // cannot pass with one and show the other.
    boundQtReaders();
    qint64 heldBytes = 0;
    {
        QImageReader reader(&file);
        const QtRead plan = planQtRead(reader, request, stage);
        if (plan.picture.fault != PictureFault::None)
            return plan.picture;
        if (file.size() > kMostWholePictureBytes)
            return faulted(PictureFault::TooLarge, plan.picture.size);
        heldBytes = file.size() + plan.heldBytes;
    }
    const std::optional<DecodeBudget::Reservation> held = reserveDecode(heldBytes);
    if (!held)
        return faulted(PictureFault::Stopped);
    file.seek(0);
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty())
        return faulted(PictureFault::NotPicture);
    return readBytesWithQt(bytes, request, stage, true);
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
    case PictureFault::Unsupported:
        return tr_("not supported");
    case PictureFault::Stopped:
        return tr_("not read: stopped");
    case PictureFault::TooLarge:
        return size.isValid() ? tr_("too large: %1 x %2").arg(size.width()).arg(size.height())
                              : tr_("too large");
    }
    return QString();
}

bool isCutShortJpeg(const QString& path) {
    const UniqueFd fd = openRegularFile(path);
    struct stat status {};
    if (!fd || ::fstat(fd.get(), &status) != 0)
        return false;
    const qint64 size = status.st_size;
    // Read at once, the start holds the segments before the first scan but for long ones (a large preview).
    const QByteArray head = bytesAt(fd.get(), 0, kHeadBytes);
    if (!head.startsWith("\xFF\xD8"))
        return false;
    // The segments before the first scan carry their lengths; the scans' coded data holds no FF D9 but the
    // end-of-image marker, as a coded FF is always followed by 00 or a restart number.
    qint64 at = 2;
    while (true) {
        const QByteArray segment = at + 4 <= head.size() ? head.mid(at, 4) : bytesAt(fd.get(), at, 4);
        if (segment.size() < 4)
            return true; // the header itself is cut
        if (uchar(segment[0]) != 0xFF)
            return false;
        const uchar marker = uchar(segment[1]);
        if (marker == 0xFF || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += marker == 0xFF ? 1 : 2; // fill byte, or a marker without a length
            continue;
        }
        if (marker == 0xD9)
            return false;
        at += 2 + ((qint64(uchar(segment[2])) << 8) | uchar(segment[3]));
        if (marker == 0xDA)
            break;
    }
    if (at > size)
        return true;
    // The tail is read from one byte before it, so that a marker split across its start is seen whole.
    const qint64 tail = std::max(at, size - kTailBytes);
    const qint64 tailFrom = std::max(at, tail - 1);
    if (holdsEndMarker(bytesAt(fd.get(), tailFrom, size - tailFrom), 0))
        return false;
    // Something long follows the picture: the whole of the scans is looked through.
    char carried = 0;
    for (qint64 from = at; from < tail; from += kScanChunk) {
        const QByteArray chunk = bytesAt(fd.get(), from, std::min(kScanChunk, tail - from));
        if (chunk.isEmpty())
            break;
        if (holdsEndMarker(chunk, carried))
            return false;
        carried = chunk.back();
    }
    return !pictureDecodes(path);
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
