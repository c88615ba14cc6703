#include "ui/editing/SoundCapture.h"

#include "platform/media/SoundDevices.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>

namespace {

constexpr int kBytesPerFrame = 2 * int(sizeof(int16_t));

SoundCapture::Factory& installedFactory() {
    static SoundCapture::Factory factory = &AudioInputCapture::makeForDefaultInput;
    return factory;
}

} // namespace

SoundCapture::Factory SoundCapture::factory() {
    return installedFactory();
}

void SoundCapture::setFactory(Factory factory) {
    installedFactory() = factory ? std::move(factory) : Factory(&AudioInputCapture::makeForDefaultInput);
}

std::unique_ptr<SoundCapture> AudioInputCapture::makeForDefaultInput() {
    const QAudioDevice device = platform::media::soundInputDevice();
    if (device.isNull())
        return nullptr;
    QAudioFormat format;
    format.setSampleRate(44100);
    format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format))
        return nullptr;
    return std::unique_ptr<SoundCapture>(
        new AudioInputCapture(std::make_unique<QAudioSource>(device, format)));
}

AudioInputCapture::AudioInputCapture(std::unique_ptr<QAudioSource> audioSource)
    : source(std::move(audioSource)) {}

AudioInputCapture::~AudioInputCapture() {
    stop();
}

bool AudioInputCapture::start(Frames frames) {
    stop();
    deliver = std::move(frames);
    input = source->start();
    if (!input)
        return false;
    connect(input, &QIODevice::readyRead, this, &AudioInputCapture::readAvailable);
    return true;
}

void AudioInputCapture::stop() {
    if (!input)
        return;
    readAvailable();
    disconnect(input, nullptr, this, nullptr);
    source->stop();
    input = nullptr;
    pending.clear();
}

void AudioInputCapture::readAvailable() {
    if (!input)
        return;
    pending += input->readAll();
    const int frames = int(pending.size() / kBytesPerFrame);
    if (frames == 0)
        return;
    if (deliver)
        deliver(reinterpret_cast<const int16_t*>(pending.constData()), frames);
    pending.remove(0, qsizetype(frames) * kBytesPerFrame);
}
