#include "render/ExportPictureLook.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/CancellableWait.h"
#include "platform/foundation/ThreadJoin.h"

#include <chrono>

ExportPictureLook::ExportPictureLook(std::vector<SlideItemRef> slides) : slides(std::move(slides)) {}

ExportPictureLook::~ExportPictureLook() {
    stopping = true;
    platform::joinUnlessSelf(thread, "the export's look at its pictures");
}

void ExportPictureLook::start() {
    if (!thread.joinable())
        thread = std::thread([this] { look(); });
}

void ExportPictureLook::look() {
    QString refusal;
    if (const SlideshowProjectRef project = SlideshowProject::currentMainProject())
        refusal = project->undecodablePicturesMessage(slides, [this] { return stopping.load(); });
    {
        const std::lock_guard lock(mutex);
        found = stopping ? QString() : refusal;
    }
    ended.notify_all();
}

QString ExportPictureLook::refusal() const {
    const std::lock_guard lock(mutex);
    return found.value_or(QString());
}

QString ExportPictureLook::waitForRefusal(const std::function<bool()>& cancelled) {
    start();
    platform::gl::DriverLock::checkFreeToWait("the export's look at its pictures");
    std::unique_lock lock(mutex);
    if (!platform::waitUnlessCancelled(lock, ended, std::chrono::milliseconds(50), cancelled,
                                       [this] { return found.has_value(); }))
        return QString();
    return *found;
}
