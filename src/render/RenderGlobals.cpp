#include "render/RenderGlobals.h"

thread_local float gRenderAspectRatio = 4.0f / 3.0f;
std::atomic<float> gBackingScaleFactor{1.0f};
