#include "export/MixSupport.h"

#include <algorithm>
#include <cmath>

namespace mix_support {

double fadeLength(double seconds) {
    const double fade = std::min(seconds * 0.5 - 0.1, 3.0);
    return std::isfinite(fade) && fade > 0.0 ? fade : 0.0;
}

double previewStart(double seconds, double length) {
    if (!std::isfinite(length) || length <= 0.0 || !std::isfinite(seconds))
        return 0.0;
    if (seconds <= length)
        return seconds;
    // The same as taking the length away while the position is beyond it, without a loop of s / D turns.
    const double turns = std::ceil(seconds / length) - 1.0;
    const double start = seconds - turns * length;
    return start > length ? start - length : (start > 0.0 ? start : length);
}

const platform::media::MediaAsset& AssetCache::open(const QString& path) {
    auto found = assets.find(path);
    if (found == assets.end())
        found = assets.emplace(path, platform::media::MediaAsset::open(path, true)).first;
    return found->second;
}

} // namespace mix_support
