#pragma once

#include "platform/media/TimeRange.h"

#include <QSize>
#include <QString>
#include <QVariantMap>

#include <algorithm>

namespace platform::media {

// What a media file holds, read once when it is opened: its first audio and first video stream, their
// lengths, the picture's size and turn, the sound's format and the file's tags. The file is not kept open.
class MediaAsset {
public:
    // With preciseDuration the audio length is measured from the packets of the first audio stream (a
    // demux pass without decoding, priming and padding left out) instead of trusting the container, whose
    // figure may be an estimate from the bit rate. Without it the packets are measured only when the
    // container gives no figure or an estimate.
    static MediaAsset open(const QString& path, bool preciseDuration = true);

    bool isValid() const { return valid; }
    QString errorString() const { return error; }
    QString path() const { return filePath; }
    // The longest of the streams read, or of the container when it has no stream length.
    MediaTime duration() const { return totalDuration; }
    QString formatName() const { return format; }

    bool hasAudio() const { return audioPresent; }
    // The first audio stream's extent, from 0.
    TimeRange audioTimeRange() const { return audioRange; }
    int sampleRate() const { return audioSampleRate; }
    int channels() const { return audioChannels; }
    QString audioCodecName() const { return audioCodec; }

    bool hasVideo() const { return videoPresent; }
    TimeRange videoTimeRange() const { return videoRange; }
    // The coded picture size, before the rotation is applied.
    QSize videoSize() const { return pictureSize; }
    // The size a viewer shows: width and height swapped for a quarter turn.
    QSize displaySize() const;
    // Clockwise degrees, 0..359, to turn the pictures by for showing.
    int rotation() const { return pictureRotation; }
    double frameRate() const { return videoFrameRate; }
    // The pictures of the first video stream: as the container counts them, else from length and rate.
    qint64 videoFrameCount() const { return videoFrames; }
    QString videoCodecName() const { return videoCodec; }

    // The container's tags under the libraries' common names ("title", "artist", "album", "genre",
    // "date", "comment", "track", ...), completed by the first streams' tags, as strings.
    QVariantMap metadata() const { return tags; }

private:
    bool valid = false;
    QString error;
    QString filePath;
    QString format;
    MediaTime totalDuration = MediaTime::zero();
    bool audioPresent = false;
    TimeRange audioRange = TimeRange::zero();
    int audioSampleRate = 0;
    int audioChannels = 0;
    QString audioCodec;
    bool videoPresent = false;
    TimeRange videoRange = TimeRange::zero();
    QSize pictureSize;
    int pictureRotation = 0;
    double videoFrameRate = 0.0;
    qint64 videoFrames = 0;
    QString videoCodec;
    QVariantMap tags;

    friend class MediaAssetProbe;
};

// Whether the file's packets end before the length its header gives, by more than half a second: a file cut
// short, whose missing end would play as a frozen picture. Only its last seconds are read. False when that
// cannot be told: no length, or one guessed from the bit rate.
bool endsBeforeItsLength(const QString& path);

// Whether a sound or clip measured at `seconds` holds clearly less than the `recorded` length it was taken
// in with: short by more than a second or a twentieth of it, whichever is more, which the same file
// measured again never is.
inline bool isClearlyShorter(double seconds, double recorded) {
    return seconds < recorded - std::max(1.0, recorded / 20.0);
}

} // namespace platform::media
