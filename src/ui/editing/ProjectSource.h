#pragma once

#include "model/SlideshowProject.h"

#include <functional>
#include <vector>

// How a panel reaches the project it edits: asked at each use, so a panel that outlives a switch of projects
// edits the one open at the time; null when none is. Whoever makes the panel decides which project that is.
using ProjectSource = std::function<SlideshowProjectRef()>;

// The slides of the project the source gives; none without a project.
inline std::vector<SlideItemRef> slidesOf(const ProjectSource& source) {
    const SlideshowProjectRef project = source();
    return project ? project->slideshowArray() : std::vector<SlideItemRef>();
}

// The slide at `index` of that project; null without a project or such a slide.
inline SlideItemRef slideOf(const ProjectSource& source, int index) {
    const SlideshowProjectRef project = source();
    return project && index >= 0 ? project->slideItemAtIndex(std::size_t(index)) : nullptr;
}
