#include "platform/media/AudioMix.h"

#include <algorithm>

namespace platform::media {

const MixInputParameters* AudioMix::parametersForTrack(int32_t trackID) const {
    const auto found = std::find_if(inputs.begin(), inputs.end(), [trackID](const MixInputParameters& p) {
        return p.trackID() == trackID;
    });
    return found == inputs.end() ? nullptr : &*found;
}

} // namespace platform::media
