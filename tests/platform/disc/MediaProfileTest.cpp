#include "platform/disc/MediaProfile.h"

#include <gtest/gtest.h>

#include <set>

using namespace platform::disc;

namespace {

struct ProfileCase {
    int code;
    MediaProfile profile;
    const char* what;
};

// MMC profile numbers, with what the burn set-up must make of them.
const ProfileCase kProfiles[] = {
    {0x00, MediaProfile::None, "no medium"},
    {0x08, MediaProfile::Other, "CD-ROM"},
    {0x09, MediaProfile::Other, "CD-R"},
    {0x0a, MediaProfile::Other, "CD-RW"},
    {0x10, MediaProfile::Other, "DVD-ROM"},
    {0x11, MediaProfile::DVDR, "DVD-R sequential recording"},
    {0x12, MediaProfile::Other, "DVD-RAM"},
    {0x13, MediaProfile::DVDRW, "DVD-RW restricted overwrite"},
    {0x14, MediaProfile::DVDRW, "DVD-RW sequential recording"},
    {0x15, MediaProfile::Other, "DVD-R/DL sequential recording"},
    {0x16, MediaProfile::Other, "DVD-R/DL layer jump recording"},
    {0x17, MediaProfile::Other, "DVD-RW/DL"},
    {0x1a, MediaProfile::DVDPlusRW, "DVD+RW"},
    {0x1b, MediaProfile::DVDPlusR, "DVD+R"},
    {0x2a, MediaProfile::Other, "DVD+RW/DL"},
    {0x2b, MediaProfile::Other, "DVD+R/DL"},
    {0x40, MediaProfile::Other, "BD-ROM"},
    {0x41, MediaProfile::Other, "BD-R sequential recording"},
    {0x43, MediaProfile::Other, "BD-RE"},
    {0xffff, MediaProfile::Other, "a file on the pseudo-drive"},
};

} // namespace

TEST(MediaProfile, MapsEveryKnownProfileNumber) {
    for (const ProfileCase& c : kProfiles)
        EXPECT_EQ(mediaProfileFromCode(c.code), c.profile) << c.what;
}

TEST(MediaProfile, WritableDVDRuleAcceptsExactlyTheFourWritableDVDTypes) {
    for (const ProfileCase& c : kProfiles) {
        bool expected = c.profile == MediaProfile::DVDR || c.profile == MediaProfile::DVDRW ||
                        c.profile == MediaProfile::DVDPlusR || c.profile == MediaProfile::DVDPlusRW;
        EXPECT_EQ(isWritableDVD(c.code), expected) << c.what;
        EXPECT_EQ(isWritableDVD(mediaProfileFromCode(c.code)), expected) << c.what;
    }
    EXPECT_TRUE(isWritableDVD(MediaProfile::DVDR));
    EXPECT_TRUE(isWritableDVD(MediaProfile::DVDRW));
    EXPECT_TRUE(isWritableDVD(MediaProfile::DVDPlusR));
    EXPECT_TRUE(isWritableDVD(MediaProfile::DVDPlusRW));
    EXPECT_FALSE(isWritableDVD(MediaProfile::None));
    EXPECT_FALSE(isWritableDVD(MediaProfile::Other));
}

TEST(MediaProfile, NoOtherProfileNumberPassesTheRule) {
    std::set<int> accepted;
    for (int code = -1; code <= 0x10000; ++code)
        if (isWritableDVD(code))
            accepted.insert(code);
    EXPECT_EQ(accepted, (std::set<int>{0x11, 0x13, 0x14, 0x1a, 0x1b}));
}

TEST(MediaProfile, NamesAreTheMediaTypesOfTheSetUpRule) {
    EXPECT_EQ(mediaProfileName(MediaProfile::DVDR), "DVD-R");
    EXPECT_EQ(mediaProfileName(MediaProfile::DVDRW), "DVD-RW");
    EXPECT_EQ(mediaProfileName(MediaProfile::DVDPlusR), "DVD+R");
    EXPECT_EQ(mediaProfileName(MediaProfile::DVDPlusRW), "DVD+RW");
    EXPECT_EQ(mediaProfileName(MediaProfile::Other), "Other");
    EXPECT_EQ(mediaProfileName(MediaProfile::None), "None");
    EXPECT_EQ(mediaStatusName(MediaStatus::Blank), "Blank");
    EXPECT_EQ(mediaStatusName(MediaStatus::NoMedium), "No medium");
    EXPECT_EQ(mediaStatusName(MediaStatus::Appendable), "Appendable");
    EXPECT_EQ(mediaStatusName(MediaStatus::Full), "Full");
}
