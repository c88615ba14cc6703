#include "platform/foundation/Guarded.h"
#include "platform/foundation/ThreadJoin.h"

#include <QString>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <thread>
#include <vector>

using platform::Guarded;

namespace {

struct Pair {
    int first = 0;
    int second = 0;
    QString name;
};

// Writers keep both halves equal through with(); a reader must never see them differ, and no increment is
// lost.
TEST(GuardedTest, ChangesThroughWithAreWholeAndNoneIsLost) {
    Guarded<Pair> pair;
    std::atomic<bool> torn{false};
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([&] {
            for (int i = 0; i < 2000; ++i)
                pair.with([](Pair& p) {
                    ++p.first;
                    ++p.second;
                });
        });
    std::thread reader([&] {
        for (int i = 0; i < 2000; ++i) {
            const Pair seen = pair.get();
            if (seen.first != seen.second)
                torn = true;
        }
    });
    for (auto& writer : writers)
        writer.join();
    reader.join();
    EXPECT_FALSE(torn);
    EXPECT_EQ(pair.get(&Pair::first), 8000);
}

TEST(GuardedTest, OneFieldIsReadAndReplacedAlone) {
    Guarded<Pair> pair;
    pair.set(&Pair::name, QStringLiteral("show"));
    pair.set(&Pair::second, 3);
    EXPECT_EQ(pair.get(&Pair::name), "show");
    EXPECT_EQ(pair.get(&Pair::first), 0);
    EXPECT_EQ(pair.get().second, 3);
}

TEST(JoinUnlessSelfTest, WaitsFromOutsideAndLetsGoFromInside) {
    std::atomic<bool> ran{false};
    std::thread outside([&] { ran = true; });
    platform::joinUnlessSelf(outside);
    EXPECT_TRUE(ran);
    EXPECT_FALSE(outside.joinable());

    // The last owner lets go of its thread from that thread's own code: it must neither wait for itself nor
    // leave a joinable thread behind.
    auto owned = std::make_shared<std::thread>();
    std::promise<bool> released;
    std::promise<void> started;
    *owned = std::thread([&, owned] {
        started.get_future().wait();
        platform::joinUnlessSelf(*owned);
        released.set_value(!owned->joinable());
    });
    started.set_value();
    EXPECT_TRUE(released.get_future().get());
}

} // namespace
