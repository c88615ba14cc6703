#pragma once

#include "model/SlideItem.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// An export's own look at every picture its play draws (photos, backdrops, captions, the theme's), each
// decoded whole on every core. The play judges every picture it loads by the same test; the look names
// them sooner and all together: it starts once the play has drawn its first frame, so that the first frame
// comes no later for it, and runs beside the play, which asks after every frame whether it found one.
class ExportPictureLook {
public:
    explicit ExportPictureLook(std::vector<SlideItemRef> slides);
    // Stops the look (it leaves within one picture) and waits for it.
    ~ExportPictureLook();
    ExportPictureLook(const ExportPictureLook&) = delete;
    ExportPictureLook& operator=(const ExportPictureLook&) = delete;

    // Starts the look; later calls do nothing.
    void start();
    // The refusal, once the look found a picture that does not decode whole; empty meanwhile and when every
    // picture decodes.
    QString refusal() const;
    // Starts the look unless it runs and waits for its end: its refusal, empty when every picture decodes.
    // Empty too when `cancelled` (asked every few milliseconds) answers true first.
    QString waitForRefusal(const std::function<bool()>& cancelled);

private:
    void look();

    const std::vector<SlideItemRef> slides;
    std::atomic<bool> stopping{false};
    mutable std::mutex mutex; // a leaf: nothing else is taken under it
    std::condition_variable ended;
    std::optional<QString> found; // under mutex, once the look has ended
    std::thread thread;           // of the pump's thread alone
};
