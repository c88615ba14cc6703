#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>

class QAudioSource;
class QIODevice;

// Sound from an input device, handed on as interleaved 16-bit stereo frames at 44.1 kHz on the main
// thread. The program records from the default input; tests hand in frames of their own.
class SoundCapture {
public:
    using Frames = std::function<void(const int16_t* interleaved, int frames)>;
    // Null when no capture can be made (no input device, or none that records 16-bit stereo 44.1 kHz).
    using Factory = std::function<std::unique_ptr<SoundCapture>()>;

    virtual ~SoundCapture() = default;
    virtual bool start(Frames deliver) = 0;
    virtual void stop() = 0;

    // The factory the recorder windows use; the default input device unless set.
    static Factory factory();
    static void setFactory(Factory factory);
};

// The default input device through Qt Multimedia.
class AudioInputCapture : public QObject, public SoundCapture {
    Q_OBJECT
public:
    static std::unique_ptr<SoundCapture> makeForDefaultInput();
    ~AudioInputCapture() override;

    bool start(Frames deliver) override;
    void stop() override;

private:
    explicit AudioInputCapture(std::unique_ptr<QAudioSource> source);
    void readAvailable();

    std::unique_ptr<QAudioSource> source;
    QIODevice* input = nullptr; // the source's
    Frames deliver;
    QByteArray pending; // a frame split across two reads
};
