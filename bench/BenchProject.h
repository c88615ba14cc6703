#pragma once

// What the export benchmarks share: a project in a folder of its own with a tone as its song, the player
// that draws it, and the frame-pump host that feeds an export's pipe.
#include "LargePhoto.h"
#include "export/EncoderController.h"
#include "export/PoolFrameRenderer.h"
#include "model/ModelClasses.h"
#include "model/MusicItem.h"
#include "model/SlideItem.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/gl/Context.h"
#include "platform/image/ImageAdditions.h"
#include "platform/image/SlidePictures.h"
#include "platform/media/AudioFileWriter.h"
#include "render/DirectorFrameRenderer.h"
#include "render/FramePump.h"
#include "render/SharedShaderPrograms.h"
#include "render/SlideshowDirector.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace bench {

// A 440 Hz tone, interleaved stereo at 44.1 kHz.
inline std::vector<float> tone(double seconds, float level = 0.4f) {
    std::vector<float> samples(std::size_t(seconds * 44100) * 2);
    for (std::size_t i = 0; i < samples.size() / 2; ++i)
        samples[2 * i] = samples[2 * i + 1] =
            level * float(std::sin(2.0 * 3.14159265 * 440.0 * double(i) / 44100.0));
    return samples;
}

// An open project at 30 frames a second in a folder (a temporary one unless given), which is also the
// run's private folder.
struct Project {
    std::unique_ptr<QTemporaryDir> temporary;
    QString root;
    QString contents;
    SlideshowProjectRef project;
    std::shared_ptr<platform::gl::Context> context;
    std::shared_ptr<SharedShaderPrograms> shaders;
    std::shared_ptr<SlideshowDirector> director;

    Project() : temporary(std::make_unique<QTemporaryDir>()), root(temporary->path()) { open(); }
    explicit Project(const QString& folder) : root(folder) { open(); }
    ~Project() { SlideshowProject::retainProject(nullptr); }
    Project(const Project&) = delete;
    Project& operator=(const Project&) = delete;

    // The slides, then the song (a tone as long as the show and a second more) and the player.
    void finish(std::vector<SlideItemRef> slides) {
        setShow(std::move(slides));
        startPlayer();
    }

    // The slides and the song, without a player.
    void setShow(std::vector<SlideItemRef> slides) {
        project->setSlideshowArray(slides);
        project->calcSlideItemsPhotoTransitionDuration();
        platform::media::AudioFileWriter::Settings settings;
        settings.path = contents + "/song.m4a";
        platform::media::AudioFileWriter song(settings);
        const std::vector<float> samples = tone(double(project->totalFrameCount()) / 30.0 + 1.0);
        song.start();
        song.write(samples.data(), int(samples.size() / 2));
        song.finish();
        auto item = platform::makeMainThreadShared<MusicItem>();
        item->addEntriesFromDictionary({{"pureFileName", "song.m4a"}, {"titleFromFileName", "song"}});
        project->setMusicArray({item});
    }

    void startPlayer() {
        context = platform::gl::Context::create();
        {
            const platform::gl::Context::Scope scope(*context);
            shaders = SharedShaderPrograms::load();
        }
        director = std::make_shared<SlideshowDirector>();
        director->setMainContext(context);
        director->initDirector();
    }

private:
    void open() {
        qputenv("XDG_RUNTIME_DIR", (root + "/run").toLocal8Bit());
        QDir().mkpath(root + "/run");
        QFile::setPermissions(root + "/run", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        registerModelClasses();
        contents = root + "/Bench.VistrelleProject/Contents";
        QDir().mkpath(contents);
        project = platform::makeMainThreadShared<SlideshowProject>();
        project->setStrMacProjectBundleFullPath(root + "/Bench.VistrelleProject");
        project->setStrMacProjectBundleContentsPath(contents);
        SlideshowProject::retainProject(project);
        SlideshowProject::setULFrameRate(30);
    }
};

// Pumps the open project's slides into the encoder's pipe with the renderers `make` gives.
class PumpHost : public FramePumpHost<EncoderController> {
public:
    explicit PumpHost(std::function<std::unique_ptr<FrameRenderer>()> make) : make(std::move(make)) {}
    void runFramePump(const FramePumpParam<EncoderController>& param) override {
        EncoderController& owner = *param.creator;
        const auto writerEnded = [&owner] {
            return owner.bVideoWriteThreadFinished() && owner.bAudioThreadFinished();
        };
        std::unique_ptr<FrameRenderer> renderer = make();
        if (param.frames != FramePumpParam<EncoderController>::Frames::Pipe) // the in-memory paths
            renderer = std::make_unique<PoolFrameRenderer>(std::move(renderer), *owner.encodeBufferManager(),
                                                           writerEnded);
        FramePump::Options options;
        options.slides = SlideshowProject::currentMainProject()->slideshowArray();
        options.pipePath = param.strVideoFIFO;
        options.yuvFrames = param.frames == FramePumpParam<EncoderController>::Frames::YUVPool;
        options.stopBeforeWrite = writerEnded;
        options.beforeClose = [&owner](const FramePump::Outcome& outcome) {
            if (outcome.end == FramePump::Outcome::End::Failed)
                owner.framePumpFailed(outcome.error);
        };
        FramePump::run(*renderer, options);
        owner.setBVideoReadThreadFinished(true);
    }

private:
    std::function<std::unique_ptr<FrameRenderer>()> make;
};

// Whether the movie export running now has finished or failed, from its notifications, and why it failed.
struct MovieEndWatch {
    std::atomic<bool> finished{false}, failed{false};
    QVariantMap failure; // posted on the main thread, read there

    bool ended() const { return finished || failed; }

private:
    platform::NotificationCenter& center = platform::NotificationCenter::defaultCenter();
    platform::ObserverHandle done{
        center, center.addObserver(EncoderController::movieFinishedNotificationName(),
                                   [this](const platform::Notification&) { finished = true; })};
    platform::ObserverHandle broken{center,
                                    center.addObserver(EncoderController::movieFailedNotificationName(),
                                                       [this](const platform::Notification& notification) {
                                                           failure = notification.userInfo;
                                                           failed = true;
                                                       })};
};

// Exports the open project as the window's movie export does, at the output size set on the project and
// the given bit rate, through the pipe or through the encoder's pool of buffers (BGRA frames read back on
// the drawing thread); true once the movie is finished. `firstFrameSeconds`, when given, takes the time from
// the start to the first frame in the movie.
inline bool exportMovie(Project& show, int64_t bitrate, bool pool = false,
                        double* firstFrameSeconds = nullptr) {
    const MovieEndWatch movie;
    const auto start = std::chrono::steady_clock::now();
    PumpHost host(DirectorFrameRenderer::factory(show.director));
    EncoderController encoder;
    encoder.setNEncodeVideoBitrate(uint64_t(bitrate));
    encoder.setStrVideoOutputFullPath(
        show.project->strEncodingVideoFilePath(SlideshowProject::sizeVideoOutput()));
    const bool started = pool ? encoder.encodeVideo_2(&host) : encoder.encodeVideo_2_FIFO(&host);
    while (started && !movie.ended()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::microseconds(500));
        if (firstFrameSeconds && *firstFrameSeconds == 0.0 && encoder.framesAppended() > 0)
            *firstFrameSeconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    if (started)
        encoder.waitUntilFinished();
    for (auto it = movie.failure.cbegin(); it != movie.failure.cend(); ++it)
        std::fprintf(stderr, "the export failed: %s: %s\n", qPrintable(it.key()),
                     qPrintable(it.value().toString()));
    return started && movie.finished;
}

// Photo slide `index` of `show`: a 1920 x 1080 photo-like picture and its backdrop, saved into the show's
// contents as an import saves them.
inline SlideItemRef importedPhotoSlide(const Project& show, int index) {
    const QImage picture = photoLike(QSize(1920, 1080), index);
    const QString name = QStringLiteral("photo_%1.jpg").arg(index),
                  backdrop = QStringLiteral("bk_%1.jpg").arg(index);
    namespace pictures = platform::image::slide_pictures;
    saveToJpegFile(pictures::picture(picture, 1920), show.contents + "/" + name, pictures::kPictureQuality);
    saveToJpegFile(pictures::backdrop(picture), show.contents + "/" + backdrop, pictures::kBackdropQuality);
    auto slide = platform::makeMainThreadShared<SlideItem>();
    slide->setFileName(name);
    slide->setBackgroudImageFileName(backdrop);
    return slide;
}

} // namespace bench
