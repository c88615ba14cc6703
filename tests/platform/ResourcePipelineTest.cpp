#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"

#include <QImage>
#include <gtest/gtest.h>

// The build makes pictures from code and copies text resources; both must be found by name.
TEST(ResourcePipeline, GeneratedPictureAndTextResourceAreFoundByName) {
    const QString black = platform::paths::pathForResource("black", "png");
    ASSERT_FALSE(black.isEmpty());
    const QImage image(black);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 0));

    EXPECT_FALSE(platform::paths::pathForResource("Localizable", "strings", "strings").isEmpty());
    EXPECT_EQ(platform::localizedString("New Project"), "New Project");
    EXPECT_TRUE(platform::paths::pathForResource("no-such-resource", "png").isEmpty());
}
