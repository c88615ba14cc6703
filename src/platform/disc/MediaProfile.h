#pragma once

#include <QString>

#include <cstdint>

namespace platform::disc {

// The kinds of medium the DVD command cares about; every other loaded medium is Other.
enum class MediaProfile { None, DVDR, DVDRW, DVDPlusR, DVDPlusRW, Other };

// What the drive says about the medium's recorded state.
enum class MediaStatus { Unknown, NoMedium, Blank, Appendable, Full, Unsuitable };

// The MMC profile numbers (and libburn's 0xffff for a file used as a medium) mapped onto MediaProfile.
// Dual-layer DVDs, DVD-RAM and read-only DVDs are Other: they are different media types, not variants of
// the four writable DVDs.
MediaProfile mediaProfileFromCode(int profileCode);

// "DVD-R", "DVD-RW", "DVD+R", "DVD+RW", "Other" or "None".
QString mediaProfileName(MediaProfile profile);

// "Unknown", "No medium", "Blank", "Appendable", "Full" or "Unsuitable".
QString mediaStatusName(MediaStatus status);

// The rule of the burn set-up for the DVD command: only DVD-R, DVD-RW, DVD+R and DVD+RW are accepted.
bool isWritableDVD(MediaProfile profile);
bool isWritableDVD(int profileCode);

// The medium in a drive, as inspected when the drive was asked.
struct MediaInfo {
    MediaProfile profile = MediaProfile::None;
    int profileCode = 0; // MMC profile number; 0xffff for a file on the pseudo-drive
    QString profileName; // the drive library's own name, e.g. "DVD+RW" or "stdio file"
    MediaStatus status = MediaStatus::Unknown;
    bool erasable = false;
    std::int64_t freeBlocks = 0; // 2048-byte blocks that can still be written
};

} // namespace platform::disc
