#pragma once

#include "render/transitions/SlideshowTransition.h"

#include <QVariantMap>

#include <memory>
#include <vector>

// The registry of transitions the player draws with: one object per entry, built once and reused for every
// slide that chooses it. A slide's transition choice ({"category", "index", "name", "image_name"}) selects
// an entry; an empty choice or the "Random" category a random one.
class TransitionManager {
public:
    TransitionManager();
    virtual ~TransitionManager() = default;

    // Fills the registry. Today it holds the direct cut only; every choice falls back to it.
    virtual void createTransitioArray();
    // A random entry, its length set to half the project's default transition and, with `prepare`,
    // prepared (which draws: only with a target bound); null when the registry is empty.
    std::shared_ptr<SlideshowTransition> getRandomTransition(bool prepare = true);
    // The entry for a choice, prepared.
    virtual std::shared_ptr<SlideshowTransition> getTransitionByInfo(const QVariantMap& info);
    // The cross-fade used before video clips, not prepared again; the cut until the blends exist.
    virtual std::shared_ptr<SlideshowTransition> getAlphaBlendTransition();
    std::shared_ptr<SlideshowTransition> getTransitionByID(int) { return nullptr; }

    const std::vector<std::shared_ptr<SlideshowTransition>>& transitionArray() const { return transitions; }
    std::shared_ptr<SlideshowTransition> transitionObj() const { return lastRandom; }

protected:
    std::vector<std::shared_ptr<SlideshowTransition>> transitions;
    std::shared_ptr<SlideshowTransition> lastRandom;
};
