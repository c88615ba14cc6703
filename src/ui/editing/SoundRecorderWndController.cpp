#include "ui/editing/SoundRecorderWndController.h"

#include "model/ContentsFolder.h"
#include "model/MusicItem.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/ErrorText.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"
#include "platform/media/AudioFileWriter.h"
#include "ui/UiNotifications.h"
#include "ui/main/ControllerDialogs.h"

#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QScopeGuard>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kMeterSteps = 200; // a tenth of a meter unit

QProgressBar* meter(const QString& name, QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(name);
    bar->setRange(0, kMeterSteps);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setMinimumWidth(260);
    return bar;
}

} // namespace

SoundRecorderWndController::SoundRecorderWndController(ControllerDialogs& userDialogs,
                                                       std::shared_ptr<platform::Scheduler> scheduler,
                                                       ProjectSource project,
                                                       std::function<SlideItemRef()> slide, QWidget* parent)
    : QDialog(parent), dialogs(userDialogs), clock(std::move(scheduler)), projectSource(std::move(project)),
      currentSlide(std::move(slide)), status(new QLabel(this)),
      startButton(new QPushButton(tr_("Start"), this)), stopButton(new QPushButton(tr_("Stop"), this)),
      chooseButton(new QPushButton(tr_("Choose File..."), this)),
      takeOffButton(new QPushButton(tr_("Take Sound Off"), this)) {
    setObjectName("SoundRecorderWndController");
    setWindowTitle(tr_("Slide Sound"));
    meters = {meter("leftChannel", this), meter("rightChannel", this)};
    startButton->setObjectName("startButton");
    stopButton->setObjectName("stopButton");
    chooseButton->setObjectName("chooseButton");
    takeOffButton->setObjectName("takeOffButton");
    auto* levelsForm = new QFormLayout;
    levelsForm->addRow(tr_("Left"), meters[0]);
    levelsForm->addRow(tr_("Right"), meters[1]);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(startButton);
    buttons->addWidget(stopButton);
    buttons->addStretch();
    buttons->addWidget(chooseButton);
    buttons->addWidget(takeOffButton);
    auto* column = new QVBoxLayout(this);
    column->addLayout(levelsForm);
    column->addWidget(status);
    column->addLayout(buttons);
    connect(startButton, &QPushButton::clicked, this, &SoundRecorderWndController::startRecord);
    connect(stopButton, &QPushButton::clicked, this, &SoundRecorderWndController::stopRecord);
    connect(chooseButton, &QPushButton::clicked, this, &SoundRecorderWndController::selectSoundFile);
    connect(takeOffButton, &QPushButton::clicked, this, &SoundRecorderWndController::takeSoundOff);
    initAudioRecorder();
    showCurrentSlideSound();
}

SoundRecorderWndController::~SoundRecorderWndController() {
    meterTimer.cancel();
    if (capture)
        capture->stop();
    if (writer)
        writer->cancel(); // an unfinished recording is no sound
}

void SoundRecorderWndController::initAudioRecorder() {
    if (const SoundCapture::Factory make = SoundCapture::factory())
        capture = make();
    startButton->setEnabled(capture != nullptr);
    stopButton->setEnabled(false);
    status->setText(capture ? tr_("Press Start to record the slide's sound.")
                            : tr_("No sound input was found. You can choose a sound file."));
}

// Seconds since 1 January 2001, as every name the project makes; a name taken already gets a number.
QString SoundRecorderWndController::newRecordingPath() const {
    const QString documents = platform::paths::documentsFolder();
    QDir().mkpath(documents);
    const QString name = ContentsFolder::reserveName(
        documents, ContentsFolder::recordingName(ContentsFolder::secondsSinceReferenceDate()));
    return name.isEmpty() ? QString() : documents + QLatin1Char('/') + name;
}

void SoundRecorderWndController::startRecord() {
    timerSetup();
    if (writer || !capture)
        return;
    const QString path = newRecordingPath();
    platform::media::AudioFileWriter::Settings settings;
    settings.path = path;
    settings.container = QStringLiteral("caf");
    settings.codec = QStringLiteral("pcm_s16le");
    auto file = std::make_unique<platform::media::AudioFileWriter>(settings);
    if (path.isEmpty() || !file->start()) {
        status->setText(tr_("The recording could not be started: %1").arg(file->errorString()));
        return;
    }
    writer = std::move(file);
    peaks = {0.0f, 0.0f};
    if (!capture->start([this](const int16_t* frames, int count) { framesArrived(frames, count); })) {
        writer->cancel();
        writer.reset();
        status->setText(tr_("The sound input could not be opened."));
        return;
    }
    audioFileName = path;
    startButton->setEnabled(false);
    stopButton->setEnabled(true);
    status->setText(tr_("Recording..."));
}

void SoundRecorderWndController::stopRecord() {
    meterTimer.cancel();
    if (!writer)
        return;
    capture->stop();
    const bool finished = writer->finish();
    const QString error = writer->errorString();
    writer.reset();
    levels = {0.0f, 0.0f};
    showLevels();
    startButton->setEnabled(true);
    stopButton->setEnabled(false);
    if (!finished) {
        status->setText(tr_("The recording could not be saved: %1").arg(error));
        return;
    }
    status->setText(tr_("Recorded."));
    platform::NotificationCenter::defaultCenter().post(kNotifyUpdateSlideItemSoundFile, audioFileName);
}

// The chosen file is copied into the project: the slide's sound goes with the slide, and deleting the
// slide deletes the copy, never the user's file. A file without a sound of some length is refused as a song
// is, and the slide keeps the sound it had.
void SoundRecorderWndController::selectSoundFile() {
    const auto keyboardBack = qScopeGuard([this] { takeKeyboardBack(); });
    const QStringList chosen =
        dialogs.runMediaOpenPanel(ControllerDialogs::MediaKind::Songs, QStringLiteral("Add Slide Music"));
    if (chosen.isEmpty())
        return;
    const auto project = projectSource();
    const QString contents = project ? project->strMacProjectBundleContentsPath() : QString();
    const QString source = chosen.first();
    QString error;
    const QString copy = MusicItem::songDictionaryForImport(source, contents, &error)
                             .value(QStringLiteral("pureFileName"))
                             .toString();
    if (copy.isEmpty()) {
        dialogs.runModalAlert(
            platform::errorSentence(error, tr_("The sound could not be copied into the project.")),
            QStringLiteral("ERROR"));
        return;
    }
    audioFileName = contents + QLatin1Char('/') + copy;
    platform::NotificationCenter::defaultCenter().post(kNotifyUpdateSlideItemSoundFile, audioFileName);
    status->setText(tr_("%1 is the slide's sound now.").arg(QFileInfo(source).fileName()));
}

// Reported as a sound is, so that the main window applies it as it applies a new one: to the slide current
// then, the project changed, the copy that nothing refers to any more removed.
void SoundRecorderWndController::takeSoundOff() {
    const SlideItemRef slide = currentSlide ? currentSlide() : nullptr;
    if (slide && !slide->strSoundFileName().isEmpty()) {
        audioFileName.clear();
        platform::NotificationCenter::defaultCenter().post(kNotifyUpdateSlideItemSoundFile, QString());
        status->setText(tr_("The slide has no sound now."));
    }
    showCurrentSlideSound();
}

void SoundRecorderWndController::showCurrentSlideSound() {
    const SlideItemRef slide = currentSlide ? currentSlide() : nullptr;
    takeOffButton->setEnabled(slide && !slide->strSoundFileName().isEmpty());
}

// The file panel and the alerts are the main window's: when they go, the window system gives the keyboard to
// it, and Escape would no longer close this window.
void SoundRecorderWndController::takeKeyboardBack() {
    if (!isVisible())
        return;
    raise();
    activateWindow();
}

QString SoundRecorderWndController::statusText() const {
    return status->text();
}

void SoundRecorderWndController::timerSetup() {
    meterTimer.cancel();
    meterTimer = clock->scheduleRepeating(kMeterInterval, [this] { timerMeterCallback(); });
}

void SoundRecorderWndController::timerMeterCallback() {
    if (!writer)
        return;
    for (std::size_t channel = 0; channel < 2; ++channel)
        levels[channel] = meterValueForPeak(peakPowerForLevel(peaks[channel]));
    peaks = {0.0f, 0.0f};
    showLevels();
}

void SoundRecorderWndController::framesArrived(const int16_t* interleaved, int frames) {
    if (!writer || frames <= 0)
        return;
    if (!writer->write(interleaved, frames)) {
        status->setText(tr_("The recording could not be written: %1").arg(writer->errorString()));
        return;
    }
    for (int frame = 0; frame < frames; ++frame)
        for (std::size_t channel = 0; channel < 2; ++channel)
            peaks[channel] = std::max(peaks[channel],
                                      float(std::abs(int(interleaved[2 * frame + int(channel)]))) / 32768.0f);
}

void SoundRecorderWndController::showLevels() {
    for (std::size_t channel = 0; channel < 2; ++channel)
        meters[channel]->setValue(int(std::lround(levels[channel] / kMeterMaximum * kMeterSteps)));
}

float SoundRecorderWndController::meterValueForPeak(float decibels) {
    return std::clamp((decibels + 100.0f) / 5.0f, 0.0f, kMeterMaximum);
}

float SoundRecorderWndController::peakPowerForLevel(float linear) {
    if (linear <= 0.0f)
        return kSilencePeak;
    return std::max(kSilencePeak, 20.0f * std::log10(linear));
}

void SoundRecorderWndController::reject() {
    stopRecord();
    QDialog::reject();
}
