// A song's peaks read on a thread of their own, and the panel that draws them.
#include "support/PostedNotifications.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"
#include "support/ToneMaker.h"

#include "ui/UiNotifications.h"
#include "ui/controls/SpinningProgressIndicator.h"
#include "ui/controls/WaveFormViewOSX.h"
#include "ui/controls/WaveSampleProvider.h"

#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

// Records what a provider tells, in order.
struct Listener : WaveSampleProviderDelegate {
    void statusUpdated(WaveSampleProvider&, int status, const QString& message) override {
        calls << QStringLiteral("status %1 %2").arg(status).arg(message);
    }
    void sampleProcessed(WaveSampleProvider&, int status) override {
        calls << QStringLiteral("processed %1").arg(status);
    }
    QStringList calls;
};

bool readToTheEnd(WaveSampleProvider& provider, Listener& listener) {
    provider.setDelegate(&listener);
    provider.createSampleData();
    return test_support::spinUntil([&] { return listener.calls.join(';').contains("processed"); }, 20000);
}

} // namespace

TEST(WaveSampleProviderTest, DrawingValuesAreGroupsOfBinsNeverMoreThanAsked) {
    struct Case {
        int bins, n, filled;
    };
    for (const Case& c : {Case{15999, 8000, 8000}, Case{100, 8000, 100}, Case{0, 8000, 0}, Case{7, 3, 3}}) {
        std::vector<float> bins(std::size_t(c.bins));
        for (int i = 0; i < c.bins; ++i)
            bins[std::size_t(i)] = float(i % 10) / 10.0f;
        int filled = -1;
        const std::vector<float> values = WaveSampleProvider::downsample(bins, c.n, &filled);
        EXPECT_EQ(filled, c.filled) << c.bins << " bins";
        EXPECT_EQ(values.size(), std::size_t(c.n)) << "the rest are zeros";
    }
    int filled = 0;
    const std::vector<float> peaks =
        WaveSampleProvider::downsample({0.1f, 0.7f, 0.2f, 0.3f, 0.9f}, 2, &filled);
    EXPECT_EQ(filled, 2);
    EXPECT_FLOAT_EQ(peaks[0], 0.7f) << "each group its largest";
    EXPECT_FLOAT_EQ(peaks[1], 0.9f);
}

TEST(WaveSampleProviderTest, EachBinTakesItsOwnPositivePeak) {
    // Two bins of two stereo frames: a loud first bin, a quiet second, a third all below zero.
    const float audio[] = {0.9f, 0.1f, 0.2f, 0.2f, 0.1f, 0.3f, 0.2f, 0.1f, -0.5f, -0.4f, -0.2f, -0.9f};
    std::vector<float> bins;
    WaveSampleProvider::binPeaks(audio, 6, 2, 2, bins);
    EXPECT_EQ(bins, (std::vector<float>{0.9f, 0.3f, 0.0f})) << "a bin does not keep the bin before's peak";
    int minute = -1, sec = -1;
    WaveSampleProvider::splitLength(qint64(125.9 * 44100), &minute, &sec);
    EXPECT_EQ(QString::asprintf("%d:%02d", minute, sec), "2:05");
}

TEST(WaveSampleProviderTest, ASongIsCountedAt44100HzWithItsTaggedTitle) {
    TempDir dir;
    const QString wav = dir.file("Ten seconds.wav");
    ASSERT_TRUE(ToneMaker::writeWav(wav, 440.0, 10.0, 0.5f, 2, 48000));
    WaveSampleProvider provider(QUrl::fromLocalFile(wav));
    EXPECT_EQ(provider.title(), "Ten seconds.wav");
    Listener listener;
    ASSERT_TRUE(readToTheEnd(provider, listener));
    EXPECT_EQ(listener.calls,
              QStringList({"status 0 Processing", "status 1 Sample data loaded", "processed 1"}));
    EXPECT_EQ(provider.framesRead(), 441000);
    EXPECT_EQ(provider.lengthInSec(), 10);
    EXPECT_EQ(provider.normalizedData().size(), 441000u / 50u);
    const auto& values = provider.normalizedData();
    EXPECT_NEAR(*std::max_element(values.begin(), values.end()), 0.5f, 0.02f) << "the sine's peak";

    const QString tagged = dir.file("tagged.m4a");
    ASSERT_TRUE(ToneMaker::writeEncoded(tagged, "ipod", "aac", 330, 1.0, 0.5f,
                                        {{"title", "Evening"}, {"artist", "Ann"}}));
    WaveSampleProvider song(QUrl::fromLocalFile(tagged));
    Listener other;
    ASSERT_TRUE(readToTheEnd(song, other));
    EXPECT_EQ(song.title(), "Ann - Evening");
}

TEST(WaveSampleProviderTest, AFileThatIsNotAudioFailsAndStillEnds) {
    TempDir dir;
    QFile text(dir.file("notes.mp3"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("these are words, not sound");
    text.close();
    WaveSampleProvider provider(QUrl::fromLocalFile(text.fileName()));
    Listener listener;
    ASSERT_TRUE(readToTheEnd(provider, listener));
    EXPECT_EQ(listener.calls,
              QStringList({"status 0 Processing", "status 2 Cannot open audio file", "processed 2"}));
    EXPECT_TRUE(provider.normalizedData().empty());
}

TEST(WaveFormViewOSXTest, ALoadedSongShowsItsOutlineTitleAndLength) {
    TempDir dir;
    const QString wav = dir.file("Walk.wav");
    ASSERT_TRUE(ToneMaker::writeWav(wav, 220.0, 2.5, 0.8f));
    auto scheduler = std::make_shared<platform::ManualScheduler>();
    WaveFormViewOSX view(QRect(0, 0, 400, 60), nullptr, scheduler);
    EXPECT_EQ(view.infoString(), "No Audio");
    view.openAudioURL(QUrl::fromLocalFile(wav));
    EXPECT_TRUE(view.progress()->isAnimating());
    ASSERT_TRUE(test_support::spinUntil([&] { return view.sampleLength() > 0; }, 20000));
    const int bins = int((2.5 * 44100 + 49) / 50);
    EXPECT_EQ(view.sampleLength(), bins + 2) << "n + 2 points, from and back to the centre line";
    EXPECT_EQ(view.sampleData().front(), QPointF(0, 0));
    EXPECT_EQ(view.sampleData().back(), QPointF(bins + 1, 0));
    EXPECT_EQ(view.infoString(), " (Walk.wav)");
    EXPECT_EQ(view.timeString(), "00:02");
    EXPECT_FALSE(view.progress()->isAnimating());
    EXPECT_FALSE(view.imgBackground().isNull());
    EXPECT_EQ(view.waveRect(), QRectF(6, 24, 391, 30));

    test_support::PostedNotifications shown(kNotifyShowMusicList);
    const auto click = [&](QEvent::Type type, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
        QMouseEvent event(type, QPointF(20, 20), view.mapToGlobal(QPointF(20, 20)), button, button,
                          modifiers);
        QCoreApplication::sendEvent(&view, &event);
    };
    click(QEvent::MouseButtonPress, Qt::LeftButton, Qt::NoModifier);
    EXPECT_TRUE(shown.list.empty()) << "a single click does nothing";
    click(QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::NoModifier);
    click(QEvent::MouseButtonPress, Qt::LeftButton, Qt::ControlModifier);
    click(QEvent::MouseButtonPress, Qt::RightButton, Qt::NoModifier);
    EXPECT_EQ(shown.list.size(), 3u);
}

TEST(WaveFormViewOSXTest, AnUnreadableSongKeepsItsMessageAndSpinner) {
    TempDir dir;
    const QString path = dir.file("broken.wav");
    ASSERT_TRUE(test_support::writeBytes(path, "RIFF but nothing after it"));
    auto scheduler = std::make_shared<platform::ManualScheduler>();
    WaveFormViewOSX view(QRect(0, 0, 300, 60), nullptr, scheduler);
    view.openAudioURL(QUrl::fromLocalFile(path));
    ASSERT_TRUE(test_support::spinUntil([&] { return view.infoString().startsWith("Cannot"); }, 20000));
    EXPECT_EQ(view.infoString(), "Cannot open audio file (broken.wav)");
    EXPECT_EQ(view.sampleLength(), 0);
    EXPECT_TRUE(view.progress()->isAnimating());
}

namespace {

// What a routine of the view draws on a clear picture of the view's size.
QImage drawnBy(const WaveFormViewOSX& view, const std::function<void(QPainter&)>& draw) {
    QImage picture(view.size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    draw(painter);
    painter.end();
    return picture;
}

bool isGreen(const QImage& picture, QPoint at) {
    return picture.pixelColor(at) == QColor(143, 196, 72);
}

} // namespace

// The play and pause glyphs stand in the empty play rectangle, so the panel never shows them; in a square of
// 40 the triangle points right from a margin of 8.8 and the two bars leave a gap in the middle. Points are
// in the widget's y-down pixels of a view 40 high.
TEST(WaveFormViewOSXTest, ThePlayAndPauseGlyphsShowOnlyInARectangleGivenThem) {
    auto scheduler = std::make_shared<platform::ManualScheduler>();
    WaveFormViewOSX view(QRect(0, 0, 40, 40), nullptr, scheduler);
    EXPECT_EQ(view.playProgress(), 0.0f);
    EXPECT_TRUE(view.playRect().isEmpty());
    QImage blank(view.size(), QImage::Format_ARGB32_Premultiplied);
    blank.fill(Qt::transparent);
    EXPECT_EQ(drawnBy(view, [&](QPainter& p) { view.drawPlay(p); }), blank);
    EXPECT_EQ(drawnBy(view, [&](QPainter& p) { view.drawPause(p); }), blank);

    const QRectF square(0, 0, 40, 40);
    const QImage play = drawnBy(view, [&](QPainter& p) { view.drawPlay(p, square); });
    for (const QPoint inside : {QPoint(12, 20), QPoint(25, 20), QPoint(12, 14), QPoint(12, 26)})
        EXPECT_TRUE(isGreen(play, inside)) << inside.x() << "," << inside.y();
    for (const QPoint outside : {QPoint(5, 20), QPoint(34, 20), QPoint(28, 10), QPoint(28, 30)})
        EXPECT_EQ(qAlpha(play.pixel(outside)), 0) << outside.x() << "," << outside.y();

    // Bars from x 5.9 to 17.1 and 22.9 to 34.1, from y 6.8 down to 29.2.
    const QImage pause = drawnBy(view, [&](QPainter& p) { view.drawPause(p, square); });
    for (const QPoint inside : {QPoint(11, 18), QPoint(28, 18), QPoint(11, 10), QPoint(28, 26)})
        EXPECT_TRUE(isGreen(pause, inside)) << inside.x() << "," << inside.y();
    for (const QPoint outside :
         {QPoint(20, 18), QPoint(11, 32), QPoint(3, 18), QPoint(37, 18), QPoint(11, 4)})
        EXPECT_EQ(qAlpha(pause.pixel(outside)), 0) << outside.x() << "," << outside.y();
}

TEST(WaveFormViewOSXTest, CentredTextStandsInTheMiddleOfItsRectangle) {
    auto scheduler = std::make_shared<platform::ManualScheduler>();
    WaveFormViewOSX view(QRect(0, 0, 300, 40), nullptr, scheduler);
    const QRectF box(40, 10, 200, 20);
    const QImage text =
        drawnBy(view, [&](QPainter& p) { view.drawTextCentered(p, QStringLiteral("WWWW"), box, Qt::red); });
    int left = text.width(), right = -1;
    for (int y = 0; y < text.height(); ++y)
        for (int x = 0; x < text.width(); ++x)
            if (qAlpha(text.pixel(x, y)) > 0) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    ASSERT_GE(right, left) << "something was drawn";
    EXPECT_NEAR((left + right + 1) / 2.0, box.center().x(), 2.0);
    EXPECT_GT(left, int(box.left()));
    EXPECT_EQ(
        drawnBy(view, [&](QPainter& p) { view.drawTextCentered(p, QString(), box, Qt::red); }).pixel(140, 20),
        0u)
        << "no text, nothing drawn";
}
