#include "PlayerTestSupport.h"

#include "model/VideoSlideItem.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/MainThread.h"
#include "platform/gl/Context.h"
#include "platform/gl/DriverLock.h"
#include "platform/media/AudioPlayer.h"
#include "platform/media/VideoReader.h"
#include "render/SlideTextures.h"
#include "render/SlideshowImageObject.h"
#include "render/VideoSlideFrameSource.h"
#include "support/ClipMaker.h"
#include "support/FrameCode.h"
#include "support/NullAudioSink.h"
#include "support/OpenWatch.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>

using platform::gl::DriverLock;
using rendertest::colourNear;

namespace {

constexpr double kPeriod = 1.0 / 30.0;

// The texture's pixels, top row first as uploaded, 4 bytes each in B, G, R, A order.
QImage textureImage(GLuint texture, QSize size) {
    QImage image(size, QImage::Format_ARGB32);
    const DriverLock driver;
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_BYTE, image.bits());
    glBindTexture(GL_TEXTURE_2D, 0);
    return image;
}

// Which clip `held` finds held out of its turn at `frame`, the slide `on` showing: neither that one nor the
// next (in a loop, the first after the last); none, an empty text.
QString heldOutOfTurn(quint64 frame, std::size_t on, std::size_t clips, bool loop,
                      const std::function<bool(std::size_t)>& held) {
    const std::size_t next = loop ? (on + 1) % clips : on + 1;
    for (std::size_t i = 0; i < clips; ++i)
        if (i != on && i != next && held(i))
            return QString("clip %1 at frame %2, of slide %3").arg(i).arg(frame).arg(on);
    return {};
}

// Whether this process holds the file open.
bool isOpenHere(const QString& path) {
    const QString file = QFileInfo(path).canonicalFilePath();
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QString& name : descriptors.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        if (QFile::symLinkTarget(descriptors.filePath(name)) == file)
            return true;
    return false;
}

// The time of the frame the player draws.
class FrameTimeClock : public platform::Clock {
public:
    explicit FrameTimeClock(std::shared_ptr<SlideshowDirector> player) : player(std::move(player)) {}
    double secondsSinceStart() const override { return player->currentFrameTimeStamp().seconds(); }
    QDateTime now() const override {
        return QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC)
            .addMSecs(qint64(secondsSinceStart() * 1000));
    }

private:
    std::shared_ptr<SlideshowDirector> player;
};

} // namespace

class VideoSlideFrameSourceTest : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        platform::media::AudioPlayer::setDefaultSinkFactory(
            [] { return std::make_unique<test_support::NullAudioSink>(); });
        clock->set(50.0);
    }
    void TearDown() override {
        platform::media::AudioPlayer::setDefaultSinkFactory(nullptr);
        PlayerTest::TearDown();
    }

    QString makeClip(const QString& name, int frames, std::function<QImage(QSize, int)> picture,
                     QSize size = QSize(96, 64), int rotation = 0, bool audio = false) {
        ClipMaker::Options options;
        options.audio = audio;
        options.size = size;
        options.frames = frames;
        options.rotation = rotation;
        options.picture = std::move(picture);
        // In the open project's "videos" folder, as the import copies it: a project reads only its own clips.
        const QString path = project->strProjectVideoFileDirectory() + "/" + name;
        QString error;
        EXPECT_TRUE(ClipMaker::make(path, options, &error)) << error.toStdString();
        return path;
    }

    // A show without a fade in or out, looped or played once.
    void showWithoutFades(bool loop) {
        project->setBPlayLoop(loop);
        project->setFltSlideshowFadeIn(0.0f);
        project->setFltSlideshowFadeOut(0.0f);
    }

    // The clips made next keep time with the player's frames, as an export's do, in a preview's play too:
    // each frame drawn shows the clip's next.
    void clipsKeepTimeWithTheFrames() { clipClock = std::make_shared<FrameTimeClock>(director); }

    std::shared_ptr<VideoSlideItem> clipSlide(const QString& path, float transition = 0.0f) {
        auto clip = platform::makeMainThreadShared<VideoSlideItem>();
        clip->setClock(clipClock ? clipClock : clock);
        clip->setFSecTransitionDuration(transition);
        clip->PrepareVideoItem(path);
        return clip;
    }

    // Draws frame `n` of the slide under the driver lock, as the player does.
    static void draw(SlideshowImageObject& renderer, quint64 n) {
        const DriverLock driver;
        renderer.playSlideshow(n, 0, true, true);
    }

    // A renderer holding the slide, as the player sets one up.
    std::shared_ptr<SlideshowImageObject> rendererFor(const SlideItemRef& slide) {
        auto renderer = std::make_shared<SlideshowImageObject>();
        renderer->setBackgrondRender(director->backgroundRender());
        auto set = SlideTextures::forSlide(slide);
        set->ensureLoaded();
        renderer->setSlideItemData(slide, set);
        renderer->initSlideshowParam();
        return renderer;
    }

    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>();
    std::shared_ptr<platform::Clock> clipClock;
};

TEST_F(VideoSlideFrameSourceTest, EachFrameIsUploadedRowByRowWhateverItsStride) {
    auto clip = platform::makeMainThreadShared<VideoSlideItem>();
    clip->setStrVideoFilePath("/clips/a.mp4");
    VideoSlideFrameSource source(clip);
    EXPECT_EQ(source.videoTexture(), 0u) << "no texture before the first frame";

    // 10 pixels of 4 bytes in rows of 64 bytes, the padding filled with noise.
    const int width = 10, height = 6, stride = 64;
    std::vector<uchar> bytes(std::size_t(stride * height), 0xA5);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uchar* p = bytes.data() + y * stride + x * 4;
            p[0] = uchar(20 * x), p[1] = uchar(40 * y), p[2] = uchar(200 - 10 * x), p[3] = 255;
        }
    const QImage padded(bytes.data(), width, height, stride, QImage::Format_ARGB32);
    source.uploadVideoFrame(padded);
    ASSERT_NE(source.videoTexture(), 0u);
    const QImage back = textureImage(source.videoTexture(), QSize(width, height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            ASSERT_EQ(back.pixel(x, y), padded.pixel(x, y)) << x << "," << y;

    source.uploadVideoFrame(rendertest::solid(4, 2, QColor(10, 20, 30)));
    EXPECT_EQ(textureImage(source.videoTexture(), QSize(4, 2)).pixel(3, 1), qRgb(10, 20, 30))
        << "a frame of another size gets a texture of its size";
}

TEST_F(VideoSlideFrameSourceTest, ANewTextureIsMidGreyWithClampedEdges) {
    const DriverLock driver; // as an upload makes the texture
    auto texture = VideoSlideFrameSource::createVideoTextuerUsingWidth(3, 2);
    ASSERT_TRUE(texture);
    EXPECT_EQ(textureImage(texture.get(), QSize(3, 2)).pixel(2, 1), qRgba(128, 128, 128, 128));
    GLint wrap = 0;
    glBindTexture(GL_TEXTURE_2D, texture.get());
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    EXPECT_EQ(wrap, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_FALSE(VideoSlideFrameSource::createVideoTextuerUsingWidth(0, 5));
}

TEST_F(VideoSlideFrameSourceTest, OnlyClipSlidesWithAFileGetASource) {
    EXPECT_FALSE(VideoSlideFrameSource::make(platform::makeMainThreadShared<VideoSlideItem>()));
    EXPECT_FALSE(VideoSlideFrameSource::make(platform::makeMainThreadShared<SlideItem>()));
    auto clip = platform::makeMainThreadShared<VideoSlideItem>();
    clip->setStrVideoFilePath("/clips/a.mp4");
    EXPECT_TRUE(makeSlideFrameSource(clip)) << "clip slides read their frames wherever the engine draws";
}

TEST_F(VideoSlideFrameSourceTest, TheSlideShowsTheClipFrameOfThePreviewsClock) {
    auto clip = clipSlide(makeClip("clip.mp4", 30, FrameCode::frame));
    useSlides({clip});
    auto renderer = rendererFor(clip);
    makeTarget(96, 64);
    for (quint64 n = 0; n < 6; ++n) {
        draw(*renderer, n);
        EXPECT_EQ(FrameCode::read(readTarget()), int(n)) << "slide frame " << n;
        clock->advance(kPeriod);
    }
    // The display stalls: one frame more is still in step, then the clip waits for the clock.
    for (quint64 n = 6; n < 10; ++n)
        draw(*renderer, n);
    EXPECT_EQ(FrameCode::read(readTarget()), 7);
}

TEST_F(VideoSlideFrameSourceTest, ATurnedClipIsDrawnUpright) {
    for (const int rotation : {90, 180, 270}) {
        const QString path = makeClip(
            QString("turned%1.mp4").arg(rotation), 10,
            [](QSize size, int) { return rendertest::quarters(size.width(), size.height()); }, QSize(64, 32),
            rotation);
        const QImage upright = platform::media::VideoReader::thumbnailAt(path, 0.0);
        ASSERT_FALSE(upright.isNull());
        auto clip = clipSlide(path);
        useSlides({clip});
        auto renderer = rendererFor(clip);
        makeTarget(64, 64);
        draw(*renderer, 0);
        const QImage drawn = readTarget();
        const QRect lit = rendertest::litBounds(drawn);
        ASSERT_TRUE(lit.isValid());
        EXPECT_NEAR(double(lit.width()) / lit.height(), double(upright.width()) / upright.height(), 0.1)
            << rotation << " degrees";
        for (const QPointF at :
             {QPointF(0.25, 0.25), QPointF(0.75, 0.25), QPointF(0.25, 0.75), QPointF(0.75, 0.75)}) {
            const QRgb expected =
                upright.pixel(int(at.x() * upright.width()), int(at.y() * upright.height()));
            const QRgb seen =
                drawn.pixel(lit.left() + int(at.x() * lit.width()), lit.top() + int(at.y() * lit.height()));
            EXPECT_TRUE(colourNear(seen, expected, 40))
                << rotation << " degrees at " << at.x() << "," << at.y();
        }
    }
}

TEST_F(VideoSlideFrameSourceTest, ThePlayerShowsTheClipsFramesInOrderAndInTheirColoursAtItsPlaceInAnExport) {
    auto before = photo("before.png", rendertest::solid(96, 64, QColor(200, 30, 30)), 1.0f, 0.5f);
    auto clip = clipSlide(makeClip("clip.mp4", 45, FrameCode::redOverBlueFrame), 0.5f);
    auto after = photo("after.png", rendertest::solid(96, 64, QColor(30, 30, 200)), 1.0f, 0.0f);
    ASSERT_NEAR(clip->fSecPhotoDuration(), 1.0f, 0.05f);
    useSlides({before, clip, after});
    startExport(96, 64);
    const quint64 start = clip->nItemStartFrameIndex();
    const quint64 leadIn = before->nTransitionDuration();
    const quint64 end = start + clip->nPhotoDuration();
    ASSERT_GT(end, start + 20);
    for (quint64 frame = 0; frame < end; ++frame) {
        const QImage picture = exportFrameAt(frame);
        if (frame < start)
            continue;
        EXPECT_EQ(FrameCode::read(picture), int(frame - start + leadIn)) << "show frame " << frame;
        QString seen;
        EXPECT_TRUE(FrameCode::showsRedOverBlue(picture, &seen))
            << "show frame " << frame << ": " << seen.toStdString();
    }
    EXPECT_TRUE(colourNear(exportFrameAt(after->nItemStartFrameIndex() + 2).pixel(48, 32), qRgb(30, 30, 200)))
        << "the next photo follows";
    EXPECT_EQ(clip->player(), nullptr) << "no sound of its own during an export";
}

// The player draws its frames on the main thread here, as a test or a menu does, holding the GL driver lock
// across each: the clip's sound, which starts at once on the main thread and waits for the sound output's
// own thread, starts with the lock let go.
TEST_F(VideoSlideFrameSourceTest, AClipsSoundStartsWithTheDriverLockLetGoWhereThePlayerRunsOnTheMainThread) {
    project->setBPlayLoop(false);
    auto before = photo("before.png", rendertest::solid(96, 64, QColor(200, 30, 30)), 0.5f, 0.0f);
    auto clip = clipSlide(makeClip("sound.mp4", 30, FrameCode::frame, QSize(96, 64), 0, true));
    useSlides({before, clip});
    director->setSlideshowArray(project->slideshowArray());
    makeTarget(96, 64);
    frameAt(clip->nItemStartFrameIndex() + 1);
    ASSERT_NE(clip->player(), nullptr) << "the clip's sound plays in the preview";
    EXPECT_TRUE(clip->player()->isPlaying());
    EXPECT_FALSE(platform::gl::DriverLock::isHeldHere());
}

// The player draws on the main thread under a main context here, as the view draws on its own: a clip's sound
// starts, and a clip closes, with the driver lock and the main context let go, as every wait for another
// thread. A clip's sound plays while its slide shows and goes with its decoder once the slide has left, with
// the sound output's thread; a loop's next pass plays it again.
TEST_F(VideoSlideFrameSourceTest, AClipsSoundGoesWhenItsSlideLeavesAndComesBackWithItUnderTheMainContext) {
    showWithoutFades(true);
    std::vector<std::shared_ptr<VideoSlideItem>> clips;
    for (int i = 0; i < 3; ++i)
        clips.push_back(clipSlide(
            makeClip(QString("sounds%1.mp4").arg(i), 30, FrameCode::frame, QSize(96, 64), 0, true), 0.3f));
    const std::vector<SlideItemRef> slides(clips.begin(), clips.end());
    useSlides(slides);
    director->setSlideshowArray(project->slideshowArray());
    const quint64 pass = project->totalFrameCount();
    QString kept;               // the first clip found with a player out of its turn
    std::set<quint64> heard[2]; // the clips heard in each pass
    {
        const auto view = platform::gl::Context::createShared(*context, platform::gl::Context::Use::Main);
        const auto play = director->holdPlay(); // as the view takes it, before its context
        const platform::gl::Context::Scope drawing(*view);
        makeTarget(96, 64);
        for (quint64 frame = 0; frame < 2 * pass; ++frame) {
            ASSERT_TRUE(director->playOneFrame());
            const SlideFramePosition at =
                SlideshowDirector::CS_GetSlideIndexFromCurrentFrame(frame % pass, slides);
            if (kept.isEmpty())
                kept = heldOutOfTurn(frame, at.slideIndex, clips.size(), true,
                                     [&](std::size_t i) { return clips[i]->player() != nullptr; });
            if (const auto* sound = clips[at.slideIndex]->player(); sound && sound->isPlaying())
                heard[frame / pass].insert(at.slideIndex);
        }
        target.reset();
    }
    EXPECT_TRUE(kept.isEmpty()) << "a sound player out of its turn: " << kept.toStdString();
    for (const auto& inPass : heard)
        EXPECT_EQ(inPass.size(), clips.size()) << "every clip's sound is heard in every pass";
    director->stop();
    // What the loader still held goes on its thread, which hands the players to the main thread.
    EXPECT_TRUE(test_support::spinUntil([&] {
        return std::all_of(clips.begin(), clips.end(), [](const auto& clip) { return !clip->player(); });
    })) << "a sound player kept after the stop";
}

// The slide loader opens a clip and decodes its first frame as it queues the slide, so that the player's
// thread, at the first frame of the transition into the clip, opens nothing; the clip's frames come in order
// from its first all the same.
TEST_F(VideoSlideFrameSourceTest, TheLoaderOpensAClipAheadSoThatThePlayerOpensNothingWhereTheClipStarts) {
    project->setBPlayLoop(false);
    clipsKeepTimeWithTheFrames();
    auto before = photo("before.png", rendertest::solid(96, 64, QColor(200, 30, 30)), 1.0f, 0.5f);
    const QString path = makeClip("clip.mp4", 45, FrameCode::frame);
    auto clip = clipSlide(path, 0.5f);
    useSlides({before, clip});
    test_support::OpenWatch opens({QFileInfo(path).absolutePath()});
    ASSERT_TRUE(opens.isValid());
    director->setSlideshowArray(project->slideshowArray());
    ASSERT_TRUE(test_support::spinUntil([&] { return director->cacheCount() == 3; }))
        << "the loader queues the photo, the clip and the end of the pass";
    const qsizetype openedAhead = opens.opened().count(path);
    EXPECT_EQ(openedAhead, 1) << "the loader opened the clip";
    makeTarget(96, 64);
    const quint64 start = clip->nItemStartFrameIndex();
    const quint64 leadIn = before->nTransitionDuration();
    for (quint64 frame = start; frame < start + 5; ++frame)
        EXPECT_EQ(FrameCode::read(frameAt(frame)), int(frame - start + leadIn)) << "show frame " << frame;
    EXPECT_EQ(opens.opened().count(path), openedAhead) << "the player's thread opened the clip";
}

// A clip queued again for every pass of a loop, alone or with a photo, starts each pass at its first frame.
TEST_F(VideoSlideFrameSourceTest, AClipLoopedAloneOrWithAPhotoStartsEveryPassAtItsFirstFrame) {
    for (const bool withPhoto : {false, true}) {
        SCOPED_TRACE(withPhoto ? "with a photo" : "alone");
        showWithoutFades(true);
        clipsKeepTimeWithTheFrames();
        std::vector<SlideItemRef> slides{clipSlide(makeClip("loop.mp4", 30, FrameCode::frame))};
        if (withPhoto)
            slides.push_back(photo("after.png", rendertest::solid(96, 64, QColor(30, 30, 200)), 1.0f, 0.0f));
        useSlides(slides);
        director->setSlideshowArray(project->slideshowArray());
        makeTarget(96, 64);
        const quint64 pass = project->totalFrameCount();
        ASSERT_GT(pass, 20u);
        quint64 drawn = 0; // each call draws one frame; a loop's wrap draws the next pass's first
        for (int n = 0; n < 3; ++n)
            for (const quint64 frame : {0, 1, 2, 15}) {
                for (; drawn <= n * pass + frame; ++drawn)
                    ASSERT_TRUE(director->playOneFrame());
                EXPECT_EQ(FrameCode::read(readTarget()), int(frame)) << "pass " << n << ", frame " << frame;
            }
        director->stop();
    }
}

// A stop lets go of what the loader opened ahead: a clip that the play did not reach is not left open.
TEST_F(VideoSlideFrameSourceTest, AStopClosesAClipOpenedAheadThatThePlayDidNotReach) {
    project->setBPlayLoop(false);
    auto before = photo("before.png", rendertest::solid(96, 64, QColor(200, 30, 30)), 1.0f, 0.5f);
    const QString path = makeClip("clip.mp4", 45, FrameCode::frame);
    useSlides({before, clipSlide(path, 0.5f)});
    director->setSlideshowArray(project->slideshowArray());
    ASSERT_TRUE(test_support::spinUntil([&] { return director->cacheCount() == 3; }));
    makeTarget(96, 64);
    frameAt(0); // the photo on screen, the clip next
    EXPECT_TRUE(isOpenHere(path)) << "opened ahead";
    director->stop();
    EXPECT_FALSE(isOpenHere(path));
}

// In a pass over clip slides a clip is open (its file, its decoder and the decoder's threads) only while its
// slide is on screen or next: the one before is closed once its slide is done, the one after the next is not
// opened yet. Every clip still shows its frames from its first, in a looped show on every pass, whatever the
// number of clips: a loop of three queues a clip again as its slide leaves, and the loader then reuses the
// slide's set, as it always does while something else (an editor's still picture) holds it.
TEST_F(VideoSlideFrameSourceTest, OnlyTheClipsOnScreenAndTheNextOneAreOpenInAPassAndInALoop) {
    const struct {
        int clips;
        bool loop;
        bool setsHeld;
    } cases[] = {{1, false, false}, {1, true, false},  {2, false, false}, {2, true, false}, {3, false, false},
                 {3, true, false},  {5, false, false}, {5, true, false},  {3, true, true},  {5, false, true}};
    int made = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(QString("%1 clips, %2%3")
                         .arg(c.clips)
                         .arg(c.loop ? "looped" : "one pass")
                         .arg(c.setsHeld ? ", their sets held" : "")
                         .toStdString());
        showWithoutFades(c.loop);
        clipsKeepTimeWithTheFrames();
        QStringList paths;
        std::vector<SlideItemRef> slides;
        std::vector<std::shared_ptr<SlideTextures>> held;
        for (int i = 0; i < c.clips; ++i) {
            paths << makeClip(QString("pass%1.mp4").arg(made++), 30, FrameCode::frame);
            slides.push_back(clipSlide(paths.back(), 0.3f));
            if (c.setsHeld)
                held.push_back(SlideTextures::forSlide(slides.back()));
        }
        useSlides(slides);
        director->setSlideshowArray(project->slideshowArray());
        makeTarget(96, 64);
        const quint64 pass = project->totalFrameCount();
        QString stray; // the first clip found open out of its turn
        for (quint64 frame = 0; frame < (c.loop ? 3 * pass : pass); ++frame) {
            ASSERT_TRUE(director->playOneFrame());
            const SlideFramePosition at =
                SlideshowDirector::CS_GetSlideIndexFromCurrentFrame(frame % pass, slides);
            if (stray.isEmpty())
                stray = heldOutOfTurn(frame, at.slideIndex, slides.size(), c.loop,
                                      [&](std::size_t i) { return isOpenHere(paths[qsizetype(i)]); });
            if (at.inPhoto) {
                EXPECT_EQ(FrameCode::read(readTarget()), int(at.frameInSlide)) << "frame " << frame;
            }
        }
        EXPECT_TRUE(stray.isEmpty()) << "open out of its turn: " << stray.toStdString();
        director->stop();
    }
}

// A play that comes back to a clip it has passed, starting at the clip's slide or inside it, opens the clip
// again and shows its frames from the first, as the first pass did.
TEST_F(VideoSlideFrameSourceTest, APlayThatComesBackToAClipItPassedShowsItFromItsFirstFrame) {
    showWithoutFades(false);
    clipsKeepTimeWithTheFrames();
    std::vector<SlideItemRef> slides;
    for (int i = 0; i < 3; ++i)
        slides.push_back(clipSlide(makeClip(QString("back%1.mp4").arg(i), 30, FrameCode::frame), 0.3f));
    useSlides(slides);
    makeTarget(96, 64);
    const std::vector<SlideItemRef> shown = project->slideshowArray();
    const quint64 clipStart = slides[1]->nItemStartFrameIndex();
    const struct {
        const char* name;
        std::function<void()> start;
    } comebacks[] = {
        {"at its slide", [&] { director->setSlideshowArrayFromIndex(shown, 1); }},
        {"inside it", [&] { director->setSlideshowArrayFromFrame(shown, clipStart + 4); }},
    };
    for (const auto& comeback : comebacks) {
        SCOPED_TRACE(comeback.name);
        director->setSlideshowArray(shown);
        while (director->playOneFrame()) {
        }
        comeback.start();
        for (int drawn = 0; drawn < 5; ++drawn) {
            ASSERT_TRUE(director->playOneFrame());
            EXPECT_EQ(FrameCode::read(readTarget()), drawn)
                << "the frame drawn " << drawn << " after the start";
        }
    }
}
