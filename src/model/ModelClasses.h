#pragma once

// Registers the model's archived classes ("SlideshowProject", "SlideshowThemeManager", "SlideItem",
// "VideoSlideItem", "QuartzSlideItem", "MusicItem", "SlideshowProjectManager") with the keyed
// unarchiver. Safe to call any number of times from any thread.
void registerModelClasses();

#include <QStringList>

// The archived class names whose objects may stand where a slide is expected.
QStringList slideClassNames();
