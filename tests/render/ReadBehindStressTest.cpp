#include "RenderTestSupport.h"

#include "platform/foundation/NamedPipe.h"
#include "platform/gl/Context.h"
#include "platform/gl/DriverLock.h"
#include "platform/gl/FrameBuffer.h"
#include "render/RGBConverterObject.h"
#include "render/TextureObject.h"
#include "support/TempDir.h"

#include <unistd.h>

#include <QByteArray>

#include <atomic>
#include <functional>
#include <random>
#include <thread>
#include <vector>

// Many frames through the export's read-back while the drawing side is as busy as a show makes it (several
// passes a frame, each sampling many textures) and, meanwhile, loaders of the share group enter and leave
// their contexts, make, fill and drop textures (some at once, some queued for the group), and other threads
// make and destroy contexts. The software rasteriser lets a context that maps a texture walk the other
// contexts' drawing state without a lock: a read-back on a context of its own, or a loader uploading while
// the player draws, read freed memory there and crashed. VISTRELLE_STRESS_FRAMES sets a longer run by hand.

namespace {

// The colour frame `i` is cleared to, as the pipe's blue, green, red bytes.
std::array<unsigned char, 3> frameColour(int i) {
    return {77, static_cast<unsigned char>((i / 251) % 251), static_cast<unsigned char>(i % 251)};
}

// Reads the pipe frame by frame and counts the frames whose corners are not their own colour.
class CheckingDrain {
public:
    CheckingDrain(const QString& path, int width, int height) {
        reader = std::thread([this, path, width, height] {
            platform::UniqueFd fd = platform::NamedPipe::openForReading(path);
            std::vector<unsigned char> frame(std::size_t(width) * height * 4);
            std::size_t have = 0;
            for (ssize_t got; (got = ::read(fd.get(), frame.data() + have, frame.size() - have)) > 0;) {
                have += std::size_t(got);
                if (have < frame.size())
                    continue;
                const auto colour = frameColour(frames);
                for (const std::size_t at : {std::size_t(0), frame.size() - 4})
                    if (frame[at] != colour[0] || frame[at + 1] != colour[1] || frame[at + 2] != colour[2]) {
                        ++wrong;
                        break;
                    }
                ++frames;
                have = 0;
            }
        });
    }
    ~CheckingDrain() { join(); }
    void join() {
        if (reader.joinable())
            reader.join();
    }
    int frames = 0;
    int wrong = 0;

private:
    std::thread reader;
};

// Makes, fills and drops textures of many sizes on a context of the share group, as slide loaders do: in
// turns of a few, each turn in a scope of its own, and half of what a turn made is dropped out of scope, so
// that its names wait for the group's next scope.
void churnTextures(platform::gl::Context& shared, const std::atomic<bool>& stop, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::unique_ptr<TextureObject>> held;
    while (!stop.load()) {
        {
            const platform::gl::Context::Scope scope(shared);
            for (int i = 0; i < 8 && !stop.load(); ++i) {
                auto texture = std::make_unique<TextureObject>();
                texture->LoadCIImage(
                    rendertest::solid(8 << (random() % 7), 8 << (random() % 7), Qt::darkCyan));
                held.push_back(std::move(texture));
                if (held.size() > 6)
                    held.erase(held.begin()); // deleted at once
            }
        }
        held.resize(held.size() / 2); // queued for the group
    }
}

// Makes a context, uploads a picture on it and destroys it, again and again, as each composition slide and
// each play's loaders do. In a share group of their own, so that the count of the drawing group's contexts
// tells whether the read-back made one.
void churnContexts(const std::atomic<bool>& stop, unsigned seed) {
    std::mt19937 random(seed);
    while (!stop.load()) {
        const auto own = platform::gl::Context::create();
        const platform::gl::Context::Scope scope(*own);
        TextureObject texture;
        texture.LoadCIImage(rendertest::solid(8 << (random() % 6), 8 << (random() % 6), Qt::darkMagenta));
    }
}

int frameCountToRun(int byDefault) {
    const int asked = qEnvironmentVariableIntValue("VISTRELLE_STRESS_FRAMES");
    return asked > 0 ? asked : byDefault;
}

// A quad of the unit square scaled into [x0, x1] x [y0, y1], in fixed-function texturing.
void texturedQuad(GLuint texture, float x0, float y0, float x1, float y1) {
    glBindTexture(GL_TEXTURE_2D, texture);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(x0, y0);
    glTexCoord2f(1, 0);
    glVertex2f(x1, y0);
    glTexCoord2f(1, 1);
    glVertex2f(x1, y1);
    glTexCoord2f(0, 1);
    glVertex2f(x0, y1);
    glEnd();
}

// Pictures and passes of a busy frame: a pool of small textures, and side targets drawn from them, as a
// transition draws its two slides before the frame.
class BusyFrames {
public:
    BusyFrames() {
        const platform::gl::DriverLock driver;
        std::vector<unsigned char> pixels(32 * 32 * 4);
        for (int i = 0; i < kPictures; ++i) {
            std::fill(pixels.begin(), pixels.end(), static_cast<unsigned char>(i * 2));
            GLuint texture = 0;
            glGenTextures(1, &texture);
            glBindTexture(GL_TEXTURE_2D, texture);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 32, 32, 0, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            pictures.push_back(texture);
        }
        for (int i = 0; i < kSideTargets; ++i)
            sides.push_back(std::make_unique<platform::gl::FrameBuffer>(256, 256));
    }
    ~BusyFrames() {
        const platform::gl::DriverLock driver;
        glDeleteTextures(GLsizei(pictures.size()), pictures.data());
        sides.clear();
    }

    // Draws the side passes, then binds `target` again and draws into its middle (its corners stay clear).
    void draw(int frame, const std::function<void()>& bindTarget) {
        glEnable(GL_TEXTURE_2D);
        for (int s = 0; s < kSideTargets; ++s) {
            sides[std::size_t(s)]->bind();
            for (int q = 0; q < kQuadsAPass; ++q) {
                const float x = -1.0f + 0.25f * float(q % 8), y = -1.0f + 0.25f * float(q / 8 % 8);
                texturedQuad(pictures[std::size_t((frame * 7 + s * kQuadsAPass + q) % kPictures)], x, y,
                             x + 0.25f, y + 0.25f);
            }
        }
        bindTarget();
        for (int q = 0; q < kQuadsAPass; ++q) {
            const float x = -0.5f + 0.125f * float(q % 8), y = -0.5f + 0.125f * float(q / 8 % 8);
            const GLuint texture = q % 4 == 0 ? sides[std::size_t(q / 4 % kSideTargets)]->colourTexture()
                                              : pictures[std::size_t((frame + q) % kPictures)];
            texturedQuad(texture, x, y, x + 0.125f, y + 0.125f);
        }
        glDisable(GL_TEXTURE_2D);
    }

private:
    static constexpr int kPictures = 96;
    static constexpr int kSideTargets = 3;
    static constexpr int kQuadsAPass = 48;
    std::vector<GLuint> pictures;
    std::vector<std::unique_ptr<platform::gl::FrameBuffer>> sides;
};

} // namespace

class ReadBehindStressTest : public RenderTest {};

TEST_F(ReadBehindStressTest, EveryFrameArrivesWholeWhileOtherContextsMakeAndDropTextures) {
    constexpr int width = 640, height = 360, loaderCount = 3, contextMakers = 2;
    const int frameCount = frameCountToRun(1500);
    TempDir folder;
    platform::NamedPipe pipe;
    ASSERT_TRUE(pipe.create(folder.file("fifo")));
    CheckingDrain drain(pipe.path(), width, height);

    std::atomic<bool> stop{false};
    std::vector<std::unique_ptr<platform::gl::Context>> loaderContexts;
    std::vector<std::thread> loaders;
    for (unsigned i = 0; i < loaderCount; ++i) {
        loaderContexts.push_back(platform::gl::Context::createShared(*context));
        loaders.emplace_back(churnTextures, std::ref(*loaderContexts.back()), std::cref(stop), i + 1);
    }
    for (unsigned i = 0; i < contextMakers; ++i)
        loaders.emplace_back(churnContexts, std::cref(stop), i + 11);
    const int contextsAtStart = context->shareGroup()->contextCount();
    int contextsWhileReading = 0;
    {
        BusyFrames busy;
        RGBConverterObject converter(width, height);
        converter.setStrVideoFIFOFullPath(pipe.path());
        for (int i = 0; i < frameCount; ++i) {
            {
                const platform::gl::DriverLock driver; // as the player holds it for a frame
                busy.draw(i, [&] {
                    ASSERT_TRUE(converter.switchOffScreenFBO()) << converter.errorString().toStdString();
                    const auto colour = frameColour(i);
                    glClearColor(colour[2] / 255.0f, colour[1] / 255.0f, colour[0] / 255.0f, 1.0f);
                    glClear(GL_COLOR_BUFFER_BIT);
                });
            }
            // As the export's pump calls it: the converter takes the lock for its GL calls only.
            ASSERT_TRUE(converter.convertFIFO()) << converter.errorString().toStdString();
            contextsWhileReading = std::max(contextsWhileReading, context->shareGroup()->contextCount());
        }
        ASSERT_TRUE(converter.flushFIFO()) << converter.errorString().toStdString();
    }
    stop = true;
    for (auto& loader : loaders)
        loader.join();
    drain.join();
    EXPECT_EQ(drain.frames, frameCount);
    EXPECT_EQ(drain.wrong, 0) << "frames read from another target than their own";
    EXPECT_EQ(contextsWhileReading, contextsAtStart) << "the read-back reads on the drawing context";
}
