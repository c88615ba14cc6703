#pragma once

#include "platform/foundation/Scheduler.h"
#include "ui/editing/ProjectSource.h"
#include "ui/editing/SoundCapture.h"

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <array>
#include <functional>
#include <memory>

class ControllerDialogs;
namespace platform::media {
class AudioFileWriter;
}

// Gives the current slide a sound of its own: recorded from the input device (Start, Stop) or chosen from
// a file, which is copied into the project; or takes the sound it has off. Each sound that is ready is posted
// as "NOTIFY_UPDATE_SLIDEITEM_SOUND_FILE" with its full path, a sound taken off with an empty path. Every
// Start records into a new file "sound_<seconds>.caf" in the Documents folder; two meters show the left and
// right peaks while recording.
class SoundRecorderWndController : public QDialog {
    Q_OBJECT
public:
    static constexpr double kMeterInterval = 0.1;
    static constexpr float kMeterMaximum = 20.0f;
    static constexpr float kSilencePeak = -160.0f; // dB

    // A chosen file is copied into the project; currentSlide gives the slide the window's reports reach.
    SoundRecorderWndController(ControllerDialogs& dialogs, std::shared_ptr<platform::Scheduler> scheduler,
                               ProjectSource project, std::function<SlideItemRef()> currentSlide = {},
                               QWidget* parent = nullptr);
    ~SoundRecorderWndController() override;

    void startRecord();
    // Reports the recording; nothing when none runs.
    void stopRecord();
    void selectSoundFile();
    // The current slide goes without a sound; all else of it stays.
    void takeSoundOff();
    // Take Sound Off can be clicked while the current slide has a sound: called when that slide changes.
    void showCurrentSlideSound();

    bool isRecording() const { return writer != nullptr; }
    bool canRecord() const { return capture != nullptr; }
    // The line under the meters: what to do, what was done, or what went wrong.
    QString statusText() const;
    QString strAudioFileName() const { return audioFileName; }
    bool isMeterTimerRunning() const { return meterTimer.isActive(); }
    // What the meters show, 0 to 20.
    float leftLevel() const { return levels[0]; }
    float rightLevel() const { return levels[1]; }
    QProgressBar* leftChannel() const { return meters[0]; }
    QProgressBar* rightChannel() const { return meters[1]; }

    // (peak + 100) / 5, held to what a meter can show: 0 dB reads 20, -100 dB and below 0.
    static float meterValueForPeak(float decibels);
    // A linear peak (1 is full scale) in dB, -160 for silence.
    static float peakPowerForLevel(float linear);

    // Closing the window (Escape, the close button) keeps what it recorded.
    void reject() override;

private:
    void initAudioRecorder();
    void timerSetup();
    void timerMeterCallback();
    void framesArrived(const int16_t* interleaved, int frames);
    QString newRecordingPath() const;
    void showLevels();
    void takeKeyboardBack();

    ControllerDialogs& dialogs;
    std::shared_ptr<platform::Scheduler> clock;
    ProjectSource projectSource;
    std::function<SlideItemRef()> currentSlide;
    std::unique_ptr<SoundCapture> capture;
    std::unique_ptr<platform::media::AudioFileWriter> writer;
    QString audioFileName;
    platform::Scheduler::Handle meterTimer;
    std::array<float, 2> peaks{0.0f, 0.0f}; // since the last meter update, linear
    std::array<float, 2> levels{0.0f, 0.0f};
    std::array<QProgressBar*, 2> meters{};
    QLabel* status;
    QPushButton* startButton;
    QPushButton* stopButton;
    QPushButton* chooseButton;
    QPushButton* takeOffButton;
};
