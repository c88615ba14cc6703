#pragma once

#include <atomic>

// Width over height of the target being drawn now. Whoever binds a target sets it; the slide renderer and
// the transitions read it. Preview and export never draw at once (the player serialises them), so one value
// serves the whole program; it is atomic only so that a read on another thread is not a data race.
extern std::atomic<float> gRenderAspectRatio;

// Backing pixels per point of the preview view, 1.0 until the view is prepared.
extern std::atomic<float> gBackingScaleFactor;
