#include "model/MainWindowServices.h"

#include "model/SlideItem.h"

#include <atomic>

namespace {
std::atomic<MainWindowServices*> installed{nullptr};
constexpr float kCellWidth = 170.0f;
constexpr float kPhotoWidth = 100.0f;
constexpr float kTransitionWidth = 70.0f;
} // namespace

MainWindowServices* MainWindowServices::current() {
    return installed.load();
}

void MainWindowServices::setCurrent(MainWindowServices* services) {
    installed = services;
}

float timelineXPositionFromFrame(const std::vector<std::shared_ptr<SlideItem>>& slides, quint64 frame) {
    for (std::size_t i = 0; i < slides.size(); ++i) {
        const SlideItem& slide = *slides[i];
        if (!slide.framesComputed())
            return -1.0f;
        const quint64 start = slide.nItemStartFrameIndex();
        const quint64 photo = slide.nPhotoDuration();
        const quint64 transition = slide.nTransitionDuration();
        const float x = kCellWidth * float(i);
        if (frame < start)
            continue;
        if (frame < start + photo)
            return x + kPhotoWidth * float(frame - start) / float(photo);
        if (frame < start + photo + transition) {
            if (i + 1 == slides.size())
                return x + kPhotoWidth;
            return x + kPhotoWidth + kTransitionWidth * float(frame - start - photo) / float(transition);
        }
    }
    return -1.0f;
}
