// The transition masks "01" ... "50": each a grey picture of when each pixel changes over, and its picker
// icon.
#include "platform/foundation/StandardPaths.h"

#include <QImage>
#include <QImageReader>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace paths = platform::paths;

namespace {

constexpr int kMasks = 50;

QString twoDigits(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

class MaskResources : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        masks.clear();
        for (int n = 1; n <= kMasks; ++n) {
            QImageReader reader(paths::pathForResource(twoDigits(n), "jpg"));
            masks.push_back(reader.read());
        }
    }
    static std::vector<QImage> masks;

    void SetUp() override {
        for (int n = 1; n <= kMasks; ++n)
            ASSERT_FALSE(mask(n).isNull()) << "mask " << n << " is missing or unreadable";
    }
    static const QImage& mask(int n) { return masks[std::size_t(n - 1)]; }
    static int at(const QImage& image, int x, int y) { return image.constScanLine(y)[x]; }
};

std::vector<QImage> MaskResources::masks;

double correlation(const std::vector<double>& a, const std::vector<double>& b) {
    double ma = 0, mb = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        ma += a[i], mb += b[i];
    ma /= double(a.size()), mb /= double(b.size());
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        ab += (a[i] - ma) * (b[i] - mb), aa += (a[i] - ma) * (a[i] - ma), bb += (b[i] - mb) * (b[i] - mb);
    return ab / std::sqrt(std::max(1e-12, aa * bb));
}

struct MaskDifference {
    double timing;    // mean difference of the change-over times, in grey levels
    double direction; // mean (1 - cos) / 2 of the angle between the two fronts' directions of travel
};

MaskDifference difference(const QImage& a, const QImage& b) {
    auto value = [](const QImage& image, int x, int y) { return double(image.constScanLine(y)[x]); };
    double timing = 0, direction = 0;
    int compared = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            timing += std::abs(value(a, x, y) - value(b, x, y));
            if (x == 0 || y == 0 || x + 1 == a.width() || y + 1 == a.height())
                continue;
            const double ax = value(a, x + 1, y) - value(a, x - 1, y),
                         ay = value(a, x, y + 1) - value(a, x, y - 1);
            const double bx = value(b, x + 1, y) - value(b, x - 1, y),
                         by = value(b, x, y + 1) - value(b, x, y - 1);
            const double la = std::hypot(ax, ay), lb = std::hypot(bx, by);
            if (la < 1 || lb < 1)
                continue; // no front passes here in one of them
            direction += (1 - (ax * bx + ay * by) / (la * lb)) / 2;
            ++compared;
        }
    return {timing / (a.width() * a.height()), compared ? direction / compared : 1.0};
}

std::vector<double> values(const QImage& gray) {
    std::vector<double> list;
    for (int y = 0; y < gray.height(); ++y)
        for (int x = 0; x < gray.width(); ++x)
            list.push_back(gray.constScanLine(y)[x]);
    return list;
}

} // namespace

// The mask loader takes monochrome pictures of 8 bits per pixel: a JPEG that came out in colour would not
// load.
TEST_F(MaskResources, AreSingleChannelGreyPictures) {
    for (int n = 1; n <= kMasks; ++n)
        EXPECT_EQ(mask(n).format(), QImage::Format_Grayscale8) << "mask " << n;
}

// A wipe must start with nothing changed and end with everything changed, and should change about the same
// share of the picture in every quarter of its time (the masks are spread evenly on purpose).
TEST_F(MaskResources, SpanBlackToWhiteAndUncoverEvenShares) {
    for (int n = 1; n <= kMasks; ++n) {
        SCOPED_TRACE("mask " + std::to_string(n));
        const QImage& m = mask(n);
        int low = 255, high = 0;
        std::array<double, 4> quarters{};
        for (int y = 0; y < m.height(); ++y)
            for (int x = 0; x < m.width(); ++x) {
                const int v = at(m, x, y);
                low = std::min(low, v), high = std::max(high, v);
                quarters[std::size_t(v / 64)] += 1;
            }
        EXPECT_LE(low, 6);
        EXPECT_GE(high, 249);
        for (double count : quarters)
            EXPECT_NEAR(count / (m.width() * m.height()), 0.25, 0.05);
    }
}

// Smooth fronts: neighbouring pixels change over at nearly the same time. A wipe may keep one hard seam
// where its sweep meets itself (the clocks and spirals); that is a thin line, never noise or blocks.
TEST_F(MaskResources, AreSmoothExceptForThinSeams) {
    for (int n = 1; n <= kMasks; ++n) {
        SCOPED_TRACE("mask " + std::to_string(n));
        const QImage& m = mask(n);
        double sum = 0;
        long jumps = 0, pairs = 0;
        for (int y = 0; y < m.height(); ++y)
            for (int x = 0; x < m.width(); ++x)
                for (const auto& [dx, dy] : {std::pair{1, 0}, std::pair{0, 1}}) {
                    if (x + dx >= m.width() || y + dy >= m.height())
                        continue;
                    const int step = std::abs(at(m, x, y) - at(m, x + dx, y + dy));
                    sum += step;
                    jumps += step > 24;
                    ++pairs;
                }
        // Blinds and grids are steep by design; noise or dither would step by tens of levels everywhere.
        EXPECT_LT(sum / double(pairs), 8.0) << "mean step between neighbours";
        EXPECT_LT(double(jumps) / double(pairs), 0.01) << "share of hard steps";
    }
}

// Two wipes differ when they change pixels at different times, or when their fronts move in different
// directions (a ragged or zigzag front against a straight one that keeps the same pace).
TEST_F(MaskResources, AreAllDifferentWipes) {
    std::vector<QImage> small;
    for (int n = 1; n <= kMasks; ++n)
        small.push_back(mask(n).scaled(64, 36, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    for (int a = 0; a < kMasks; ++a)
        for (int b = a + 1; b < kMasks; ++b) {
            const MaskDifference d = difference(small[std::size_t(a)], small[std::size_t(b)]);
            EXPECT_TRUE(d.timing > 12.0 || d.direction > 0.1)
                << "masks " << a + 1 << " and " << b + 1 << " are nearly alike: timing " << d.timing
                << ", direction " << d.direction;
        }
}

// Each picker icon previews its own mask: light where the new picture shows first, dark where it shows last.
// The icon must match its own mask better than any other mask of different timing, so that icons and masks
// cannot be misnumbered.
TEST_F(MaskResources, PickerIconsPreviewTheirOwnMask) {
    // The icon shows the mask squeezed into its 42-pixel inner square; compare the middle 36 pixels of that,
    // away from the rounded corners.
    constexpr int kSide = 36;
    const QRectF middle(3.0 / 42, 3.0 / 42, 36.0 / 42, 36.0 / 42);
    std::vector<QImage> small;
    std::vector<std::vector<double>> maskValues;
    for (int n = 1; n <= kMasks; ++n) {
        const QImage& m = mask(n);
        const QRect crop(int(middle.x() * m.width()), int(middle.y() * m.height()),
                         int(middle.width() * m.width()), int(middle.height() * m.height()));
        maskValues.push_back(
            values(m.copy(crop).scaled(kSide, kSide, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
        small.push_back(m.scaled(64, 36, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    for (int n = 1; n <= kMasks; ++n) {
        SCOPED_TRACE("icon48-" + twoDigits(n).toStdString());
        QImageReader reader(paths::pathForResource("icon48-" + twoDigits(n), "png"));
        const QImage icon = reader.read();
        ASSERT_EQ(icon.size(), QSize(48, 48));
        const std::vector<double> iconValues =
            values(icon.copy(6, 6, kSide, kSide).convertToFormat(QImage::Format_Grayscale8));
        const double own = correlation(iconValues, maskValues[std::size_t(n - 1)]);
        EXPECT_LT(own, -0.6);
        for (int m = 1; m <= kMasks; ++m) {
            if (m == n || difference(small[std::size_t(n - 1)], small[std::size_t(m - 1)]).timing <= 12.0)
                continue;
            EXPECT_LT(own, correlation(iconValues, maskValues[std::size_t(m - 1)]))
                << "looks more like mask " << m;
        }
    }
}
