#pragma once

#include "model/SlideItem.h"
#include "platform/foundation/MainThread.h"

#include <QFile>
#include <QImage>
#include <QString>
#include <gtest/gtest.h>

#include <cstdio>
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

// The import of such a slide ends as the resize worker ends it: the picture is written beside its name,
// renamed over it, and the slide says its picture is made. False, with a failure, where it cannot be written.
inline bool finishImport(SlideItem& slide, const QImage& picture) {
    const QString written = slide.fileName() + ".writing.png";
    if (!picture.save(written, "PNG") || std::rename(QFile::encodeName(written).constData(),
                                                     QFile::encodeName(slide.fileName()).constData()) != 0) {
        ADD_FAILURE() << "the picture of " << slide.fileName().toStdString() << " cannot be written";
        return false;
    }
    slide.setPictureBeingMade(false);
    return true;
}

} // namespace test_support
