#pragma once

#include "model/SlideshowProject.h"
#include "render/PreviewController.h"
#include "render/SlideshowDirector.h"

#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>

// The preview's controller as a benchmark drives the preview's view without the window: the play state is
// set by the benchmark, and the view hands its player here.
class BenchPreview : public PreviewController {
public:
    bool m_bPlaying() const override { return playing; }
    void setDirector(std::shared_ptr<SlideshowDirector> player) override { director = std::move(player); }

    // Plays `project` from its start, the display link drawing while the main thread runs its events, until
    // `done` (asked every few milliseconds) says so; then stops as the window's Stop does.
    void playUntil(SlideshowProject& project, const std::function<bool()>& done) {
        project.resetPlayerToBegin();
        director->setSlideshowArray(project.slideshowArray());
        playing = true;
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (done())
                loop.quit();
        });
        poll.start(5);
        loop.exec();
        playing = false;
        director->stop();
    }

    std::atomic<bool> playing{false};
    std::shared_ptr<SlideshowDirector> director;
};
