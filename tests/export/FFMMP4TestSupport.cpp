#include "FFMMP4TestSupport.h"

#include "EncoderTestSupport.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NamedPipe.h"
#include "support/ClipMaker.h"

#include <QDir>
#include <QFile>

#include <random>

namespace ffmmp4_test {

bool waitFor(const std::function<bool()>& condition) {
    return encoder_test::waitFor(condition);
}

void FFMMP4Test::SetUp() {
    QDir().mkpath(tools());
    project = platform::makeMainThreadShared<SlideshowProject>();
    SlideshowProject::retainProject(project);
    SlideshowProject::setSizeVideoOutput(QSizeF(128, 72));
    creator = std::make_unique<FFMMP4CreateObject>(&pump);
    creator->setAudioMixStep(toneMix());
    creator->setCancelPolling(std::chrono::milliseconds(20), 10);
}

void FFMMP4Test::TearDown() {
    creator.reset();
    project->setBExportProgressCancelButtonClicked(false);
    SlideshowProject::resetMainProjectForTesting();
}

void SolidFramePump::runFramePump(const FramePumpParam<FFMMP4CreateObject>& param) {
    ++calls;
    pipes = param;
    for (const QString& path : {param.strVideoFIFO, param.strAudioFIFO}) {
        struct stat st {};
        modes.push_back(::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0);
        reached.push_back(QFile::symLinkTarget(path));
    }
    FFMMP4CreateObject& creator = *param.creator;
    const QSizeF size = SlideshowProject::sizeVideoOutput();
    std::vector<unsigned char> frame(std::size_t(size.width() * size.height() * 4));
    QString error;
    if (beforeOpen)
        beforeOpen();
    const platform::UniqueFd fd = platform::NamedPipe::openForWriting(
        param.strVideoFIFO, &error, [&] { return !creator.shouldStopPump(); });
    opened = bool(fd);
    std::mt19937 random(5);
    for (int i = 0; fd && i < frames && !creator.shouldStopPump(); ++i) {
        std::fill(frame.begin(), frame.end(), static_cast<unsigned char>(40 + 20 * (i % 8)));
        if (grain)
            std::generate(frame.begin(), frame.end(), [&] { return static_cast<unsigned char>(random()); });
        for (std::size_t p = 3; p < frame.size(); p += 4)
            frame[p] = 255;
        if (!platform::writeFully(fd.get(), frame.data(), frame.size(), &error)) {
            creator.framePumpFailed(error);
            break;
        }
        ++written;
        if (afterFrame)
            afterFrame(i);
    }
    if (fd)
        creator.framePumpWrote(quint64(written.load()));
}

bool FFMMP4Test::makeSilentMovie(const QString& path) {
    ClipMaker::Options silent;
    silent.size = QSize(128, 72);
    silent.frames = 5;
    silent.audio = false;
    QString error;
    const bool made = ClipMaker::make(path, silent, &error);
    EXPECT_TRUE(made) << error.toStdString();
    return made;
}

FFMMP4CreateObject::MixStep FFMMP4Test::toneMix(std::function<void()> also, double seconds,
                                                std::function<void()> after) {
    return [also, seconds, after](const SlideshowProjectRef&, const MixedAudioExport::CancelCheck&,
                                  const MixedAudioExport::ProgressHandler&) {
        if (also)
            also();
        const MixedAudioExport::Result mixed = encoder_test::writeToneMix(seconds);
        if (mixed.completed() && after)
            after();
        return mixed;
    };
}

void FFMMP4Test::fakeFFmpeg(const QString& body) {
    QFile script(tools() + "/ffmpeg");
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(("#!/bin/sh\n" + body + "\n").toUtf8());
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    toolsEnv.emplace("VISTRELLE_TOOLS_DIR", tools());
}

} // namespace ffmmp4_test
