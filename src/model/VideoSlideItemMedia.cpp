#include "model/ContentsFolder.h"
#include "model/SlideshowProject.h"
#include "model/VideoSlideItemState.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/MainThread.h"
#include "platform/gl/Context.h"
#include "platform/image/ImageFilters.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>

#include <algorithm>

using platform::media::MediaTime;
using platform::media::TimeRange;

namespace {

// Fades of a sound of `seconds`; a sound too short for one gets none rather than one of negative length.
double fadeLength(double seconds) {
    return std::min(seconds * 0.5 - 0.1, 3.0);
}

// Written whole or not at all, as a file of the project's own: a link at the name is replaced.
bool saveJpeg(const QImage& image, const QString& path, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    return writer.write(image.convertToFormat(QImage::Format_RGB32)) &&
           platform::writeFileAtomically(path, bytes);
}

struct PictureNames {
    QString picture, background, thumbnail;
};

// Names from the time that no file in the folder has yet, so that a new clip never writes over the
// pictures of another slide made in the same hundredth of a second.
PictureNames freshPictureNames(const QString& folder) {
    double stamp = ContentsFolder::secondsSinceReferenceDate();
    for (int attempt = 0;; ++attempt) {
        const QString seconds = QString::number(stamp, 'f', 2);
        PictureNames names{"psd_" + seconds + ".jpg", "psd_bk_" + seconds + ".jpg",
                           "thumb_" + seconds + ".jpg"};
        const bool taken = QFileInfo::exists(folder + "/" + names.picture) ||
                           QFileInfo::exists(folder + "/" + names.background) ||
                           QFileInfo::exists(folder + "/" + names.thumbnail);
        if (!taken || attempt >= 10000)
            return names;
        stamp += 0.01;
    }
}

// The clip's sound lives on the main thread: posted there from any other, run at once on it. The sound
// output waits for its own thread there, which no thread may do holding the GL driver lock or the main
// context (the player holds both across a frame drawn on the main thread): both are let go meanwhile.
void forTheSound(std::function<void()> work) {
    if (!platform::isMainThread()) {
        platform::runOnMainThread(std::move(work));
        return;
    }
    const platform::gl::OutsideGl whileTheSoundWaits;
    work();
}

} // namespace

// ---- sound

bool VideoSlideItem::AddSlideItemMusic(const QString& path, float seconds) {
    if (path.isEmpty())
        return false;
    const auto file = platform::media::MediaAsset::open(path, true);
    const std::lock_guard lock(sound->mutex);
    auto& track = sound->composition.addTrack();
    if (!file.hasAudio())
        return false;
    const TimeRange source = file.audioTimeRange();
    const MediaTime at = MediaTime::fromSeconds(seconds, MediaTime::kDefaultTimescale);
    if (!track.insertTimeRange(source, file, at))
        return false;
    const double length = source.duration.seconds();
    const double fade = fadeLength(length);
    const float level = fltOutputVolume();
    platform::media::MixInputParameters parameters(track.trackID());
    if (fade > 0.0) {
        parameters.setVolumeRamp(0.0f, level, TimeRange(at, MediaTime::fromSeconds(fade)));
        parameters.setVolumeRamp(
            level, 0.0f, TimeRange(at + MediaTime::fromSeconds(length - fade), MediaTime::fromSeconds(fade)));
    } else {
        parameters.setVolume(level, at);
    }
    sound->allAudioParams.push_back(std::move(parameters));
    return true;
}

void VideoSlideItem::clearAllCompostionData() {
    const std::lock_guard lock(sound->mutex);
    sound->composition.removeAllTracks();
    sound->allAudioParams.clear();
}

bool VideoSlideItem::changePlayVolumeHandle() {
    clearAllCompostionData();
    {
        const std::lock_guard lock(sound->mutex);
        sound->made = true;
    }
    AddSlideItemMusic(strVideoFilePath(), 0.0f);
    return true;
}

platform::media::Composition VideoSlideItem::composition() const {
    const std::lock_guard lock(sound->mutex);
    return sound->composition;
}

std::vector<platform::media::MixInputParameters> VideoSlideItem::allAudioParams() const {
    const std::lock_guard lock(sound->mutex);
    return sound->allAudioParams;
}

void VideoSlideItem::playAudio() {
    quint64 showing;
    {
        const std::lock_guard lock(sound->mutex);
        showing = sound->showingsEnded;
    }
    forTheSound([state = sound, showing] {
        platform::media::Composition sounds;
        std::vector<platform::media::MixInputParameters> parameters;
        {
            const std::lock_guard lock(state->mutex);
            if (state->showingsEnded != showing) // the slide left before the start came here
                return;
            sounds = state->composition;
            parameters = state->allAudioParams;
        }
        state->player = std::make_unique<platform::media::AudioPlayer>(
            std::move(sounds), platform::media::AudioMix(std::move(parameters)));
        state->player->seek(MediaTime(0, MediaTime::kDefaultTimescale));
        if (!state->player->play()) // no sound output: the clip plays silent
            state->player.reset();
    });
}

void VideoSlideItem::stopAudioPlaying() {
    forTheSound([state = sound] {
        if (state->player)
            state->player->pause();
    });
}

void VideoSlideItem::dropSoundPlayer() {
    {
        const std::lock_guard lock(sound->mutex);
        ++sound->showingsEnded;
    }
    forTheSound([state = sound] { state->player.reset(); });
}

platform::media::AudioPlayer* VideoSlideItem::player() const {
    return sound->player.get();
}

// ---- pictures

bool VideoSlideItem::LoadVideoThumbnail() {
    const auto clip = asset();
    return clip && getVideoThumbnail(*clip);
}

bool VideoSlideItem::getVideoThumbnail(const platform::media::MediaAsset& clip) {
    const auto project = SlideshowProject::currentMainProject();
    return project && writePictures(clip.path(), project->strMacProjectBundleContentsPath());
}

bool VideoSlideItem::makeMissingPictures(const QString& contentsFolder) {
    return !SlideItem::isPresentIn(contentsFolder) && writePictures(strVideoFilePath(), contentsFolder);
}

bool VideoSlideItem::writePictures(const QString& clip, const QString& contentsFolder) {
    if (clip.isEmpty() || contentsFolder.isEmpty())
        return false;
    const float photo = fSecPhotoDuration();
    const double at = photo <= 1.0f ? photo * 0.5 : 1.0;
    const QImage picture = platform::media::VideoReader::thumbnailAt(clip, at);
    if (picture.isNull())
        return false;
    const PictureNames names = freshPictureNames(contentsFolder);
    setFileName(names.picture);
    setBackgroudImageFileName(names.background);
    setStrThumbFileName(names.thumbnail);
    const auto in = [&contentsFolder](const QString& name) {
        return ContentsFolder::nameInContents(name, contentsFolder);
    };
    bool written = saveToJpegFile(picture, in(names.picture));
    written = saveToJpegFile(imageToFitSize(picture, QSize(80, 70), 0), in(names.thumbnail)) && written;
    written = saveJpeg(platform::image::gaussianBlur(picture, 4.0f), in(names.background), 90) && written;
    return written;
}
