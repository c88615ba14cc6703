#include "platform/image/DecodeBudget.h"
#include "platform/gl/Context.h"
#include "platform/gl/DriverLock.h"
#include "platform/image/PictureReading.h"
#include "support/HangGuard.h"
#include "support/LargePictures.h"
#include "support/TempDir.h"

#include <QFile>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <optional>
#include <thread>

using platform::image::DecodeBudget;
using platform::image::PictureFault;
using platform::image::PictureRequest;

namespace {

constexpr qint64 kMB = qint64(1) << 20;

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A reservation asked for on a thread of its own, so that the test can see it wait.
class Asking {
public:
    Asking(DecodeBudget& budget, qint64 bytes, std::function<bool()> cancelled = {})
        : thread([this, &budget, bytes, cancelled] {
              reservation = budget.reserve(bytes, cancelled);
              answered = true;
          }) {}
    ~Asking() { end(); }
    void end() {
        if (thread.joinable())
            thread.join();
    }
    std::optional<DecodeBudget::Reservation> reservation;
    std::atomic<bool> answered{false};

private:
    std::thread thread;
};

} // namespace

TEST(DecodeBudget, TwoReservationsTogetherTooLargeTakeTurns) {
    const HangGuard guard("reservations taking turns");
    DecodeBudget budget(100 * kMB);
    auto first = budget.reserve(60 * kMB);
    ASSERT_TRUE(first);
    Asking second(budget, 60 * kMB);
    budget.waitUntilWaiting(1);
    EXPECT_FALSE(second.answered) << "taken while the first still holds";
    EXPECT_EQ(budget.held(), 60 * kMB);
    first->release();
    second.end();
    ASSERT_TRUE(second.reservation);
    EXPECT_EQ(second.reservation->bytes(), 60 * kMB);
    EXPECT_EQ(budget.mostHeld(), 60 * kMB);
    second.reservation->release();
    EXPECT_EQ(budget.held(), 0);
}

TEST(DecodeBudget, OneLargerThanTheWholeBudgetGoesAloneOnceNothingIsHeld) {
    const HangGuard guard("a reservation larger than the budget");
    DecodeBudget budget(100 * kMB);
    auto small = budget.reserve(10 * kMB);
    Asking large(budget, 150 * kMB);
    budget.waitUntilWaiting(1);
    EXPECT_FALSE(large.answered) << "it goes alone";
    // Asked after it, a smaller one waits its turn rather than keeping it out.
    Asking later(budget, 10 * kMB);
    budget.waitUntilWaiting(2);
    small->release();
    large.end();
    ASSERT_TRUE(large.reservation) << "never refused for the budget";
    EXPECT_EQ(budget.held(), 150 * kMB);
    EXPECT_FALSE(later.answered);
    large.reservation->release();
    later.end();
    ASSERT_TRUE(later.reservation);
    EXPECT_EQ(budget.mostHeld(), 150 * kMB);
}

TEST(DecodeBudget, ACancelledWaitReturnsWithoutTaking) {
    const HangGuard guard("a cancelled reservation");
    DecodeBudget budget(100 * kMB);
    auto held = budget.reserve(80 * kMB);
    std::atomic<bool> stop{false};
    Asking cancelled(budget, 40 * kMB, [&stop] { return stop.load(); });
    budget.waitUntilWaiting(1);
    stop = true;
    cancelled.end();
    EXPECT_FALSE(cancelled.reservation);
    EXPECT_EQ(budget.held(), 80 * kMB);
    EXPECT_EQ(budget.waiting(), 0u);
    // Nor does it hold up those after it.
    EXPECT_TRUE(budget.reserve(20 * kMB));
}

TEST(DecodeBudget, SmallDecodesGoAheadWithoutAsking) {
    DecodeBudget budget(DecodeBudget::kSmallBytes);
    auto full = budget.reserve(DecodeBudget::kSmallBytes);
    const auto small = budget.reserve(DecodeBudget::kSmallBytes - 1);
    ASSERT_TRUE(small);
    EXPECT_EQ(budget.held(), DecodeBudget::kSmallBytes);
}

// Each decoder reserves what it will hold before it holds it: with the program's budget taken, it waits, and
// decodes once the budget is let go. Its reservation is given back after.
TEST(DecodeBudget, EveryDecoderWaitsForItsShareOfTheProcesssBudget) {
    const HangGuard guard("decodes waiting for the budget", std::chrono::seconds(120));
    TempDir dir;
    const QSize size(2400, 1600);
    const struct {
        const char* decode;
        std::function<bool(const QString&)> write;
        bool judge; // pictureDecodes rather than readPicture
    } cases[] = {
        {"a progressive JPEG",
         [&](const QString& path) { return test_support::writeLargeJpeg(path, size, {.progressive = true}); },
         false},
        {"a progressive JPEG judged",
         [&](const QString& path) { return test_support::writeLargeJpeg(path, size, {.progressive = true}); },
         true},
        {"a JPEG read at its own size",
         [&](const QString& path) { return test_support::writeLargeJpeg(path, size); }, false},
        {"an interlaced PNG",
         [&](const QString& path) { return test_support::writeLargePng(path, size, {.interlaced = true}); },
         false},
        {"a BMP", [&](const QString& path) { return QImage(size, QImage::Format_RGB32).save(path, "BMP"); },
         false},
    };
    DecodeBudget& budget = DecodeBudget::process();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.decode);
        const QString path = dir.file("picture");
        ASSERT_TRUE(c.write(path));
        auto everything = budget.reserve(DecodeBudget::kProcessBytes);
        std::atomic<bool> decoded{false};
        std::jthread decode([&] {
            decoded = c.judge ? platform::image::pictureDecodes(path)
                              : platform::image::readPicture(path, PictureRequest::asStored()).isRead();
        });
        budget.waitUntilWaiting(1);
        EXPECT_FALSE(decoded);
        everything->release();
        decode.join();
        EXPECT_TRUE(decoded);
        EXPECT_EQ(budget.held(), 0);
    }
}

// A decode whose caller stops while it waits answers at once, holding nothing.
TEST(DecodeBudget, ADecodeWaitingForItsShareStopsWithItsCaller) {
    const HangGuard guard("a decode stopped while it waits");
    TempDir dir;
    const QString path = dir.file("progressive.jpg");
    ASSERT_TRUE(test_support::writeLargeJpeg(path, {2400, 1600}, {.progressive = true}));
    DecodeBudget& budget = DecodeBudget::process();
    auto everything = budget.reserve(DecodeBudget::kProcessBytes);
    std::atomic<bool> stop{false};
    platform::image::Picture picture;
    std::jthread decode([&] {
        const platform::image::DecodeStopping stopping([&stop] { return stop.load(); });
        picture = platform::image::readPicture(path, PictureRequest::within(640));
    });
    budget.waitUntilWaiting(1);
    stop = true;
    decode.join();
    EXPECT_EQ(picture.fault, PictureFault::Stopped);
    EXPECT_FALSE(picture.isRead());
    EXPECT_EQ(budget.held(), DecodeBudget::kProcessBytes);
}

// A progressive JPEG whose decoder fails once it holds every coefficient gives back what it reserved.
TEST(DecodeBudget, ADecoderThatFailsGivesBackItsShare) {
    TempDir dir;
    const QString path = dir.file("spoilt.jpg");
    ASSERT_TRUE(writeBytes(path, test_support::progressiveJpegFailingLate({2400, 1600})));
    DecodeBudget& budget = DecodeBudget::process();
    const qint64 nearlyAll = DecodeBudget::kProcessBytes - 64 * kMB;
    auto most = budget.reserve(nearlyAll);
    budget.resetMostHeld();
    EXPECT_EQ(platform::image::readPicture(path, PictureRequest::within(640)).fault, PictureFault::Damaged);
    EXPECT_FALSE(platform::image::pictureDecodes(path));
    EXPECT_GT(budget.mostHeld(), nearlyAll) << "the decode reserved its share";
    EXPECT_EQ(budget.held(), nearlyAll) << "and gave it back";
}

// A decode on a thread in the GL driver or holding the main context may not wait for the budget (a decoder
// holding it may need that lock to end): with the budget all taken, it goes ahead at once, counted.
TEST(DecodeBudget, ADecodeUnderAGlLockGoesAheadAtOnce) {
    const HangGuard guard("a decode under a GL lock with the budget all taken", std::chrono::seconds(120));
    TempDir dir;
    const QString path = dir.file("progressive.jpg");
    ASSERT_TRUE(test_support::writeLargeJpeg(path, {2400, 1600}, {.progressive = true}));
    const auto main = platform::gl::Context::create(platform::gl::Context::Use::Main);
    struct Case {
        const char* under;
        std::function<void(const std::function<void()>&)> holding;
    };
    const Case cases[] = {
        {"the driver lock",
         [](const std::function<void()>& decode) {
             const platform::gl::DriverLock driver;
             decode();
         }},
        {"the main context",
         [&](const std::function<void()>& decode) {
             const platform::gl::Context::Scope scope(*main);
             decode();
         }},
    };
    DecodeBudget& budget = DecodeBudget::process();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.under);
        auto all = budget.reserve(DecodeBudget::kProcessBytes);
        budget.resetMostHeld();
        PictureFault fault = PictureFault::Unreadable;
        c.holding([&] { fault = platform::image::readPicture(path, PictureRequest::within(640)).fault; });
        EXPECT_EQ(fault, PictureFault::None);
        EXPECT_GT(budget.mostHeld(), DecodeBudget::kProcessBytes) << "its share is counted with the rest";
        all.reset();
        EXPECT_EQ(budget.held(), 0);
    }
}
