#pragma once

#include "platform/media/MixInputParameters.h"

#include <vector>

namespace platform::media {

// The volume envelopes applied to a composition's tracks; a track without parameters plays at 1.0.
class AudioMix {
public:
    AudioMix() = default;
    explicit AudioMix(std::vector<MixInputParameters> parameters) : inputs(std::move(parameters)) {}

    void setInputParameters(std::vector<MixInputParameters> parameters) { inputs = std::move(parameters); }
    void addInputParameters(MixInputParameters parameters) { inputs.push_back(std::move(parameters)); }
    const std::vector<MixInputParameters>& inputParameters() const { return inputs; }
    // The first parameters given for the track, or null.
    const MixInputParameters* parametersForTrack(int32_t trackID) const;

private:
    std::vector<MixInputParameters> inputs;
};

} // namespace platform::media
