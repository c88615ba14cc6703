#include "platform/foundation/ChildLaunch.h"

#include "platform/foundation/UniqueFd.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {
namespace {

// ---- in the child, between the fork and the exec: system calls only

[[noreturn]] void failChild(int report, int code) {
    [[maybe_unused]] const ssize_t told = ::write(report, &code, sizeof code);
    ::_exit(127);
}

bool becomes(int from, int to) {
    if (from == to)
        return ::fcntl(to, F_SETFD, 0) == 0; // kept through the exec
    return ::dup2(from, to) == to;
}

// Every descriptor but the standard streams and the report goes.
void closeTheRest(int report) {
    const auto closeRange = [](unsigned first, unsigned last) {
        if (first > last || ::close_range(first, last, 0) == 0)
            return;
        struct rlimit limit {};
        const unsigned end = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < 65536
                                 ? unsigned(limit.rlim_cur)
                                 : 65536;
        for (unsigned fd = first; fd <= last && fd < end; ++fd)
            ::close(int(fd));
    };
    closeRange(STDERR_FILENO + 1, unsigned(report) - 1);
    closeRange(unsigned(report) + 1, ~0U);
}

[[noreturn]] void execChild(const ChildLaunch& launch, pid_t parent, int report) {
    // The signal comes when the thread that forked ends, which is the launching thread, whose end is the
    // program's; a program already gone before the line was laid sends none.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0)
        failChild(report, errno);
    if (::getppid() != parent)
        ::_exit(127);
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    for (int number = 1; number < NSIG; ++number)
        ::sigaction(number, &standard, nullptr); // our ignored SIGPIPE among them
    if (launch.ownProcessGroup && ::setpgid(0, 0) != 0)
        failChild(report, errno);
    if (!becomes(launch.input, STDIN_FILENO) || !becomes(launch.output, STDOUT_FILENO) ||
        !becomes(launch.error < 0 ? STDOUT_FILENO : launch.error, STDERR_FILENO))
        failChild(report, errno);
    if (launch.workingFolder && ::chdir(launch.workingFolder) != 0)
        failChild(report, errno);
    closeTheRest(report);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(launch.path, launch.argv, launch.envp);
    failChild(report, errno);
}

// ---- in this program

int forkAndExec(const ChildLaunch& launch, pid_t* pid) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return errno;
    const UniqueFd reportRead(ends[0]);
    UniqueFd reportWrite(ends[1]);
    // Clear of the standard streams, which the child's own take the place of.
    if (reportWrite.get() <= STDERR_FILENO) {
        reportWrite.reset(::fcntl(ends[1], F_DUPFD_CLOEXEC, STDERR_FILENO + 1));
        if (!reportWrite)
            return EMFILE;
    }
    const pid_t parent = ::getpid();
    // Without the fork handlers of the libraries in this program, which could wait for locks that threads
    // waiting for this child hold.
    const pid_t child = ::_Fork();
    if (child == 0)
        execChild(launch, parent, reportWrite.get());
    const int forkError = errno;
    reportWrite.reset(); // the report ends with the exec: its end of the pipe closes then
    if (child < 0)
        return forkError;
    int code = 0;
    ssize_t got;
    do
        got = ::read(reportRead.get(), &code, sizeof code);
    while (got < 0 && errno == EINTR);
    if (got != ssize_t(sizeof code)) {
        *pid = child;
        return 0;
    }
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    return code;
}

// The one thread that starts every child: a child dies with the thread that forked it, so that thread must
// last as long as the program, whichever thread asks for the child and however soon that one ends.
class LaunchThread {
public:
    // Never destroyed: children start until the program's end. A copy of the program made by a fork (a test's
    // death test) has none of this program's threads, so it makes a launching thread of its own.
    static LaunchThread& instance() {
        static const bool forksMakeTheirOwn =
            ::pthread_atfork(nullptr, nullptr, [] { current.store(nullptr); }) == 0;
        (void)forksMakeTheirOwn;
        LaunchThread* found = current.load();
        if (found)
            return *found;
        auto made = std::unique_ptr<LaunchThread>(new LaunchThread);
        if (!current.compare_exchange_strong(found, made.get()))
            return *found;
        std::thread([launcher = made.get()] { launcher->loop(); }).detach();
        return *made.release();
    }

    int run(const std::function<int()>& work) {
        Job job{work};
        std::unique_lock lock(mutex);
        jobs.push_back(&job);
        wake.notify_one();
        done.wait(lock, [&job] { return job.finished; });
        return job.result;
    }

private:
    struct Job {
        const std::function<int()>& work;
        int result = 0;
        bool finished = false;
    };

    LaunchThread() = default;

    void loop() {
        // Signals go to the other threads; a child starts with them all blocked until it has set them.
        sigset_t all;
        sigfillset(&all);
        ::pthread_sigmask(SIG_SETMASK, &all, nullptr);
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return !jobs.empty(); });
            Job* job = jobs.front();
            jobs.pop_front();
            lock.unlock();
            const int result = job->work();
            lock.lock();
            job->result = result;
            job->finished = true;
            done.notify_all();
        }
    }

    static std::atomic<LaunchThread*> current;

    std::mutex mutex; // a leaf: the work runs without it
    std::condition_variable wake, done;
    std::deque<Job*> jobs;
};

std::atomic<LaunchThread*> LaunchThread::current{nullptr};

} // namespace

int launchChild(const ChildLaunch& launch, pid_t* pid) {
    return LaunchThread::instance().run([&launch, pid] { return forkAndExec(launch, pid); });
}

} // namespace platform
