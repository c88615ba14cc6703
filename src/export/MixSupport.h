#pragma once

#include "platform/media/CompositionTrack.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MixInputParameters.h"

#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class MusicItem;

// What both audio mixers share.
namespace mix_support {

// Songs and slide sounds fade in and out over min(length x 0.5 - 0.1, 3.0) seconds; a sound shorter than
// 0.2 s gets no fade at all rather than one of negative length.
double fadeLength(double seconds);

// Where a preview of a mix of the given length starts when asked for `seconds`: a position beyond the end
// is reduced by whole multiples of the length; without a positive, finite length (or position) at 0.
double previewStart(double seconds, double length);

// The sound of `asset` put on `track` from `start` seconds, cut where it would run past `total`: the length
// put there, or nothing when the asset has no sound or the track refuses it.
std::optional<platform::media::MediaTime> insertUpTo(platform::media::CompositionTrack& track,
                                                     const platform::media::MediaAsset& asset, double start,
                                                     double total);

// Whether a pass over the songs, from `passStart` to `passEnd` seconds, laid less than a frame of the show:
// another would lay no more, so songs that are unreadable, empty or together that short are not repeated.
bool passTooShortToRepeat(double passStart, double passEnd);

// A gap of more than a second between `start` and `total` is left empty on the track, so the mix lasts.
void fillGap(platform::media::CompositionTrack& track, double start, double total);

// The levels of a track that fades in from silence to `level` at `start` and out again `seconds` later.
platform::media::MixInputParameters fadedLevels(int32_t trackID, float level, double start, double seconds);

// Every file a build reads is opened once, with its precise duration, however many passes use it.
class AssetCache {
public:
    const platform::media::MediaAsset& open(const QString& path);
    // The same for a song, which must hold sound: one whose header promises none, or clearly less than its
    // recorded length (expectSongLengths), counts as unreadable.
    const platform::media::MediaAsset& openSong(const QString& path);
    // The lengths the songs were taken in with, by the files they play in the "Contents" folder given.
    void expectSongLengths(const std::vector<std::shared_ptr<MusicItem>>& songs, const QString& contents);
    // A file the build asked for and may not read (gone, or outside what the project may read): it counts as
    // unreadable without being opened.
    void refuse(const QString& path);
    void clear() {
        assets.clear();
        asked.clear();
        lacking.clear();
        recorded.clear();
    }
    // The files the build asked for that could not be read (gone, empty, spoilt), in the order asked: a
    // preview leaves them out, an export fails naming them.
    QStringList unreadable() const;

private:
    std::map<QString, platform::media::MediaAsset> assets;
    QStringList asked;
    QStringList lacking;                // songs among them without the sound they should hold
    std::map<QString, double> recorded; // songs' recorded lengths by file
};

} // namespace mix_support
