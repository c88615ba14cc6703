#include "model/ProjectCollaborators.h"
#include "model/SlideshowProject.h"
#include "model/VideoSlideItemState.h"
#include "platform/foundation/Clock.h"
#include "platform/gl/Context.h"

#include <utility>

using platform::media::MediaTime;

namespace {

// Clip time and elapsed time are compared a frame period apart; in step they sit exactly one period
// apart, and during an export a lag is a whole number of periods, where single-precision rounding alone
// would flip the comparison or the count of frames to drop. Half a millisecond is far below any period.
constexpr float kPacingSlack = 0.0005f;

// The first row of the rotation that turns the pictures for showing, exact for quarter turns.
int orientationOf(const platform::media::MediaAsset& asset) {
    if (!asset.hasVideo())
        return kNoVideoOrientation;
    switch (asset.rotation()) {
    case 0:
        return videoOrientationForTransform(1.0, 0.0);
    case 90:
        return videoOrientationForTransform(0.0, 1.0);
    case 180:
        return videoOrientationForTransform(-1.0, 0.0);
    case 270:
        return videoOrientationForTransform(0.0, -1.0);
    default: {
        const double radians = asset.rotation() * M_PI / 180.0;
        return videoOrientationForTransform(std::cos(radians), std::sin(radians));
    }
    }
}

// The four-character code of the frames as handed over (B, G, R, A in memory), its bytes reversed.
constexpr quint32 kBGRAFourCCReversed = quint32('A') << 24 | quint32('R') << 16 | quint32('G') << 8 | 'B';

// A reader taken out under the reader's lock, closed once that lock is let go (so declared before it) and
// outside GL: its decoder waits for its threads as it closes.
struct ReaderToClose {
    std::unique_ptr<platform::media::VideoReader> reader;
    ~ReaderToClose() {
        if (!reader)
            return;
        const platform::gl::OutsideGl forTheDecoder;
        reader.reset();
    }
};

// The player of an export that plays now, from which a clip takes its clock; null in the preview.
std::shared_ptr<ProjectDirector> exportingPlayer() {
    const auto project = SlideshowProject::currentMainProject();
    auto player = project ? project->director() : nullptr;
    return player && player->exportPlays() ? player : nullptr;
}

} // namespace

// ---- reading passes

bool VideoSlideItem::startReadingPass(std::unique_ptr<ReadingAhead>* ahead) {
    QString error;
    if (!setUpReader(&error, ahead) || !startReadingReturningError(&error)) {
        unreadable = true;
        return false;
    }
    // Each pass is timed afresh from its first frame. Timing carried over from an earlier pass that was
    // not rewound belongs to another clock when an export follows a preview, and could hold the clip's
    // first frame for the whole export.
    const std::lock_guard lock(readerMutex);
    reading->previousTimeStamp = MediaTime(0, 1);
    return true;
}

bool VideoSlideItem::stopReading() {
    ReaderToClose closing;
    const std::lock_guard lock(readerMutex);
    closing.reader = stopReadingLocked();
    return true;
}

std::unique_ptr<platform::media::VideoReader> VideoSlideItem::stopReadingLocked() {
    if (reading->assetReader && reading->status == ReaderStatus::Reading)
        reading->status = ReaderStatus::Cancelled;
    reading->hasVideoOutput = false;
    reading->frameRead = reading->endedShort = false;
    reading->firstImage = QImage();
    return std::move(reading->assetReader);
}

void VideoSlideItem::endShowing() {
    {
        ReaderToClose closing;
        const std::lock_guard lock(readerMutex);
        closing.reader = stopReadingLocked();
        reading->bAudio = false;
    }
    dropSoundPlayer();
}

// ---- passes opened ahead

VideoSlideItem::ReadingAhead::ReadingAhead() = default;

VideoSlideItem::ReadingAhead::~ReadingAhead() {
    const ReaderToClose closing{std::move(reader)};
}

std::unique_ptr<VideoSlideItem::ReadingAhead> VideoSlideItem::openReadingAhead() const {
    auto ahead = std::unique_ptr<ReadingAhead>(new ReadingAhead);
    {
        const std::lock_guard lock(readerMutex);
        if (!reading->asset || !reading->asset->hasVideo())
            return nullptr;
        ahead->path = reading->asset->path();
    }
    // The decoder's set-up and its first frame, which the first frame of a pass waits for.
    ahead->reader = std::make_unique<platform::media::VideoReader>();
    if (!ahead->reader->open(ahead->path))
        return nullptr;
    platform::media::VideoFrame first;
    if (ahead->reader->readFrame(first)) {
        ahead->firstImage = std::move(first.image);
        ahead->firstTime = first.time;
    }
    return ahead;
}

bool VideoSlideItem::setUpReaderReturningError(QString* error) {
    return setUpReader(error, nullptr);
}

bool VideoSlideItem::setUpReader(QString* error, std::unique_ptr<ReadingAhead>* ahead) {
    float clipSeconds = -1.0f;
    {
        ReaderToClose previous;
        const std::lock_guard lock(readerMutex);
        previous.reader = stopReadingLocked();
        Reading& r = *reading;
        if (!r.asset) {
            if (error)
                *error = QStringLiteral("The clip could not be opened.");
            return false;
        }
        r.videoOrientation = orientationOf(*r.asset);
        r.assetReader = std::make_unique<platform::media::VideoReader>();
        r.status = ReaderStatus::Unknown;
        if (!r.asset->hasVideo())
            return true; // a reader without pictures: it yields no frames
        if (ahead && *ahead && (*ahead)->path == r.asset->path()) {
            const std::unique_ptr<ReadingAhead> taken = std::move(*ahead);
            r.assetReader = std::move(taken->reader);
            r.firstImage = std::move(taken->firstImage);
            r.firstTime = taken->firstTime;
        } else if (!r.assetReader->open(r.asset->path())) {
            if (error)
                *error = r.assetReader->errorString();
            r.assetReader.reset();
            return false;
        }
        r.hasVideoOutput = true;
        r.videoSize = QSizeF(r.asset->videoSize());
        const auto& range = r.asset->hasAudio() ? r.asset->audioTimeRange() : r.asset->videoTimeRange();
        clipSeconds = float(range.duration.seconds());
    }
    if (clipSeconds >= 0.0f)
        applyClipDurations(clipSeconds);
    return true;
}

bool VideoSlideItem::startReadingReturningError(QString* error) {
    const std::lock_guard lock(readerMutex);
    if (!reading->assetReader) {
        if (error)
            *error = QStringLiteral("The clip has no reader.");
        return false;
    }
    reading->status = reading->hasVideoOutput ? ReaderStatus::Reading : ReaderStatus::Failed;
    return reading->hasVideoOutput;
}

bool VideoSlideItem::readNextFrameLocked(QImage& image, MediaTime& time) {
    if (!reading->firstImage.isNull()) {
        image = std::exchange(reading->firstImage, QImage());
        time = reading->firstTime;
        return true;
    }
    platform::media::VideoFrame frame;
    if (!reading->assetReader->readFrame(frame)) {
        reading->status = reading->assetReader->atEnd() ? ReaderStatus::Completed : ReaderStatus::Failed;
        reading->endedShort = reading->assetReader->endedShort();
        return false;
    }
    image = std::move(frame.image);
    time = frame.time;
    return true;
}

bool VideoSlideItem::dropFramesLocked(int count) {
    QImage dropped;
    MediaTime time;
    for (int i = 0; i < count; ++i)
        if (!readNextFrameLocked(dropped, time))
            return false;
    return true;
}

// ---- pacing

double VideoSlideItem::clockSeconds() const {
    if (const auto player = exportingPlayer())
        return player->currentFrameTimeStamp().seconds();
    const auto clock = reading->clock ? reading->clock : SlideshowProject::clock();
    return clock->secondsSinceStart();
}

bool VideoSlideItem::LoadOneFrameToOpenGLTexture(quint64 frame, VideoFrameTarget& target) {
    return loadOneFrame(frame, target, false);
}

bool VideoSlideItem::LoadOneFrameToOpenGLTexture(quint64 frame, VideoFrameTarget& target,
                                                 std::unique_ptr<ReadingAhead>& ahead) {
    return loadOneFrame(frame, target, false, &ahead);
}

bool VideoSlideItem::LoadOneFrameToOpenGLTexture_Alt(quint64 frame, VideoFrameTarget& target) {
    return loadOneFrame(frame, target, true);
}

bool VideoSlideItem::loadOneFrame(quint64 frame, VideoFrameTarget& target, bool earlierForm,
                                  std::unique_ptr<ReadingAhead>* ahead) {
    bool noReader;
    {
        const std::lock_guard lock(readerMutex);
        noReader = !reading->assetReader;
    }
    if (frame == 0 || noReader)
        startReadingPass(ahead);
    const bool exporting = exportingPlayer() != nullptr;
    const unsigned long rate = SlideshowProject::ulFrameRate();
    const float period = 1.0f / float(rate ? rate : 30);
    bool startSound = false;
    QImage image; // uploaded with the reader's lock let go
    {
        const std::lock_guard lock(readerMutex);
        Reading& r = *reading;
        if (!r.assetReader || r.status != ReaderStatus::Reading)
            return true;
        // A pass of which not a frame decodes; during an export also one cut off by damage to the clip,
        // whose frames the movie would otherwise lack. The preview plays on with what it has.
        const auto noteReadability = [&] { unreadable = !r.frameRead || (exporting && r.endedShort); };
        const double now = clockSeconds();
        if (r.previousTimeStamp.seconds() == 0.0) {
            r.startTime = now;
            r.previousTimeStamp = MediaTime(0, 1);
            r.previousSystemTimeStamp = earlierForm ? 0.0 : r.startTime;
            if (!exporting && !r.bAudio) {
                r.bAudio = true;
                startSound = !earlierForm;
            }
        } else {
            const float elapsed = float(r.previousSystemTimeStamp - r.startTime);
            const float clipTime = float(r.previousTimeStamp.seconds());
            if (clipTime - elapsed > period + kPacingSlack) {
                r.previousSystemTimeStamp = now;
                return true;
            }
            if (elapsed - clipTime > period + kPacingSlack) {
                if (exporting)
                    r.previousSystemTimeStamp = now;
                if (!dropFramesLocked(int((elapsed - clipTime + kPacingSlack) / period))) {
                    noteReadability();
                    return true;
                }
            }
        }
        MediaTime time;
        if (readNextFrameLocked(image, time)) {
            r.previousTimeStamp = time;
            r.previousSystemTimeStamp = now;
            r.videoDimensions = image.size();
            r.videoType = kBGRAFourCCReversed;
            r.frameRead = true;
        }
        noteReadability();
    }
    if (!image.isNull())
        target.uploadVideoFrame(image);
    if (startSound)
        playAudio();
    return true;
}

void VideoSlideItem::resetVideoItem() {
    {
        ReaderToClose closing;
        const std::lock_guard lock(readerMutex);
        reading->previousTimeStamp = MediaTime(0, 1);
        closing.reader = stopReadingLocked();
        reading->bAudio = false;
    }
    stopAudioPlaying();
}

// ---- state

void VideoSlideItem::setClock(std::shared_ptr<platform::Clock> clock) {
    const std::lock_guard lock(readerMutex);
    reading->clock = std::move(clock);
}

VideoSlideItem::ReaderStatus VideoSlideItem::readerStatus() const {
    const std::lock_guard lock(readerMutex);
    return reading->status;
}

QSize VideoSlideItem::videoDimensions() const {
    const std::lock_guard lock(readerMutex);
    return reading->videoDimensions;
}

quint32 VideoSlideItem::videoType() const {
    const std::lock_guard lock(readerMutex);
    return reading->videoType;
}

QSizeF VideoSlideItem::videoSize() const {
    const std::lock_guard lock(readerMutex);
    return reading->videoSize;
}

int VideoSlideItem::videoOrientation() const {
    const std::lock_guard lock(readerMutex);
    return reading->videoOrientation;
}

MediaTime VideoSlideItem::previousTimeStamp() const {
    const std::lock_guard lock(readerMutex);
    return reading->previousTimeStamp;
}

double VideoSlideItem::startTime() const {
    const std::lock_guard lock(readerMutex);
    return reading->startTime;
}

double VideoSlideItem::previousSystemTimeStamp() const {
    const std::lock_guard lock(readerMutex);
    return reading->previousSystemTimeStamp;
}

bool VideoSlideItem::isAudioStarted() const {
    const std::lock_guard lock(readerMutex);
    return reading->bAudio;
}
