#pragma once

// A clip slide of a clip file, copied into the open project as an import does.

#include "model/SlideshowProject.h"
#include "model/VideoSlideItem.h"
#include "platform/foundation/MainThread.h"

#include <QFile>

#include <gtest/gtest.h>

namespace test_support {

inline std::shared_ptr<VideoSlideItem> clipSlideOf(SlideshowProject& project, const QString& source) {
    const QString copy = project.createVideoFilePathInProjectFromSource(source);
    EXPECT_TRUE(QFile::copy(source, copy));
    auto clip = platform::makeMainThreadShared<VideoSlideItem>();
    clip->setFSecTransitionDuration(0.5f);
    clip->PrepareVideoItem(copy);
    EXPECT_TRUE(clip->hasAsset());
    return clip;
}

} // namespace test_support
