#pragma once

#include <QtGlobal>

#include <memory>
#include <vector>

class SlideItem;

// The services of the main window controller that the project model and the application delegate
// use. The main window controller implements them; until one is installed, the model falls back on
// its own arithmetic where it needs an answer.
class MainWindowServices {
public:
    virtual ~MainWindowServices() = default;

    // The window title and the position slider's range for the open project.
    virtual void updateProjectInfo() = 0;
    // Rebuilds the timeline, the player and the preview for a project that has just been opened.
    virtual void refreshUIForOpenProject() = 0;
    // Stops preview playback.
    virtual void stop() = 0;
    // Selects a slide in the timeline (-1: none).
    virtual void setNCurrentSlideshowItemIndex(int index) = 0;
    virtual void ensureCurrentSlideThumbnailVisible() = 0;
    // The x position in the cells timeline of a frame; -1 when it lies outside every slide.
    virtual float getTimelineXPositionFromFrame(quint64 frame) = 0;
    // Asks the preview view to lay itself out again for a new project.
    virtual void reshapeOpenGLView() = 0;
    // True while an export renders the open project; opening or making a project waits meanwhile.
    virtual bool isExportRunning() const = 0;

    // The controller the running application installed (not owned); null when there is none.
    static MainWindowServices* current();
    static void setCurrent(MainWindowServices* services);
};

// The cells timeline's mapping from frames to x positions, from the slides' frame layout: slide i
// starts at 170 i; its photo frames map onto the first 100 points and its transition onto the next
// 70 (the last slide's transition onto the 100-point mark); -1 outside every slide.
float timelineXPositionFromFrame(const std::vector<std::shared_ptr<SlideItem>>& slides, quint64 frame);
