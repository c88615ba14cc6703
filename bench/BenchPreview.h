#pragma once

#include "render/PreviewController.h"
#include "render/SlideshowDirector.h"

#include <atomic>
#include <memory>

// The preview's controller as a benchmark drives the preview's view without the window: the play state is
// set by the benchmark, and the view hands its player here.
class BenchPreview : public PreviewController {
public:
    bool m_bPlaying() const override { return playing; }
    void setDirector(std::shared_ptr<SlideshowDirector> player) override { director = std::move(player); }

    std::atomic<bool> playing{false};
    std::shared_ptr<SlideshowDirector> director;
};
