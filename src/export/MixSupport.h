#pragma once

#include "platform/media/MediaAsset.h"

#include <QString>
#include <map>

// What both audio mixers share.
namespace mix_support {

// Songs and slide sounds fade in and out over min(length x 0.5 - 0.1, 3.0) seconds; a sound shorter than
// 0.2 s gets no fade at all rather than one of negative length.
double fadeLength(double seconds);

// Where a preview of a mix of the given length starts when asked for `seconds`: a position beyond the end
// is reduced by whole multiples of the length; without a positive, finite length (or position) at 0.
double previewStart(double seconds, double length);

// Every file a build reads is opened once, with its precise duration, however many passes use it.
class AssetCache {
public:
    const platform::media::MediaAsset& open(const QString& path);
    void clear() { assets.clear(); }

private:
    std::map<QString, platform::media::MediaAsset> assets;
};

} // namespace mix_support
