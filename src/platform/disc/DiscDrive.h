#pragma once

#include "platform/disc/DiscLibrary.h"
#include "platform/disc/MediaProfile.h"
#include "platform/foundation/UniqueFd.h"

#include <QString>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace burn {
struct burn_drive;
struct burn_drive_info;
} // namespace burn

namespace platform::disc {

// One recorder, held exclusively by this process from open() until the object goes.
//
// The address is a device ("/dev/sr0", as DiscLibrary::listDrives() reports it) or "stdio:<path>", the
// library's pseudo-drive that records into a regular file as if it were an overwritable DVD (tests burn
// without hardware through it). A drive is used from one thread at a time; while a DiscBurner has claimed
// it, the burner's worker is the only thread that operates it.
class DiscDrive {
    struct Key {
        explicit Key() = default;
    };

public:
    static std::shared_ptr<DiscDrive> open(const QString& address, QString* error = nullptr);
    static QString pseudoDriveAddress(const QString& filePath); // "stdio:" + the absolute path
    // A disc image file as the drive, written in one piece: the pseudo-drive records into a new hidden file
    // beside `path` (platform::openPartialFileBeside), reached through the descriptor kept here so that
    // nothing put at its name is ever written, and commitImage() moves it to `path`. Until then whatever is
    // at `path` stays as it was; discardImage(), or the drive going, removes the partial file (its name only
    // while it still leads to it).
    // The partial file is marked in use while the drive holds it (platform::markInUse).
    static std::shared_ptr<DiscDrive> openImageFile(const QString& path, QString* error = nullptr);
    // Removes from folder the partial files of disc images (".<name>.iso.part-<n>") that no image drive of a
    // live process holds: what burns killed there left. The number removed.
    static int removeAbandonedImageFiles(const QString& folder);

    DiscDrive(Key, std::shared_ptr<DiscLibrary> library, burn::burn_drive_info* grabbed,
              const QString& address);
    ~DiscDrive(); // releases the drive; never ejects
    DiscDrive(const DiscDrive&) = delete;
    DiscDrive& operator=(const DiscDrive&) = delete;

    QString address() const { return driveAddress; }
    // The file an image drive records for; empty for every other drive.
    QString imageFilePath() const { return imagePath; }
    // An image drive's recorded image replaces whatever is at imageFilePath(), data flushed to the disk
    // first. False, with the reason, when it could not be moved there (the partial file is then removed);
    // true at once for other drives. Once per drive: a drive records one image.
    bool commitImage(QString* error = nullptr);
    // Removes an image drive's partial file, its space given back at once; nothing for other drives, or
    // once the image was committed.
    void discardImage();
    // An image drive whose image was committed or discarded: it has no partial file left to record into,
    // so a burn on it could put nothing in place. Open the image file anew instead.
    bool imageSpent() const { return !imagePath.isEmpty() && partialPath.isEmpty(); }
    DriveInfo info() const { return driveInfo; }
    bool isPseudoDrive() const; // a file, not a recorder
    bool canReadBack() const;   // false for write-only pseudo-drives (pipes, character devices)

    // The burn set-up's choice of a test burn: burns on this drive then write nothing
    // (BurnOptions::simulate).
    void setTestBurn(bool test) { testBurnChosen = test; }
    bool testBurn() const { return testBurnChosen.load(); }

    // Asks the drive about the loaded medium now; during a burn the answers may be those of its start.
    MediaInfo mediaInfo() const;

    // Reads `count` blocks of 2048 bytes from block `firstBlock` on, handing them to `sink` in order in
    // pieces of whole blocks. `sink` returns false to stop early (then the result is false, no message).
    bool readBlocks(std::int64_t firstBlock, std::int64_t count,
                    const std::function<bool(const std::uint8_t*, std::size_t)>& sink,
                    QString* error = nullptr) const;

    // For DiscBurner: one burn at a time per drive.
    bool claim();
    void unclaim();
    bool isClaimed() const { return claimed.load(); }
    burn::burn_drive* handle() const { return drive; }
    const std::shared_ptr<DiscLibrary>& library() const { return session; }

private:
    std::shared_ptr<DiscLibrary> session;
    burn::burn_drive_info* grabbed; // the library's one-element array from the grab, freed on release
    burn::burn_drive* drive;
    QString driveAddress;
    DriveInfo driveInfo;
    QString imagePath;   // image drives: the file the image is for
    QString partialPath; // ... and the file it is recorded into until committed or discarded
    UniqueFd partialFd;  // ... open since it was made
    std::atomic<bool> claimed{false};
    std::atomic<bool> testBurnChosen{false};
};

} // namespace platform::disc
