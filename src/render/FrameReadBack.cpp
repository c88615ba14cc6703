#include "render/FrameReadBack.h"

#include "platform/foundation/CancellableWait.h"
#include "platform/gl/Context.h"
#include "platform/gl/GlError.h"
#include "render/FramePipeQueue.h"

#include <pthread.h>

#include <chrono>

namespace {

constexpr auto kCancelPoll = std::chrono::milliseconds(50);
constexpr GLuint64 kFencePollNanoseconds = 50'000'000;

} // namespace

FrameReadBack::FrameReadBack(const platform::gl::Context& drawing, FramePipeQueue& pipeQueue,
                             std::function<bool()> cancelTest)
    : context(platform::gl::Context::createShared(drawing)), queue(pipeQueue),
      cancelled(std::move(cancelTest)) {
    thread = std::thread([this] { readFrames(); });
}

FrameReadBack::~FrameReadBack() {
    // What the pump was told is written is written, unless the export is cancelled or the reading failed.
    flush();
    {
        const std::lock_guard lock(mutex);
        leaving = true;
    }
    changed.notify_all();
    thread.join();
}

QString FrameReadBack::errorString() const {
    const std::lock_guard lock(mutex);
    return error;
}

void FrameReadBack::fail(const QString& why) {
    {
        const std::lock_guard lock(mutex);
        if (!failed)
            error = why;
        failed = true;
    }
    changed.notify_all();
}

std::uint64_t FrameReadBack::submit(GLuint texture, int width, int height) {
    const GLsync fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    glFlush(); // the fence is only reached once the commands before it are on their way
    std::uint64_t number = 0;
    {
        const std::lock_guard lock(mutex);
        if (!fence && !failed) {
            failed = true;
            error = QStringLiteral("A drawn frame could not be fenced for its read-back");
        }
        if (failed) {
            if (fence)
                glDeleteSync(fence);
            return 0;
        }
        jobs.push_back({fence, texture, width, height});
        number = ++submitted;
    }
    changed.notify_all();
    return number;
}

bool FrameReadBack::readUpTo(std::uint64_t number) {
    std::unique_lock lock(mutex);
    if (!platform::waitUnlessCancelled(lock, changed, kCancelPoll, cancelled,
                                       [&] { return failed || read_ >= number; })) {
        if (!failed)
            error = QStringLiteral("The export was cancelled while a frame was being read back");
        failed = true;
        changed.notify_all();
    }
    return !failed;
}

bool FrameReadBack::flush() {
    std::uint64_t last = 0;
    {
        const std::lock_guard lock(mutex);
        last = submitted;
    }
    return readUpTo(last);
}

bool FrameReadBack::waitForFence(GLsync fence) {
    for (;;) {
        switch (glClientWaitSync(fence, 0, kFencePollNanoseconds)) {
        case GL_ALREADY_SIGNALED:
        case GL_CONDITION_SATISFIED:
            return true;
        case GL_TIMEOUT_EXPIRED:
            break;
        default:
            fail(QStringLiteral("The wait for a drawn frame failed"));
            return false;
        }
        {
            const std::lock_guard lock(mutex);
            if (leaving || failed)
                return false;
        }
        if (cancelled && cancelled()) {
            fail(QStringLiteral("The export was cancelled while a frame was being drawn"));
            return false;
        }
    }
}

bool FrameReadBack::read(const Job& job) {
    if (!waitForFence(job.fence))
        return false;
    const std::size_t rowBytes = std::size_t(job.width) * 4;
    unsigned char* into = queue.acquire(rowBytes * std::size_t(job.height));
    if (!into) {
        fail(queue.errorString());
        return false;
    }
    platform::gl::drainErrors();
    // Framebuffers are not shared between contexts: this one reads the drawing context's texture. Made for
    // each frame, as a cached one could outlive its texture and read another that took its name.
    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, job.texture, 0);
    const bool complete = glCheckFramebufferStatus(GL_READ_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    if (complete) {
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glReadPixels(0, 0, job.width, job.height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, into);
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    if (!complete || glGetError() != GL_NO_ERROR) {
        fail(QStringLiteral("A drawn frame could not be read back"));
        return false;
    }
    queue.submit(job.height, rowBytes, true);
    return true;
}

void FrameReadBack::readFrames() {
    pthread_setname_np(pthread_self(), "frame-readback");
    const platform::gl::Context::Scope scope(*context);
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return leaving || failed || !jobs.empty(); });
        if (leaving || failed)
            break;
        const Job job = jobs.front();
        lock.unlock();
        const bool done = read(job);
        glDeleteSync(job.fence);
        lock.lock();
        jobs.pop_front();
        if (done)
            ++read_;
        changed.notify_all();
    }
    for (const Job& job : jobs)
        glDeleteSync(job.fence);
    jobs.clear();
}
