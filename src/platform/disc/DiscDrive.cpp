#include "platform/disc/DiscDrive.h"

#include "platform/foundation/FileUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <libburn/libburn.h>

#include <unistd.h>

#include <vector>

namespace platform::disc {

namespace {

constexpr std::int64_t blockSize = 2048;
constexpr std::int64_t blocksPerRead = 16; // 32 KiB, the transfer unit DVD drives like best

MediaStatus mediaStatusFrom(burn::burn_disc_status status) {
    switch (status) {
    case burn::BURN_DISC_BLANK:
        return MediaStatus::Blank;
    case burn::BURN_DISC_EMPTY:
        return MediaStatus::NoMedium;
    case burn::BURN_DISC_APPENDABLE:
        return MediaStatus::Appendable;
    case burn::BURN_DISC_FULL:
        return MediaStatus::Full;
    case burn::BURN_DISC_UNSUITABLE:
        return MediaStatus::Unsuitable;
    default:
        return MediaStatus::Unknown;
    }
}

// Only the file this drive made is ever emptied or removed: through its descriptor, and its name only while
// it still leads there. The drive may still hold the file open, so it is emptied first: its space comes back
// now rather than at the release.
void discardPartial(UniqueFd& fd, QString& partial) {
    // Should it fail, the space comes back when the last descriptor on the file closes.
    if (fd.isValid()) [[maybe_unused]]
        const int emptied = ::ftruncate(fd.get(), 0);
    removePartialFile(fd.get(), partial);
    fd.reset();
    partial.clear();
}

} // namespace

std::shared_ptr<DiscDrive> DiscDrive::openImageFile(const QString& path, QString* error) {
    const QFileInfo target(path);
    if (target.isDir()) {
        if (error)
            *error = QStringLiteral("\"%1\" is a folder, not a disc image file.").arg(path);
        return nullptr;
    }
    QString partial;
    UniqueFd fd = openPartialFileBeside(target.absoluteFilePath(), &partial, error);
    if (!fd)
        return nullptr;
    // Should this process be killed, the next start removes the file: only a file nobody marks goes.
    markInUse(fd.get());
    // The library opens the drive's file by name, and again for each burn: it is named the file through the
    // descriptor, which reaches the file made here whatever has since taken its name.
    auto drive = open(pseudoDriveAddress(pathReaching(fd.get(), partial)), error);
    if (!drive) {
        discardPartial(fd, partial);
        return nullptr;
    }
    drive->imagePath = target.absoluteFilePath();
    drive->partialPath = partial;
    drive->partialFd = std::move(fd);
    return drive;
}

int DiscDrive::removeAbandonedImageFiles(const QString& folder) {
    static const QRegularExpression pattern(
        QStringLiteral("^%1$").arg(partialFileNamePattern(QStringLiteral("[^/]+\\.iso"))),
        QRegularExpression::CaseInsensitiveOption);
    return removeLeftovers(folder, pattern, LeftoverKind::RegularFile,
                           [&folder](const QRegularExpressionMatch& match) {
                               return isMarkedInUse(QDir(folder).filePath(match.captured(0)));
                           });
}

bool DiscDrive::commitImage(QString* error) {
    if (imagePath.isEmpty())
        return true;
    QString reason = QStringLiteral("this drive has no image to put there.");
    if (partialPath.isEmpty() || !commitPartialFile(partialFd.get(), partialPath, imagePath, &reason)) {
        if (error)
            *error = QStringLiteral("The disc image could not be put at \"%1\": %2").arg(imagePath, reason);
        discardImage();
        return false;
    }
    partialPath.clear();
    partialFd.reset();
    return true;
}

void DiscDrive::discardImage() {
    if (partialPath.isEmpty())
        return;
    discardPartial(partialFd, partialPath);
}

std::shared_ptr<DiscDrive> DiscDrive::open(const QString& address, QString* error) {
    auto library = DiscLibrary::acquire(error);
    if (!library)
        return nullptr;
    QByteArray native = address.toLocal8Bit();
    std::uint64_t mark = DiscLibrary::messageMark();
    burn::burn_drive_info* grabbed = nullptr;
    int status = 0;
    {
        auto guard = DiscLibrary::lock();
        status = burn::burn_drive_scan_and_grab(&grabbed, native.data(), 1);
        if (status == 1)
            library->driveOpened();
    }
    if (status != 1) {
        if (error)
            *error =
                DiscLibrary::explained(QStringLiteral("The drive \"%1\" could not be opened.").arg(address),
                                       DiscLibrary::messagesSince(mark));
        return nullptr;
    }
    return std::make_shared<DiscDrive>(Key{}, library, grabbed, address);
}

QString DiscDrive::pseudoDriveAddress(const QString& filePath) {
    return QStringLiteral("stdio:") + QFileInfo(filePath).absoluteFilePath();
}

DiscDrive::DiscDrive(Key, std::shared_ptr<DiscLibrary> library, burn::burn_drive_info* grabbed,
                     const QString& address)
    : session(std::move(library)), grabbed(grabbed), drive(grabbed[0].drive), driveAddress(address) {
    driveInfo = {address, QString::fromLatin1(grabbed[0].vendor).trimmed(),
                 QString::fromLatin1(grabbed[0].product).trimmed(),
                 QString::fromLatin1(grabbed[0].revision).trimmed()};
}

DiscDrive::~DiscDrive() {
    {
        auto guard = DiscLibrary::lock();
        burn::burn_drive_release(drive, 0);
        burn::burn_drive_info_free(grabbed);
        session->driveClosed();
    }
    discardImage(); // an image never committed leaves nothing behind
}

bool DiscDrive::isPseudoDrive() const {
    return burn::burn_drive_get_drive_role(drive) != 1;
}

bool DiscDrive::canReadBack() const {
    int role = burn::burn_drive_get_drive_role(drive);
    return role == 1 || role == 2 || role == 4;
}

MediaInfo DiscDrive::mediaInfo() const {
    MediaInfo info;
    char name[80] = {};
    if (burn::burn_disc_get_profile(drive, &info.profileCode, name) != 1)
        info.profileCode = 0;
    info.profile = mediaProfileFromCode(info.profileCode);
    info.profileName = QString::fromLatin1(name);
    info.status = mediaStatusFrom(burn::burn_disc_get_status(drive));
    info.erasable = burn::burn_disc_erasable(drive) != 0;
    info.freeBlocks = static_cast<std::int64_t>(burn::burn_disc_available_space(drive, nullptr)) / blockSize;
    return info;
}

bool DiscDrive::readBlocks(std::int64_t firstBlock, std::int64_t count,
                           const std::function<bool(const std::uint8_t*, std::size_t)>& sink,
                           QString* error) const {
    std::vector<char> buffer(blocksPerRead * blockSize);
    std::uint64_t mark = DiscLibrary::messageMark();
    for (std::int64_t done = 0; done < count;) {
        std::int64_t blocks = std::min(blocksPerRead, count - done);
        off_t wanted = static_cast<off_t>(blocks * blockSize);
        off_t got = 0;
        int status = burn::burn_read_data(drive, static_cast<off_t>((firstBlock + done) * blockSize),
                                          buffer.data(), wanted, &got, 0);
        if (status <= 0 || got != wanted) {
            if (error)
                *error = DiscLibrary::explained(QStringLiteral("The medium could not be read at block %1.")
                                                    .arg(firstBlock + done + got / blockSize),
                                                DiscLibrary::messagesSince(mark));
            return false;
        }
        if (!sink(reinterpret_cast<const std::uint8_t*>(buffer.data()), static_cast<std::size_t>(wanted)))
            return false;
        done += blocks;
    }
    return true;
}

bool DiscDrive::claim() {
    bool expected = false;
    return claimed.compare_exchange_strong(expected, true);
}

void DiscDrive::unclaim() {
    claimed.store(false);
}

} // namespace platform::disc
