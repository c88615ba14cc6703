#pragma once

#include <atomic>

// Width over height of the target this thread draws into. Each thread that draws (the display link's for the
// preview, an export's pump, the main thread's still pictures) sets it as it binds its target, and the slide
// renderer and the transitions read it there: a still drawn while an export's frame waits for a picture never
// gives that frame the view's shape.
extern thread_local float gRenderAspectRatio;

// Backing pixels per point of the preview view, 1.0 until the view is prepared.
extern std::atomic<float> gBackingScaleFactor;
