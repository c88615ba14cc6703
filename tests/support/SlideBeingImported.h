#pragma once

#include "model/SlideItem.h"
#include "platform/foundation/MainThread.h"

#include <QFile>
#include <QString>
#include <gtest/gtest.h>

#include <memory>

namespace test_support {

// A slide still being imported: the name of its picture at `path` claimed by the import (an empty file), the
// picture never written. Null, with a failure, where the name cannot be claimed.
inline std::shared_ptr<SlideItem> slideBeingImported(const QString& path, float photoSeconds,
                                                     float transitionSeconds) {
    auto slide = platform::makeMainThreadShared<SlideItem>();
    slide->setFileName(path);
    if (!QFile(slide->fileName()).open(QIODevice::WriteOnly)) {
        ADD_FAILURE() << "the name " << path.toStdString() << " cannot be claimed";
        return nullptr;
    }
    slide->customSetDurations(photoSeconds, transitionSeconds);
    slide->setPictureBeingMade(true);
    return slide;
}

} // namespace test_support
