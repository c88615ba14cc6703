// The waterfall view: intensities through the gradient, transparent at or below the threshold.
#include "ui/controls/waveform/WFWaterfallView.h"

#include "support/Screenshot.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(WFWaterfallView, PaintsValuesAboveTheThresholdThroughTheGradient) {
    WFWaterfallView view;
    const float data[] = {0.1f, 0.5f, 0.9f, 0.2f, 0.3f, 0.0f};
    view.setData(data, 3, 2);
    const QImage& image = view.precalculatedImage();
    ASSERT_EQ(image.size(), QSize(3, 2));
    const auto at = [&](float v) {
        return WFWaterfallView::gradientColorAt(view.intensityGradient(), v).rgba();
    };
    EXPECT_EQ(image.pixel(0, 0), 0u);
    EXPECT_EQ(image.pixel(0, 1), at(0.5f));
    EXPECT_EQ(image.pixel(1, 0), at(0.9f));
    EXPECT_EQ(image.pixel(1, 1), 0u) << "0.2 is not above the threshold";
    EXPECT_EQ(image.pixel(2, 0), at(0.3f));
    EXPECT_EQ(image.pixel(2, 1), 0u);

    EXPECT_EQ(QColor(at(0.0f)), QColor(Qt::black));
    EXPECT_EQ(QColor(at(1.0f / 3.0f)), QColor(Qt::blue));
    EXPECT_EQ(QColor(at(0.5f)), QColor(128, 0, 128)) << "half way from blue to red";
    EXPECT_EQ(QColor(at(2.0f / 3.0f)), QColor(Qt::red));
    EXPECT_EQ(QColor(at(1.5f)), QColor(Qt::yellow));

    view.setBackgroundThreshold(0.95f);
    EXPECT_EQ(view.precalculatedImage().pixel(1, 0), at(0.9f))
        << "the picture changes with the next data only";
    view.setData(data, 3, 2);
    EXPECT_EQ(view.precalculatedImage().pixel(1, 0), 0u);
}

TEST(WFWaterfallView, InconsistentDataIsAProgrammingErrorAndTooLittleDrawsNothing) {
    WFWaterfallView view;
    const float value = 1.0f;
    EXPECT_THROW(view.setData(&value, 0, 4), std::logic_error);
    EXPECT_THROW(view.setData(nullptr, 2, 1), std::logic_error);
    view.resize(40, 20);
    for (const auto& [frames, perFrame] : {std::pair{1, 1}, std::pair{0, 0}}) {
        view.setData(frames ? &value : nullptr, frames, perFrame);
        const QImage picture = view.grab().toImage();
        EXPECT_EQ(picture.pixelColor(20, 10), QColor(Qt::black)) << frames << " frames";
    }
}

TEST(WFWaterfallView, DrawsASweepInTheFourColours) {
    // 64 frames of 48 values: a band whose peak climbs through the values frame by frame.
    constexpr int frames = 64, values = 48;
    std::vector<float> sweep(frames * values);
    for (int f = 0; f < frames; ++f)
        for (int v = 0; v < values; ++v)
            sweep[f * values + v] = static_cast<float>(std::exp(-std::pow((v - 0.7 * f) / 6.0, 2.0)));
    WFWaterfallView view;
    view.resize(480, 160);
    view.setData(sweep.data(), frames, values);
    const QImage picture = screenshot::save(view, "wf-waterfall");
    ASSERT_FALSE(picture.isNull());
    const auto seen = [&](const QColor& wanted) {
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) {
                const QColor c = picture.pixelColor(x, y);
                if (std::abs(c.red() - wanted.red()) + std::abs(c.green() - wanted.green()) +
                        std::abs(c.blue() - wanted.blue()) <
                    40)
                    return true;
            }
        return false;
    };
    for (const QColor& colour : {QColor(Qt::black), QColor(Qt::blue), QColor(Qt::red), QColor(Qt::yellow)})
        EXPECT_TRUE(seen(colour)) << colour.name().toStdString();
    EXPECT_EQ(picture.pixelColor(picture.width() - 20, 5), QColor(Qt::black))
        << "late in the sweep the first values are low: background";
}
