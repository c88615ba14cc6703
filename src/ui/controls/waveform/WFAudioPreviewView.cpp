#include "ui/controls/waveform/WFAudioPreviewView.h"

#include "ui/controls/waveform/WFSampleDataMonoizer.h"

#include "platform/foundation/StringTable.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QThreadPool>

#include <algorithm>
#include <cmath>
#include <limits>

using platform::media::MediaAsset;

namespace {
// Each playhead tick redraws this wide a strip around the old and the new playhead.
constexpr double kPlayheadStripWidth = 20.0;
constexpr double kPromptHeight = 18.0;
constexpr double kPromptMargin = 5.0;
} // namespace

WFAudioPreviewView::WFAudioPreviewView(QWidget* parent)
    : WFMonoWaveformView(parent), _scheduler(platform::Scheduler::mainThreadScheduler()) {
    setFocusPolicy(Qt::StrongFocus);
}

WFAudioPreviewView::~WFAudioPreviewView() {
    _stopObservingPlayer();
}

void WFAudioPreviewView::setScheduler(std::shared_ptr<platform::Scheduler> scheduler) {
    _scheduler = std::move(scheduler);
    if (_player) {
        _stopObservingPlayer();
        _observePlayer();
    }
}

void WFAudioPreviewView::setPlayer(std::shared_ptr<WFPreviewPlayer> player) {
    if (player == _player)
        return;
    _stopObservingPlayer();
    _player = std::move(player);
    if (!_player)
        return;
    _observePlayer();
    readFirstAudioTrackOfPlayer();
}

void WFAudioPreviewView::setPlayheadColor(const QColor& colour) {
    _playheadColor = colour;
    update();
}

void WFAudioPreviewView::_observePlayer() {
    _timeObserver = _scheduler->scheduleRepeating(
        kPlayheadInterval, [this] { _setPlayheadPosition(static_cast<float>(_player->currentTime())); });
    _itemObservation = connect(_player.get(), &WFPreviewPlayer::sourceChanged, this,
                               &WFAudioPreviewView::readFirstAudioTrackOfPlayer);
}

void WFAudioPreviewView::_stopObservingPlayer() {
    _timeObserver.cancel();
    disconnect(_itemObservation);
}

void WFAudioPreviewView::readFirstAudioTrackOfPlayer() {
    if (!_player)
        return;
    _assetUnplayable = false;
    const QUrl item = _player->source();
    // Only a file can be decoded for the overview; a header read, so the main thread hardly waits.
    const MediaAsset asset = item.isLocalFile() ? MediaAsset::open(item.toLocalFile(), false) : MediaAsset();
    if (asset.isValid() && asset.hasAudio()) {
        _assetDuration = asset.duration().seconds();
        _readSamplesFromTrack(0, asset);
        return;
    }
    ++_overviewGeneration; // an overview still being read belongs to the earlier item
    _assetUnplayable = true;
    _setReadingOverview(false);
    setWaveform(nullptr, 0);
}

void WFAudioPreviewView::_readSamplesFromTrack(int track, const MediaAsset& asset) {
    setWaveform(nullptr, 0);
    _setReadingOverview(true);
    update();
    const uint64_t generation = ++_overviewGeneration;
    // The task owns its provider and readers; the view, perhaps gone by then, hears of it on the main thread.
    QThreadPool::globalInstance()->start([this, poster = gate.poster(), generation, asset, track] {
        auto overview =
            std::make_shared<WFSampleDataMonoizer>(WFSampleDataProvider::providerWithAsset(asset, track));
        overview->framesLength();
        poster.post([this, generation, overview] {
            if (_overviewGeneration == generation)
                _overviewRead(overview);
        });
    });
}

void WFAudioPreviewView::_overviewRead(std::shared_ptr<WFSampleDataProvider> overview) {
    setSampleDataProvider(std::move(overview));
    _setReadingOverview(false);
    update();
}

void WFAudioPreviewView::_setReadingOverview(bool reading) {
    if (reading == _isReadingOverview)
        return;
    _isReadingOverview = reading;
    emit isReadingOverviewChanged(reading);
}

bool WFAudioPreviewView::hasKnownDuration() const {
    return std::isfinite(_assetDuration) && _assetDuration > 0.0;
}

void WFAudioPreviewView::_setPlayheadPosition(float seconds) {
    updatePlayheadStrip();
    _playheadPosition = 0;
    if (hasKnownDuration() && hasSignal()) {
        const float progress = seconds / static_cast<float>(_assetDuration);
        const double sample =
            std::nearbyint(static_cast<double>(progress) * static_cast<double>(sampleLength()));
        if (std::isfinite(sample))
            _playheadPosition =
                static_cast<uint64_t>(std::clamp(sample, 0.0, static_cast<double>(sampleLength() - 1)));
    }
    updatePlayheadStrip();
}

void WFAudioPreviewView::updatePlayheadStrip() {
    const double x = sampleToXPoint(_playheadPosition) - kPlayheadStripWidth / 2.0;
    updateSignalRect(QRectF(x, 0.0, kPlayheadStripWidth, signalRect().height()));
}

void WFAudioPreviewView::seekPlayerToXPoint(double x) {
    if (!sampleDataProvider() || !_player || !hasKnownDuration())
        return;
    const uint64_t sample = xPointToSample(x);
    if (sample == WFSampleRange::kNotFound)
        return;
    _seekPlayer(static_cast<double>(sample) * _assetDuration / static_cast<double>(sampleLength()));
}

void WFAudioPreviewView::_seekPlayer(double seconds) {
    const double end = hasKnownDuration() ? _assetDuration : std::numeric_limits<double>::max();
    _player->seek(std::clamp(seconds, 0.0, end));
}

bool WFAudioPreviewView::performKeyEquivalent(const QKeyEvent& event) {
    if (event.type() != QEvent::KeyPress || !_player)
        return false;
    const bool command = event.modifiers() & Qt::ControlModifier;
    if (event.key() == Qt::Key_Space) {
        if (_player->isPlaying())
            _player->pause();
        else
            _player->play();
    } else if (command && event.key() == Qt::Key_Left) {
        _seekPlayer(_player->currentTime() - kKeyStepSeconds);
    } else if (command && event.key() == Qt::Key_Right) {
        _seekPlayer(_player->currentTime() + kKeyStepSeconds);
    } else {
        return false;
    }
    return true;
}

void WFAudioPreviewView::keyPressEvent(QKeyEvent* event) {
    if (performKeyEquivalent(*event))
        event->accept();
    else
        WFMonoWaveformView::keyPressEvent(event);
}

void WFAudioPreviewView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        seekPlayerToXPoint(event->position().x());
    WFMonoWaveformView::mousePressEvent(event);
}

QFont WFAudioPreviewView::promptFont() {
    QFont font = QGuiApplication::font();
    font.setPointSizeF(18.0);
    return font;
}

void WFAudioPreviewView::drawPrompt(QPainter& painter, const QString& prompt) {
    const QRectF line(0.0, (height() - kPromptHeight) / 2.0, width(), kPromptHeight);
    painter.save();
    painter.setFont(promptFont());
    painter.setPen(QColor(170, 170, 170));
    painter.drawText(line.adjusted(-kPromptMargin, -kPromptMargin, kPromptMargin, kPromptMargin),
                     Qt::AlignCenter, prompt);
    painter.restore();
}

void WFAudioPreviewView::paintEvent(QPaintEvent* event) {
    WFMonoWaveformView::paintEvent(event);
    QPainter painter(this);
    if (_assetUnplayable) {
        drawPrompt(painter, tr_("Audio Not Available From Asset"));
    } else if (_isReadingOverview) {
        drawPrompt(painter, tr_("Reading Overview..."));
    } else if (_playheadPosition != 0 && hasSignal()) {
        const double x = sampleToXPoint(_playheadPosition);
        painter.setPen(QPen(_playheadColor, 1.0));
        painter.drawLine(QPointF(x, 0.0), QPointF(x, height()));
    }
}
