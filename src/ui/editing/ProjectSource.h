#pragma once

#include "model/SlideshowProject.h"

#include <functional>

// How a panel reaches the project it edits: asked at each use, so a panel that outlives a switch of projects
// edits the one open at the time; null when none is. Whoever makes the panel decides which project that is.
using ProjectSource = std::function<SlideshowProjectRef()>;
