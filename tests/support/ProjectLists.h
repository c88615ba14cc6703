#pragma once

// What a project holds, as short lists a test compares in one line.

#include "model/MusicItem.h"
#include "model/SlideItem.h"
#include "model/VideoSlideItem.h"

#include <QFileInfo>
#include <QStringList>

#include <memory>
#include <vector>

namespace test_support {

inline QStringList songTitles(const std::vector<MusicItemRef>& songs) {
    QStringList titles;
    for (const MusicItemRef& song : songs)
        titles << song->strTitle();
    return titles;
}

// The clip file each slide plays, by its file name, or "-" for a photo.
inline QStringList clipFileNames(const std::vector<SlideItemRef>& slides) {
    QStringList names;
    for (const SlideItemRef& slide : slides) {
        const auto clip = std::dynamic_pointer_cast<VideoSlideItem>(slide);
        names << (clip ? QFileInfo(clip->strVideoFilePath()).fileName() : QStringLiteral("-"));
    }
    return names;
}

} // namespace test_support
