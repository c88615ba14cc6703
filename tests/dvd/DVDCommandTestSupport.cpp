#include "DVDCommandTestSupport.h"

#include "platform/foundation/MainThread.h"
#include "render/FramePipeWriter.h"
#include "render/SlideshowDirector.h"
#include "support/ToneMaker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>

#include <sys/stat.h>

#include <algorithm>

namespace dvd_command_test {

void ScriptedPumpHost::runFramePump(const FramePumpParam<DVDMPEGIICreateObject>& param) {
    ++(param.menu ? menuCalls : slideshowCalls);
    pump(param);
}

void ScriptedPumpHost::pump(const FramePumpParam<DVDMPEGIICreateObject>& param) {
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
    if (script.beforeOpen)
        script.beforeOpen(param.creator->strOutputFullPath());
    const QSizeF size = SlideshowProject::sizeVideoOutput();
    const int width = int(size.width()), height = int(size.height());
    const bool planar = param.frames == FramePumpParam<DVDMPEGIICreateObject>::Frames::YUVPipe;
    std::vector<unsigned char> frame(std::size_t(width) * height * (planar ? 3 : 8) / 2);
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
        if (planar) { // a grey of the colour's lightness: luma, then neutral chroma
            std::fill(frame.begin(), frame.begin() + std::ptrdiff_t(width) * height,
                      uchar(colour.lightness()));
            std::fill(frame.begin() + std::ptrdiff_t(width) * height, frame.end(), uchar(128));
        }
        for (std::size_t p = 0; !planar && p < frame.size(); p += 4) {
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
        const QString path = SlideshowProject::strTempM4AAudioFullPath();
        if (!ToneMaker::writeEncoded(path, "ipod", "aac", 440.0, seconds, 0.3f, {}, &error))
            return {MixedAudioExport::Outcome::Failed, error};
        // As the mix tells it: the file as it was written.
        return {MixedAudioExport::Outcome::Completed, {}, platform::FileIdentity::ofPath(path)};
    };
}

} // namespace dvd_command_test

void DVDProjectTest::SetUp() {
    project = user.openProject();
    project->setFltSlideshowFadeIn(0.0f);
    project->setFltSlideshowFadeOut(0.0f);
    // The menu's slides take the project's default durations: short ones keep the menu short.
    project->setFltPhotoDuration(0.5f);
    project->setFltTransitionDuration(0.3f);
    manager = SlideshowProjectManager::defaultSlideshowProjectManager();
}

void DVDProjectTest::TearDown() {
    QCoreApplication::processEvents(); // no queued work of this test may reach the next one
    test_support::IsolatedUser::resetSingletons();
    manager.reset();
    project.reset();
}

QString DVDProjectTest::contents() const {
    return user.contents();
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
        auto slide = platform::makeMainThreadShared<SlideItem>();
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
    const QString why = player.start(7);
    ASSERT_TRUE(why.isEmpty()) << qPrintable(why);
    director = player.director;
}

void DVDRenderTest::TearDown() {
    director.reset();
    player.stop();
    DVDProjectTest::TearDown();
}
