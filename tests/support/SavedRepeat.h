#pragma once

#include "model/SlideshowProject.h"

#include <gtest/gtest.h>

#include <optional>

namespace test_support {

// The repeat that a save of the project now writes, as the autosave saves an edit not yet saved: the
// project's file read back. Nothing, with a failure, when the save or the reading fails.
inline std::optional<bool> repeatSavedNow(SlideshowProject& project) {
    project.setBIsDirty(true);
    QString error;
    if (!project.saveProjectToFile(&error)) {
        ADD_FAILURE() << "the save failed: " << error.toStdString();
        return std::nullopt;
    }
    const auto saved = SlideshowProject::loadBundleProject(project.strMacProjectBundleFullPath(), &error);
    if (!saved) {
        ADD_FAILURE() << "the saved project cannot be read: " << error.toStdString();
        return std::nullopt;
    }
    return saved->bPlayLoop();
}

} // namespace test_support
