#include "platform/disc/MediaProfile.h"

namespace platform::disc {

MediaProfile mediaProfileFromCode(int profileCode) {
    switch (profileCode) {
    case 0x00:
        return MediaProfile::None;
    case 0x11: // DVD-R sequential recording
        return MediaProfile::DVDR;
    case 0x13: // DVD-RW restricted overwrite
    case 0x14: // DVD-RW sequential recording
        return MediaProfile::DVDRW;
    case 0x1a:
        return MediaProfile::DVDPlusRW;
    case 0x1b:
        return MediaProfile::DVDPlusR;
    default:
        return MediaProfile::Other;
    }
}

QString mediaProfileName(MediaProfile profile) {
    switch (profile) {
    case MediaProfile::None:
        return QStringLiteral("None");
    case MediaProfile::DVDR:
        return QStringLiteral("DVD-R");
    case MediaProfile::DVDRW:
        return QStringLiteral("DVD-RW");
    case MediaProfile::DVDPlusR:
        return QStringLiteral("DVD+R");
    case MediaProfile::DVDPlusRW:
        return QStringLiteral("DVD+RW");
    case MediaProfile::Other:
        break;
    }
    return QStringLiteral("Other");
}

QString mediaStatusName(MediaStatus status) {
    switch (status) {
    case MediaStatus::NoMedium:
        return QStringLiteral("No medium");
    case MediaStatus::Blank:
        return QStringLiteral("Blank");
    case MediaStatus::Appendable:
        return QStringLiteral("Appendable");
    case MediaStatus::Full:
        return QStringLiteral("Full");
    case MediaStatus::Unsuitable:
        return QStringLiteral("Unsuitable");
    case MediaStatus::Unknown:
        break;
    }
    return QStringLiteral("Unknown");
}

bool isWritableDVD(MediaProfile profile) {
    switch (profile) {
    case MediaProfile::DVDR:
    case MediaProfile::DVDRW:
    case MediaProfile::DVDPlusR:
    case MediaProfile::DVDPlusRW:
        return true;
    case MediaProfile::None:
    case MediaProfile::Other:
        break;
    }
    return false;
}

bool isWritableDVD(int profileCode) {
    return isWritableDVD(mediaProfileFromCode(profileCode));
}

} // namespace platform::disc
