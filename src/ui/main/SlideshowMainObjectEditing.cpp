// Timeline editing commands: the cells' clicks and pop-overs and what the editing panels report. Empty
// until the editing commands are built.
#include "ui/main/SlideshowMainObject.h"

using platform::Notification;

void SlideshowMainObject::notifyTimelineCellClicked(const Notification&) {}
void SlideshowMainObject::notifyTimelineCellDurationClicked(const Notification&) {}
void SlideshowMainObject::notifyTimelineCellTransitionClicked(const Notification&) {}
void SlideshowMainObject::TransitionEffectSelected(const Notification&) {}
void SlideshowMainObject::PanZoomValueChanged(const Notification&) {}
void SlideshowMainObject::WindowSizeChanged(const Notification&) {}
void SlideshowMainObject::FontInfoChanged(const Notification&) {}
void SlideshowMainObject::notifyToolboxButtonClicked(const Notification&) {}
void SlideshowMainObject::notifyColorAdjustChanged(const Notification&) {}
void SlideshowMainObject::notifySetDurationButtonClicked(const Notification&) {}
void SlideshowMainObject::notifyUpdateSlideItemDuration(const Notification&) {}
void SlideshowMainObject::notifyCloseSlideItemDurationPanel(const Notification&) {}
void SlideshowMainObject::notifyCloseVideoItemPropertyPanel(const Notification&) {}
// Clears the selection marks of the selected cell.
void SlideshowMainObject::clearTimelineSelection() {}
// The pan-and-zoom copy of the new current slide, and its text for the font editor.
void SlideshowMainObject::createTempSlideItem() {}
// Marks the slide the play head has reached on the timeline.
void SlideshowMainObject::setCurrentSlideshowOnTimeline(qint64) {}
