#include "DVDCommandTestSupport.h"

#include "model/ModelClasses.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/gl/Context.h"
#include "platform/gl/Display.h"
#include "platform/gl/GlError.h"
#include "render/FramePipeWriter.h"
#include "render/SharedShaderPrograms.h"
#include "render/SlideshowDirector.h"
#include "render/StageBackground.h"
#include "support/ToneMaker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>

#include <sys/stat.h>

namespace dvd_command_test {

NotificationLog::NotificationLog(platform::NotificationCenter& center, const QStringList& names) {
    for (const QString& name : names)
        handles.emplace_back(center, center.addObserver(name, [this](const platform::Notification& note) {
            const std::lock_guard lock(mutex);
            seen.push_back(note);
        }));
}

int NotificationLog::count(const QString& name) const {
    const std::lock_guard lock(mutex);
    return int(std::count_if(seen.begin(), seen.end(), [&](const auto& note) { return note.name == name; }));
}

std::vector<platform::Notification> NotificationLog::all() const {
    const std::lock_guard lock(mutex);
    return seen;
}

QStringList NotificationLog::names() const {
    QStringList list;
    for (const auto& note : all())
        list << note.name;
    return list;
}

void ScriptedPumpHost::dvdMPEGIIReadRGBAThreadProc(const DVDFramePumpParam& param) {
    ++slideshowCalls;
    pump(param);
}

void ScriptedPumpHost::dvdMenuMPEGIIReadRGBAThreadProc(const DVDFramePumpParam& param) {
    ++menuCalls;
    pump(param);
}

void ScriptedPumpHost::pump(const DVDFramePumpParam& param) {
    {
        const std::lock_guard lock(mutex);
        outputsSeen.push_back(param.creator->strOutputFullPath());
    }
    struct stat st {};
    if (::stat(QFile::encodeName(param.strVideoFIFO).constData(), &st) == 0 && S_ISFIFO(st.st_mode))
        pipeMode = int(st.st_mode & 07777);
    if (script.silent)
        return;
    if (script.failBeforeOpening) {
        param.creator->framePumpEnded(false, "no context to draw on");
        return;
    }
    const QSizeF size = SlideshowProject::sizeVideoOutput();
    const int width = int(size.width()), height = int(size.height());
    std::vector<unsigned char> frame(std::size_t(width) * height * 4);
    FramePipeWriter writer;
    writer.setPath(param.strVideoFIFO);
    DVDMPEGIICreateObject* creator = param.creator;
    writer.setCancelled([creator] { return creator->shouldStopPump(); });
    bool ok = writer.open();
    for (int i = 0; ok && i < script.frames; ++i) {
        if (creator->shouldStopPump()) {
            ok = false;
            break;
        }
        const QColor colour = QColor::fromHsv((i * 37) % 360, 200, 220);
        for (std::size_t p = 0; p < frame.size(); p += 4) {
            frame[p] = uchar(colour.blue());
            frame[p + 1] = uchar(colour.green());
            frame[p + 2] = uchar(colour.red());
            frame[p + 3] = 255;
        }
        ok = writer.writeFrame(frame.data(), frame.size());
        if (ok)
            ++framesWritten;
    }
    const QString error = ok ? QString() : writer.errorString();
    writer.close();
    creator->framePumpEnded(ok, error.isEmpty() && !ok ? QStringLiteral("stopped") : error);
}

DVDMPEGIICreateObject::MixStep toneMix(double seconds, std::vector<DVDMPEGIICreateObject::Pass>* passes) {
    return [seconds, passes](DVDMPEGIICreateObject::Pass pass, const MixedAudioExport::CancelCheck& cancelled,
                             const MixedAudioExport::ProgressHandler& progress) -> MixedAudioExport::Result {
        if (passes)
            passes->push_back(pass);
        if (cancelled && cancelled())
            return {MixedAudioExport::Outcome::Cancelled, {}};
        if (progress)
            progress(1.0f);
        QString error;
        if (!ToneMaker::writeEncoded(SlideshowProject::strTempM4AAudioFullPath(), "ipod", "aac", 440.0,
                                     seconds, 0.3f, {}, &error))
            return {MixedAudioExport::Outcome::Failed, error};
        return {MixedAudioExport::Outcome::Completed, {}};
    };
}

} // namespace dvd_command_test

void DVDProjectTest::SetUp() {
    home.emplace("HOME", folder.path());
    config.emplace("XDG_CONFIG_HOME", folder.path() + "/.config");
    runtime.emplace("XDG_RUNTIME_DIR", folder.path() + "/run");
    temporary.emplace("VISTRELLE_TMPDIR", folder.path() + "/tmp");
    cache.emplace("XDG_CACHE_HOME", folder.path() + "/.cache");
    QDir().mkpath(folder.path() + "/run");
    QDir().mkpath(folder.path() + "/tmp");
    QFile::setPermissions(folder.path() + "/run", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    platform::UserDefaults::setStorePathForTesting(folder.path() + "/defaults.ini");
    platform::RandomSource::setShared(std::make_shared<platform::SeededRandom>(7));
    registerModelClasses();
    SlideshowProject::setULFrameRate(30);
    QDir().mkpath(contents());
    project = std::make_shared<SlideshowProject>();
    project->setStrMacProjectBundleFullPath(folder.path() + "/Show.VistrelleProject");
    project->setStrMacProjectBundleContentsPath(contents());
    project->setFltSlideshowFadeIn(0.0f);
    project->setFltSlideshowFadeOut(0.0f);
    // The menu's slides take the project's default durations: short ones keep the menu short.
    project->setFltPhotoDuration(0.5f);
    project->setFltTransitionDuration(0.3f);
    SlideshowProject::retainProject(project);
    SlideshowProjectManager::creatNewDefaultSlideshowProjectManager();
    manager = SlideshowProjectManager::defaultSlideshowProjectManager();
}

void DVDProjectTest::TearDown() {
    QCoreApplication::processEvents(); // no queued work of this test may reach the next one
    SlideshowProjectManager::creatNewDefaultSlideshowProjectManager();
    manager.reset();
    SlideshowProject::resetMainProjectForTesting();
    project.reset();
    platform::UserDefaults::setStorePathForTesting(QString());
    temporary.reset();
    runtime.reset();
    config.reset();
    home.reset();
}

QString DVDProjectTest::contents() const {
    return folder.path() + "/Show.VistrelleProject/Contents";
}

QColor DVDProjectTest::slideColour(int index) {
    static const QColor colours[] = {QColor(220, 40, 40), QColor(40, 200, 60), QColor(50, 70, 230),
                                     QColor(230, 200, 30), QColor(200, 40, 200)};
    return colours[index % 5];
}

void DVDProjectTest::useSlides(int count, float photo, float transition) {
    std::vector<SlideItemRef> slides;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("slide%1.png").arg(i);
        QImage picture(640, 360, QImage::Format_RGB32);
        picture.fill(slideColour(i));
        ASSERT_TRUE(picture.save(contents() + "/" + name));
        auto slide = std::make_shared<SlideItem>();
        slide->setFileName(name);
        slide->customSetDurations(photo, transition);
        slide->setPanStartPoint(QPointF(0, 0));
        slide->setPanEndPoint(QPointF(0, 0));
        slide->setZoomStart(1.0);
        slide->setZoomEnd(1.0);
        slides.push_back(slide);
    }
    project->setSlideshowArray(slides);
    project->calcSlideItemsPhotoTransitionDuration();
}

void DVDRenderTest::SetUp() {
    DVDProjectTest::SetUp();
    try {
        platform::gl::Display::instance();
        context = platform::gl::Context::create();
    } catch (const platform::gl::GlError& error) {
        FAIL() << "No OpenGL on this machine: " << error.what();
    }
    {
        const platform::gl::Context::Scope scope(*context);
        shaders = SharedShaderPrograms::load();
        ASSERT_TRUE(shaders && shaders->complete);
    }
    director = std::make_shared<SlideshowDirector>();
    director->setMainContext(context);
    director->initDirector();
    director->backgroundRender()->setTheme({{"backgroundID", 2}}); // a plain stage
}

void DVDRenderTest::TearDown() {
    if (director)
        director->stop();
    director.reset();
    shaders.reset();
    context.reset();
    DVDProjectTest::TearDown();
}
