#include "platform/media/QtAudioSink.h"

#include "platform/media/AudioReader.h"
#include "platform/media/SampleFormat.h"
#include "platform/media/SoundDevices.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
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

// The feeder's thread. The feeder is made, run and destroyed in the thread's own body, so that its timer
// and device start and end on the thread they belong to, also when the sink is stopped after the
// application object has gone (at a quit, with the project that holds the player), when no queued call
// reaches the thread any more.
class QtAudioSink::FeedingThread : public QThread {
public:
    FeedingThread(Pull pull, Shared& shared) : pull(std::move(pull)), shared(shared) {
        setObjectName(QStringLiteral("audio output"));
    }

    // Starts the thread and waits until its feeder has opened the output, or failed to.
    bool begin(QString& error) {
        start();
        std::unique_lock lock(mutex);
        opened.wait(lock, [this] { return answered; });
        error = reason;
        return feeder != nullptr;
    }

    // The feeder while the thread feeds, for calls queued to it.
    Feeder* running() {
        const std::lock_guard lock(mutex);
        return feeder;
    }

protected:
    void run() override {
        Feeder made(std::move(pull), shared);
        QString why;
        const bool ok = made.open(why);
        {
            const std::lock_guard lock(mutex);
            feeder = ok ? &made : nullptr;
            reason = why;
            answered = true;
        }
        opened.notify_all();
        if (ok)
            exec();
        {
            const std::lock_guard lock(mutex);
            feeder = nullptr;
        }
        made.close();
    }

private:
    Pull pull;
    Shared& shared;
    std::mutex mutex;
    std::condition_variable opened;
    bool answered = false;
    Feeder* feeder = nullptr;
    QString reason;
};

QtAudioSink::QtAudioSink() = default;

QtAudioSink::~QtAudioSink() {
    stop();
}

bool QtAudioSink::start(Pull pull) {
    stop();
    shared.flushRequested = false;
    shared.buffered = 0;
    thread = std::make_unique<FeedingThread>(std::move(pull), shared);
    const bool opened = thread->begin(error);
    if (!opened)
        stop();
    return opened;
}

void QtAudioSink::stop() {
    if (!thread)
        return;
    // Ends the thread's loop directly, not through a queued call: the feeder closes on its way out.
    thread->quit();
    thread->wait();
    thread.reset();
}

void QtAudioSink::setPaused(bool paused) {
    shared.paused = paused;
    if (Feeder* feeder = thread ? thread->running() : nullptr)
        QMetaObject::invokeMethod(feeder, [feeder, paused] { feeder->setSuspended(paused); });
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
