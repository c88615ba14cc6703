#include "platform/net/RunLoop.h"

#include <QThread>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>

using namespace platform::net;

namespace {

class LoopThread : public QThread {
public:
    explicit LoopThread(std::function<void()> setUp) : setUp(std::move(setUp)) {}

protected:
    void run() override {
        setUp();
        exec();
    }

private:
    std::function<void()> setUp;
};

// A request may outlive the thread its timers and socket watches ran on (its last owner lets go after the
// application's end). What it drops then must still be freed; the leak-checking build shows what is not.
TEST(QtRunLoopTest, WatchesAndTimersDroppedAfterTheirThreadEndedAreFreed) {
    for (const bool threadObjectGoesFirst : {false, true}) {
        SCOPED_TRACE(threadObjectGoesFirst ? "thread object deleted" : "thread finished");
        int sockets[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
        std::unique_ptr<RunLoop::Timer> timer;
        std::unique_ptr<RunLoop::SocketWatch> watch;
        std::atomic<int> ticks{0};
        std::atomic<bool> writable{false};
        auto thread = std::make_unique<LoopThread>([&] {
            const auto loop = qtRunLoopForCurrentThread();
            watch =
                loop->watchSocket(sockets[0], [&](bool, bool canWrite) { writable = writable || canWrite; });
            watch->setEvents(false, true);
            timer = loop->startTimer(0.001, true, [&] {
                if (++ticks >= 3 && writable)
                    QThread::currentThread()->quit();
            });
        });
        thread->start();
        ASSERT_TRUE(thread->wait(10'000));
        EXPECT_GE(ticks.load(), 3);
        EXPECT_TRUE(writable.load());
        if (threadObjectGoesFirst)
            thread.reset();
        timer.reset();
        watch.reset();
        ::close(sockets[0]);
        ::close(sockets[1]);
    }
}

} // namespace
