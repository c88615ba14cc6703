#include "platform/media/QtAudioSink.h"

#include "platform/media/AudioReader.h"
#include "platform/media/SampleFormat.h"
#include "platform/media/SoundDevices.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <vector>

namespace platform::media {

namespace {

constexpr int kFeedIntervalMs = 10;
constexpr int kBufferMs = 150;

} // namespace

// Lives on the sink's thread: owns the device and writes to it whatever room it has at every tick.
class QtAudioSink::Feeder : public QObject {
public:
    Feeder(Pull pull, Shared& shared) : pull(std::move(pull)), shared(shared) {}

    bool open(QString& error) {
        const QAudioDevice device = soundOutputDevice();
        timer.setTimerType(Qt::PreciseTimer);
        if (device.isNull())
            return openSilent();
        format.setSampleRate(AudioReader::kSampleRate);
        format.setChannelCount(AudioReader::kChannels);
        format.setSampleFormat(QAudioFormat::Int16);
        if (!device.isFormatSupported(format))
            format.setSampleFormat(QAudioFormat::Float);
        if (!device.isFormatSupported(format)) {
            error = QStringLiteral("The sound output device does not play 44.1 kHz stereo.");
            return false;
        }
        sink = std::make_unique<QAudioSink>(device, format);
        sink->setBufferSize(format.bytesForDuration(kBufferMs * 1000));
        if (!restart()) {
            error = QStringLiteral("The sound output device cannot be opened.");
            return false;
        }
        connect(&timer, &QTimer::timeout, this, [this] { tick(); });
        timer.start(kFeedIntervalMs);
        return true;
    }

    // Without a device the sound is taken at the pace a device would take it, and dropped: the player's
    // time, its end and everything that follows it go on as with sound.
    bool openSilent() {
        silentClock.start();
        connect(&timer, &QTimer::timeout, this, [this] { tickSilent(); });
        timer.start(kFeedIntervalMs);
        return true;
    }

    void close() {
        timer.stop();
        if (sink)
            sink->stop();
        sink.reset();
        device = nullptr;
        shared.buffered = 0;
    }

    void setSuspended(bool value) {
        if (!sink)
            return;
        if (value)
            sink->suspend();
        else
            sink->resume();
    }

private:
    Pull pull;
    Shared& shared;

    bool restart() {
        sink->stop();
        handedFrames = 0;
        shared.buffered = 0;
        device = sink->start();
        return device != nullptr;
    }

    void tick() {
        if (!sink || !device)
            return;
        if (shared.flushRequested.exchange(false) && !restart())
            return;
        const int64_t heard = sink->processedUSecs() * AudioReader::kSampleRate / 1000000;
        shared.buffered = std::max<int64_t>(0, handedFrames - heard);
        if (shared.paused)
            return;
        const int frames = sink->bytesFree() / format.bytesPerFrame();
        if (frames <= 0)
            return;
        floats.resize(static_cast<size_t>(frames) * AudioReader::kChannels);
        const int got = pull(floats.data(), frames);
        if (got <= 0)
            return;
        write(got);
    }

    void tickSilent() {
        const double seconds = double(silentClock.nsecsElapsed()) / 1e9;
        silentClock.restart();
        shared.flushRequested = false;
        shared.buffered = 0;
        if (shared.paused)
            return;
        silentDue =
            std::min(silentDue + seconds * AudioReader::kSampleRate, double(AudioReader::kSampleRate));
        const int frames = int(silentDue);
        if (frames <= 0)
            return;
        floats.resize(static_cast<size_t>(frames) * AudioReader::kChannels);
        const int got = pull(floats.data(), frames);
        silentDue -= frames;
        if (got > 0)
            handedFrames += got;
    }

    void write(int frames) {
        const size_t samples = static_cast<size_t>(frames) * AudioReader::kChannels;
        if (format.sampleFormat() == QAudioFormat::Float) {
            device->write(reinterpret_cast<const char*>(floats.data()), qint64(samples * sizeof(float)));
        } else {
            shorts.resize(samples);
            toInt16Samples(floats.data(), samples, shorts.data());
            device->write(reinterpret_cast<const char*>(shorts.data()), qint64(samples * sizeof(int16_t)));
        }
        handedFrames += frames;
        shared.buffered = handedFrames - sink->processedUSecs() * AudioReader::kSampleRate / 1000000;
    }

    QAudioFormat format;
    std::unique_ptr<QAudioSink> sink;
    QIODevice* device = nullptr; // owned by the sink
    QTimer timer{this};
    int64_t handedFrames = 0;
    QElapsedTimer silentClock;
    double silentDue = 0.0; // frames a device would have taken since the last silent tick
    std::vector<float> floats;
    std::vector<int16_t> shorts;
};

QtAudioSink::QtAudioSink() {
    thread.setObjectName(QStringLiteral("audio output"));
}

QtAudioSink::~QtAudioSink() {
    stop();
}

bool QtAudioSink::start(Pull pull) {
    stop();
    shared.flushRequested = false;
    shared.buffered = 0;
    feeder = std::make_unique<Feeder>(std::move(pull), shared);
    feeder->moveToThread(&thread);
    thread.start();
    bool opened = false;
    QString reason;
    QMetaObject::invokeMethod(
        feeder.get(), [&] { opened = feeder->open(reason); }, Qt::BlockingQueuedConnection);
    error = reason;
    if (!opened)
        stop();
    return opened;
}

void QtAudioSink::stop() {
    if (!feeder)
        return;
    if (thread.isRunning()) {
        QMetaObject::invokeMethod(
            feeder.get(), [this] { feeder->close(); }, Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
    }
    feeder.reset();
}

void QtAudioSink::setPaused(bool paused) {
    shared.paused = paused;
    if (feeder)
        QMetaObject::invokeMethod(feeder.get(), [f = feeder.get(), paused] { f->setSuspended(paused); });
}

void QtAudioSink::flush() {
    shared.flushRequested = true;
}

int64_t QtAudioSink::bufferedFrames() const {
    return shared.buffered.load();
}

QString QtAudioSink::errorString() const {
    return error;
}

} // namespace platform::media
