// The signal and mono waveform views: points, zoom, mouse selection, drawing.
#include "ui/controls/waveform/WFMonoWaveformView.h"
#include "ui/controls/waveform/WFBufferedSampleDataProvider.h"

#include "support/Screenshot.h"
#include "support/ToneMaker.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <cmath>

namespace {

void mouse(QWidget& view, QEvent::Type type, double x, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const QPointF at(x, view.height() / 2.0);
    QMouseEvent event(type, at, view.mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, modifiers);
    QCoreApplication::sendEvent(&view, &event);
}

void click(QWidget& view, double x, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    mouse(view, QEvent::MouseButtonPress, x, modifiers);
    mouse(view, QEvent::MouseButtonRelease, x, modifiers);
}

void wheel(QWidget& view, int angle) {
    QWheelEvent event(QPointF(5, 5), view.mapToGlobal(QPointF(5, 5)), {}, QPoint(0, angle), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&view, &event);
}

// One pixel per sample: sample s lies under x = s.
struct OneToOne {
    OneToOne() {
        view.resize(100, 40);
        std::vector<float> samples(101, 0.5f);
        view.setWaveform(samples.data(), samples.size());
    }
    WFMonoWaveformView view;
};

} // namespace

TEST(WFMonoWaveformView, KeepsUpTo2000PointsAndReducesLongerSignalsToBucketPeaks) {
    WFMonoWaveformView view;
    std::vector<quint64> lengths;
    QObject::connect(&view, &WFMonoWaveformView::sampleLengthChanged,
                     [&](quint64 n) { lengths.push_back(n); });
    std::vector<float> samples(1500);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = std::sin(static_cast<float>(i) * 0.1f);
    view.setWaveform(samples.data(), samples.size());
    ASSERT_EQ(view.sampleData().size(), 1500u);
    EXPECT_EQ(view.sampleData()[700], QPointF(700, static_cast<double>(samples[700])));

    samples.assign(10000, 0.0f);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = (i % 10 == 3) ? 0.001f * static_cast<float>(i) : (i % 10 == 7 ? -0.5f : 0.0f);
    view.setWaveform(samples.data(), samples.size());
    EXPECT_EQ(view.sampleLength(), 10000u);
    ASSERT_EQ(view.sampleData().size(), 2000u);
    for (size_t pair : {0u, 1u, 500u, 999u}) {
        EXPECT_FLOAT_EQ(view.sampleData()[2 * pair].y(), samples[10 * pair + 3]) << "bucket " << pair;
        EXPECT_FLOAT_EQ(view.sampleData()[2 * pair + 1].y(), -0.5f) << "bucket " << pair;
    }
    EXPECT_EQ(lengths, (std::vector<quint64>{1500, 10000}));
}

TEST(WFMonoWaveformView, TheWheelZoomsByAHundredthOfItsDeltaDownToNothing) {
    WFMonoWaveformView view;
    wheel(view, 5 * 120); // a delta of +50
    EXPECT_DOUBLE_EQ(view.verticalScale(), 0.5);
    wheel(view, 100 * 120);
    EXPECT_EQ(view.verticalScale(), 0.0);
    wheel(view, -120);
    EXPECT_NEAR(view.verticalScale(), 0.1, 1e-9);
}

TEST(WFMonoWaveformView, ShiftClicksMoveTheNearerEndOrGrowTheSelection) {
    OneToOne fixture;
    WFMonoWaveformView& view = fixture.view;
    const std::pair<uint64_t, WFSampleRange> cases[] = {
        {15, {15, 15}}, {25, {10, 15}}, {40, {10, 30}}, {4, {4, 26}}};
    for (const auto& [sample, expected] : cases) {
        view.setSelectedSampleRange({10, 20});
        click(view, static_cast<double>(sample) + 0.5, Qt::ShiftModifier);
        EXPECT_EQ(view.selectedSampleRange(), expected) << "Shift-click at " << sample;
    }
}

TEST(WFMonoWaveformView, DragsSelectClicksClearAndSelectionCanBeTurnedOff) {
    OneToOne fixture;
    WFMonoWaveformView& view = fixture.view;
    mouse(view, QEvent::MouseButtonPress, 20.5);
    mouse(view, QEvent::MouseMove, 5.5);
    EXPECT_EQ(view.selectedSampleRange(), (WFSampleRange{5, 15}));
    mouse(view, QEvent::MouseMove, 500.0);
    EXPECT_EQ(view.selectedSampleRange(), (WFSampleRange{20, 80})) << "held to the view's width";
    mouse(view, QEvent::MouseButtonRelease, 500.0);
    EXPECT_NEAR(view.selectionRect().x(), 20.0, 1e-9);
    EXPECT_NEAR(view.selectionRect().width(), 80.0, 1e-9);

    click(view, 30.5);
    EXPECT_TRUE(view.selectedSampleRange().isNotFound()) << "a click without a drag";

    view.setSelectedSampleRange({3, 4});
    view.setAllowsSelection(false);
    EXPECT_TRUE(view.selectedSampleRange().isNotFound());
    mouse(view, QEvent::MouseButtonPress, 20.5);
    mouse(view, QEvent::MouseMove, 40.5);
    EXPECT_TRUE(view.selectedSampleRange().isNotFound());
}

TEST(WFMonoWaveformView, FewerThanTwoSamplesAreNoSignalToSelectOrDraw) {
    for (uint64_t count : {0u, 1u}) {
        WFMonoWaveformView view;
        view.resize(100, 40);
        const float sample = 0.7f;
        view.setWaveform(&sample, count);
        EXPECT_EQ(view.xPointToSample(50.0), WFSampleRange::kNotFound) << count;
        EXPECT_TRUE(view.rectForSampleSelection({0, 1}).isNull()) << count;
        click(view, 50.0);
        mouse(view, QEvent::MouseButtonPress, 10.0);
        mouse(view, QEvent::MouseMove, 60.0);
        EXPECT_TRUE(view.selectedSampleRange().isNotFound()) << count;
        EXPECT_FALSE(view.grab().isNull());
    }
}

TEST(WFMonoWaveformView, AProviderShowsItsFirstChannel) {
    WFMonoWaveformView view;
    view.setSampleDataProvider(std::make_shared<WFBufferedSampleDataProvider>(
        std::vector<float>{0.1f, -1, 0.2f, -1, 0.3f, -1}, 2, 10.0));
    EXPECT_EQ(view.sampleLength(), 3u);
    ASSERT_EQ(view.sampleData().size(), 3u);
    EXPECT_FLOAT_EQ(view.sampleData()[2].y(), 0.3f);
}

TEST(WFMonoWaveformView, DrawsAToneBurstOverItsGridWithASelectionBox) {
    // 0.2 s of a 200 Hz burst at 8000 Hz, swelling and dying away.
    std::vector<float> burst = ToneMaker::sine(200.0, 0.2, 0.9f, 1, 8000);
    for (size_t i = 0; i < burst.size(); ++i)
        burst[i] *=
            static_cast<float>(std::sin(M_PI * static_cast<double>(i) / static_cast<double>(burst.size())));
    WFMonoWaveformView view;
    view.resize(480, 120);
    view.setGridTicks(100);
    view.setWaveform(burst.data(), burst.size());
    view.setSelectedSampleRange({400, 400});
    const QImage picture = screenshot::save(view, "wf-mono-waveform");
    ASSERT_EQ(picture.size(), QSize(480, 120));
    const int selected = static_cast<int>(std::lround(view.sampleToXPoint(600)));
    const QColor background = view.backgroundColor();
    EXPECT_NE(picture.pixelColor(selected, 5), background) << "the selection darkens the background";
    const int grid = static_cast<int>(view.sampleToXPoint(1500));
    EXPECT_EQ(picture.pixelColor(grid + 3, 5), background);
    // Against a light or a dark look alike, whichever an earlier window set for the application.
    EXPECT_GT(std::abs(picture.pixelColor(grid, 5).lightness() - background.lightness()), 20)
        << "a grid line";
    int filled = 0;
    for (int x = static_cast<int>(view.sampleToXPoint(900)); x < picture.width(); ++x)
        for (int y = 0; y < picture.height(); ++y)
            filled += picture.pixelColor(x, y) == view.foregroundColor();
    EXPECT_GT(filled, 2000) << "the filled waveform beside the selection";
}
