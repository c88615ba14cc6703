#include "PlayerTestSupport.h"

#include "platform/foundation/NamedPipe.h"
#include "platform/gl/DriverLock.h"
#include "render/RGBConverterObject.h"
#include "support/HangGuard.h"
#include "support/TempDir.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <malloc.h>
#include <pthread.h>
#include <semaphore.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

// The software rasteriser's threads count a fence as passed and then, the fence's lock still held, wake its
// waiters by a broadcast; the render test program exports this name, so the driver's broadcasts come here.
// Once asked, each broadcast of the rasteriser's waits in here, its fence passed and not let go, until let
// on.
namespace rasteriser_hold {
std::atomic<bool> asked{false};
std::atomic<const pthread_mutex_t*> lock{nullptr}; // the held fence's lock
std::atomic<pid_t> holder{0};
std::atomic<int> holds{0};
sem_t release;

bool heldBy(const pthread_mutex_t* mutex, pid_t thread) {
    return mutex->__data.__lock != 0 && mutex->__data.__count == 0 && mutex->__data.__owner == thread;
}
} // namespace rasteriser_hold

extern "C" int pthread_cond_broadcast(pthread_cond_t* condition) {
    using namespace rasteriser_hold;
    static const auto real = reinterpret_cast<int (*)(pthread_cond_t*)>(::dlsym(RTLD_NEXT, __func__));
    char thread[16] = {};
    if (asked && pthread_getname_np(pthread_self(), thread, sizeof thread) == 0 &&
        std::strncmp(thread, "llvmpipe-", 9) == 0) {
        // The fence's lock lies just before its condition.
        for (std::size_t back = 8; back <= 40; back += 8) {
            const auto* fence =
                reinterpret_cast<const pthread_mutex_t*>(reinterpret_cast<char*>(condition) - back);
            if (heldBy(fence, gettid())) {
                holder = gettid();
                ++holds;
                lock = fence;
                while (sem_wait(&release) != 0) {
                }
                break;
            }
        }
    }
    return real(condition);
}

namespace {

// Paints the bound target in quarters, as seen: red top left, green top right, blue bottom left, white
// bottom right (GL rows count from the bottom). Under the driver lock, as the player draws.
void paintQuarters(int width, int height) {
    const platform::gl::DriverLock driver;
    glEnable(GL_SCISSOR_TEST);
    const struct {
        int x, y;
        float r, g, b;
    } parts[] = {{0, 1, 1, 0, 0}, {1, 1, 0, 1, 0}, {0, 0, 0, 0, 1}, {1, 0, 1, 1, 1}};
    for (const auto& part : parts) {
        glScissor(part.x * width / 2, part.y * height / 2, width / 2, height / 2);
        glClearColor(part.r, part.g, part.b, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glDisable(GL_SCISSOR_TEST);
}

void clearTo(float red, float green, float blue) {
    const platform::gl::DriverLock driver;
    glClearColor(red, green, blue, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

// The pixel at (x, y), y from the top, of a frame in the pipe's byte order, as (r, g, b, a).
std::array<int, 4> pipePixel(const unsigned char* frame, int width, int x, int y) {
    const unsigned char* p = frame + (qint64(y) * width + x) * 4;
    return {p[2], p[1], p[0], p[3]};
}

using Pixel = std::array<int, 4>;

// A pipe whose reader keeps every byte until the writer closes it, or until it has `readUpTo` bytes, when it
// closes the pipe itself.
class PipeDrain {
public:
    explicit PipeDrain(qint64 readUpTo = -1) {
        if (!pipe.create(folder.file("fifo")))
            return;
        reader = std::thread([this, readUpTo] {
            platform::UniqueFd fd = platform::NamedPipe::openForReading(pipe.path());
            char buffer[65536];
            const auto room = [&] {
                return readUpTo < 0 ? qint64(sizeof buffer)
                                    : std::min<qint64>(sizeof buffer, readUpTo - bytes.size());
            };
            for (ssize_t got; room() > 0 && (got = ::read(fd.get(), buffer, std::size_t(room()))) > 0;)
                bytes.append(buffer, got);
        });
    }
    // A test that ended before the pipe was written lets the reader's open end with an empty pipe.
    ~PipeDrain() {
        if (made())
            ::close(::open(pipe.path().toLocal8Bit().constData(), O_RDWR | O_CLOEXEC));
        join();
    }
    bool made() const { return reader.joinable(); }
    QString path() const { return pipe.path(); }
    // What the reader got, once the writer has closed the pipe.
    const QByteArray& received() {
        join();
        return bytes;
    }

private:
    void join() {
        if (reader.joinable())
            reader.join();
    }
    TempDir folder;
    platform::NamedPipe pipe;
    QByteArray bytes;
    std::thread reader;
};

} // namespace

class RGBConverterTest : public RenderTest {};

TEST_F(RGBConverterTest, AFrameIsReadAsBlueGreenRedAlphaWithTheTopRowFirst) {
    RGBConverterObject converter(64, 36);
    ASSERT_EQ(converter.nYUVBUffSize(), 64 * 36 * 4);
    ASSERT_TRUE(converter.switchOffScreenFBO()) << converter.errorString().toStdString();
    paintQuarters(64, 36);
    std::vector<unsigned char> frame(std::size_t(converter.nYUVBUffSize()));
    ASSERT_TRUE(converter.convert(frame.data(), qint64(frame.size())));
    EXPECT_EQ(pipePixel(frame.data(), 64, 0, 0), (Pixel{255, 0, 0, 255}));
    EXPECT_EQ(pipePixel(frame.data(), 64, 63, 0), (Pixel{0, 255, 0, 255}));
    EXPECT_EQ(pipePixel(frame.data(), 64, 0, 35), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(pipePixel(frame.data(), 64, 63, 35), (Pixel{255, 255, 255, 255}));
    EXPECT_FALSE(converter.convert(frame.data(), qint64(frame.size()) - 1))
        << "a buffer too small is refused";

    // The earlier form reads the bound target as it stands: the same colours, the bottom row first.
    ASSERT_TRUE(converter.switchOffScreenFBO());
    paintQuarters(64, 36);
    std::vector<unsigned char> unturned(frame.size());
    ASSERT_TRUE(converter.convert_old(unturned.data(), qint64(unturned.size())));
    EXPECT_EQ(pipePixel(unturned.data(), 64, 0, 0), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(pipePixel(unturned.data(), 64, 63, 0), (Pixel{255, 255, 255, 255}));
    EXPECT_EQ(pipePixel(unturned.data(), 64, 0, 35), (Pixel{255, 0, 0, 255}));
    EXPECT_EQ(pipePixel(unturned.data(), 64, 63, 35), (Pixel{0, 255, 0, 255}));
    EXPECT_FALSE(converter.convert_old(unturned.data(), qint64(unturned.size()) - 1));
}

TEST_F(RGBConverterTest, TheBufferFollowsEveryChangeOfSize) {
    PipeDrain pipe;
    ASSERT_TRUE(pipe.made());
    {
        RGBConverterObject converter(32, 18);
        converter.setStrVideoFIFOFullPath(pipe.path());
        ASSERT_TRUE(converter.switchOffScreenFBO());
        paintQuarters(32, 18);
        ASSERT_TRUE(converter.convertFIFO()) << converter.errorString().toStdString();
        // A larger target handed in: the converter takes its size, and the next frame is read whole.
        auto larger = std::make_unique<FrameBufferObject>();
        ASSERT_TRUE(larger->initFBOWithWidth(96, 54));
        converter.setFboOffScreen(std::move(larger));
        EXPECT_EQ(converter.nWidth(), 96);
        EXPECT_EQ(converter.nYUVBUffSize(), 96 * 54 * 4);
        ASSERT_TRUE(converter.switchOffScreenFBO());
        paintQuarters(96, 54);
        ASSERT_TRUE(converter.convertFIFO()) << converter.errorString().toStdString();
        EXPECT_GE(converter.nVideoWriteFD(), 0);
    } // the converter goes: the pipe closes and the reader sees the end
    const QByteArray& received = pipe.received();
    ASSERT_EQ(received.size(), 32 * 18 * 4 + 96 * 54 * 4);
    const auto* second = reinterpret_cast<const unsigned char*>(received.constData()) + 32 * 18 * 4;
    EXPECT_EQ(pipePixel(second, 96, 95, 53), (Pixel{255, 255, 255, 255}));
    EXPECT_EQ(pipePixel(second, 96, 0, 0), (Pixel{255, 0, 0, 255}));
}

TEST_F(RGBConverterTest, FramesReadBehindTheDrawingArriveWholeAndInOrder) {
    PipeDrain pipe;
    ASSERT_TRUE(pipe.made());
    constexpr int kFrames = 12, kWidth = 48, kHeight = 20;
    {
        RGBConverterObject converter(kWidth, kHeight);
        converter.setStrVideoFIFOFullPath(pipe.path());
        for (int i = 0; i < kFrames; ++i) {
            ASSERT_TRUE(converter.switchOffScreenFBO()) << converter.errorString().toStdString();
            clearTo(float(i) / 255.0f, float(200 - i) / 255.0f, 0.5f);
            ASSERT_TRUE(converter.convertFIFO()) << converter.errorString().toStdString();
        }
        ASSERT_TRUE(converter.flushFIFO()) << converter.errorString().toStdString();
    }
    const QByteArray& received = pipe.received();
    ASSERT_EQ(received.size(), kFrames * kWidth * kHeight * 4);
    for (int i = 0; i < kFrames; ++i) {
        const auto* frame =
            reinterpret_cast<const unsigned char*>(received.constData()) + i * kWidth * kHeight * 4;
        EXPECT_EQ(pipePixel(frame, kWidth, 0, 0), (Pixel{i, 200 - i, 128, 255})) << "frame " << i;
        EXPECT_EQ(pipePixel(frame, kWidth, kWidth - 1, kHeight - 1), (Pixel{i, 200 - i, 128, 255}))
            << "frame " << i;
    }
}

// With one rasteriser thread, the fence of each frame the read-back waits for is held by the rasteriser
// inside its broadcast while the read-back goes on to the next frame, whose drawing lets go of the driver's
// own holds on that fence. When the read-back waits behind it, the fence must still be there: a fence freed
// under the rasteriser's lock is memory that its broadcast and its unlock write into.
TEST_F(RGBConverterTest, TheFenceOfAFrameReadStaysWhileTheRasteriserStillSignalsIt) {
    if (!context->glRenderer().contains(QLatin1String("llvmpipe")))
        GTEST_SKIP() << "the hold is the software rasteriser's";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const test_support::EnvOverride oneThread("LP_NUM_THREADS", QStringLiteral("1"));
    EXPECT_EXIT(
        {
            const HangGuard guard("the read-back with the rasteriser held");
#if defined(__GLIBC__)
            mallopt(M_PERTURB, 0x5a); // memory let go is overwritten at once
#endif
            sem_init(&rasteriser_hold::release, 0, 0);
            PipeDrain pipe;
            RGBConverterObject converter(48, 20);
            converter.setStrVideoFIFOFullPath(pipe.path());
            // Asked on this thread while the read-back waits (the pipe's writer asks on its own): a hold seen
            // at two asks is one the read-back waits behind, past the next frame's drawing.
            converter.setCancelled([drawing = gettid(), seen = 0]() mutable {
                using namespace rasteriser_hold;
                const pthread_mutex_t* fence = gettid() == drawing ? lock.load() : nullptr;
                const int hold = holds;
                if (!fence || std::exchange(seen, hold) != hold)
                    return false;
                if (!heldBy(fence, holder)) {
                    std::fputs("the fence was freed while the rasteriser signalled it\n", stderr);
                    std::_Exit(1);
                }
                lock = nullptr;
                sem_post(&release);
                return false;
            });
            for (int i = 0; i < 12; ++i) {
                rasteriser_hold::asked = i >= 4; // once the read-back runs behind the drawing
                if (!converter.switchOffScreenFBO())
                    std::_Exit(2);
                clearTo(float(i) / 255.0f, 0.5f, 0.5f);
                if (!converter.convertFIFO())
                    std::_Exit(2);
            }
            std::_Exit(converter.flushFIFO() && rasteriser_hold::holder != 0 ? 0 : 2);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(RGBConverterTest, TheLastFramesInFlightThatFindNoReaderFailTheFlush) {
    constexpr int kFrames = 6, kWidth = 48, kHeight = 20, kFrameBytes = kWidth * kHeight * 4;
    // The reader takes the frames read back while the next ones were drawn, and goes.
    PipeDrain pipe((kFrames - 2) * kFrameBytes);
    ASSERT_TRUE(pipe.made());
    RGBConverterObject converter(kWidth, kHeight);
    converter.setStrVideoFIFOFullPath(pipe.path());
    for (int i = 0; i < kFrames; ++i) {
        ASSERT_TRUE(converter.switchOffScreenFBO()) << converter.errorString().toStdString();
        clearTo(float(i) / 255.0f, 0.5f, 0.5f);
        ASSERT_TRUE(converter.convertFIFO()) << converter.errorString().toStdString();
    }
    ASSERT_EQ(pipe.received().size(), (kFrames - 2) * kFrameBytes);
    EXPECT_FALSE(converter.flushFIFO()) << "the last two frames were never written";
    EXPECT_FALSE(converter.errorString().isEmpty());
}

TEST_F(RGBConverterTest, AReadBackProgramThatDoesNotBuildFailsTheConverter) {
    // The resources with a broken copy program.
    TempDir resources;
    QDir().mkpath(resources.file("shaders"));
    QFile vertex(resources.file("shaders/Shader_simple.vsh"));
    QFile fragment(resources.file("shaders/Shader_simple.fsh"));
    ASSERT_TRUE(vertex.open(QIODevice::WriteOnly) && fragment.open(QIODevice::WriteOnly));
    vertex.write("#version 120\nattribute vec4 position;\nvoid main() { gl_Position = position; }\n");
    fragment.write("#version 120\nvoid main() { gl_FragColor = undefinedThing; }\n");
    vertex.close();
    fragment.close();
    test_support::EnvOverride broken("VISTRELLE_RESOURCES", resources.path());

    RGBConverterObject converter(32, 18);
    converter.setStrVideoFIFOFullPath(resources.file("never-opened"));
    EXPECT_FALSE(converter.switchOffScreenFBO());
    EXPECT_TRUE(converter.errorString().contains("Shader_simple")) << converter.errorString().toStdString();
    EXPECT_FALSE(converter.convertFIFO());
    EXPECT_FALSE(converter.switchOffScreenFBO()) << "it does not come back to write frames nothing drew";
    std::vector<unsigned char> frame(32 * 18 * 4);
    EXPECT_FALSE(converter.convert(frame.data(), qint64(frame.size())));
}

TEST_F(RGBConverterTest, TheConverterWorksOnlyOnItsOwnContext) {
    auto own = std::shared_ptr<platform::gl::Context>(platform::gl::Context::createShared(*context));
    RGBConverterObject converter(32, 18);
    converter.setContext(own);
    EXPECT_FALSE(converter.switchOffScreenFBO()) << "the test's context is current, not the converter's";
    {
        const platform::gl::Context::Scope scope(*own);
        ASSERT_TRUE(converter.switchOffScreenFBO()) << converter.errorString().toStdString();
        FrameBufferObject* made = converter.fboOffScreen();
        converter.setContext(own);
        EXPECT_EQ(converter.fboOffScreen(), made) << "the same context changes nothing";
        converter.setContext(context);
        EXPECT_EQ(converter.fboOffScreen(), nullptr) << "a new context drops what the old one made";
    }
    EXPECT_TRUE(converter.switchOffScreenFBO());
}

TEST_F(RGBConverterTest, TheBaseConverterReadsNothingBack) {
    FrameConverterObject base;
    EXPECT_EQ(base.nWidth(), 16);
    EXPECT_EQ(base.nHeight(), 16);
    EXPECT_EQ(base.nVideoWriteFD(), -1);
    unsigned char frame[16 * 16 * 4];
    EXPECT_FALSE(base.convertYUV());
    EXPECT_FALSE(base.convert(frame, sizeof frame));
    EXPECT_FALSE(base.convertFIFO());
    EXPECT_TRUE(base.switchOffScreenFBO());
}

TEST(RGBConverterYuv, PlanesHoldLumaOfEveryPixelAndChromaOfEachBlocksFirstPixel) {
    // 4 x 2 pixels (blue, green, red): white, black, red, green / blue, ... ; blocks start at columns 0
    // and 2.
    const unsigned char bgr[] = {255, 255, 255, 0, 0, 0, 0, 0, 255, 0, 255, 0,
                                 255, 0,   0,   9, 9, 9, 9, 9, 9,   9, 9,   9};
    const QByteArray planes = RGBConverterObject::rgb2yuv420p(bgr, 4, 2);
    ASSERT_EQ(planes.size(), 4 * 2 * 3 / 2);
    const auto* p = reinterpret_cast<const unsigned char*>(planes.constData());
    EXPECT_EQ(p[0], 235); // white
    EXPECT_EQ(p[1], 16);  // black
    EXPECT_EQ(p[2], 82);  // red
    EXPECT_EQ(p[3], 144); // green
    EXPECT_EQ(p[4], 41);  // blue
    // U and V of the white and the red pixel, the top left ones of their blocks.
    EXPECT_EQ(p[8], 128);
    EXPECT_EQ(p[9], 90);
    EXPECT_EQ(p[10], 128);
    EXPECT_EQ(p[11], 240);

    // The same pixels with alpha give the same planes.
    std::vector<unsigned char> bgra;
    for (std::size_t i = 0; i < sizeof bgr; i += 3)
        bgra.insert(bgra.end(), {bgr[i], bgr[i + 1], bgr[i + 2], 7});
    EXPECT_EQ(RGBConverterObject::bgra2yuv420p(bgra.data(), 4, 2), planes);
    // Odd sizes get whole chroma planes rather than writing past them.
    EXPECT_EQ(RGBConverterObject::rgb2yuv420p(bgr, 3, 1).size(), 3 + 2 * 2);
    EXPECT_TRUE(RGBConverterObject::rgb2yuv420p(nullptr, 4, 2).isEmpty());
}
