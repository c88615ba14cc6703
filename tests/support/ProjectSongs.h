#pragma once

// A song of a project by its file name in the project's "Contents" folder.

#include "model/MusicItem.h"
#include "platform/foundation/MainThread.h"

namespace test_support {

inline MusicItemRef songNamed(const QString& name, const QString& title = QString()) {
    auto song = platform::makeMainThreadShared<MusicItem>();
    song->addEntriesFromDictionary(
        {{"pureFileName", name}, {"titleFromFileName", title.isEmpty() ? name : title}});
    return song;
}

} // namespace test_support
