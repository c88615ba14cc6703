#include "ArchiveTestSupport.h"

#include "model/MusicItem.h"
#include "model/SlideItem.h"
#include "model/SlideshowProject.h"
#include "model/SlideshowProjectManager.h"
#include "model/SlideshowProjectManagerItem.h"
#include "model/SlideshowThemeManager.h"
#include "model/VideoSlideItem.h"

namespace model_test {

namespace {

template <class T> void restore(const QString& name) {
    platform::KeyedUnarchiver::registerClass(name, [](platform::KeyedUnarchiver& coder) {
        return platform::ArchivableRef(T::initWithCoder(coder));
    });
}

} // namespace

void restoreFactory(const QString& className) {
    if (className == "SlideshowProject")
        restore<SlideshowProject>(className);
    else if (className == "SlideItem")
        restore<SlideItem>(className);
    else if (className == "VideoSlideItem")
        restore<VideoSlideItem>(className);
    else if (className == "MusicItem")
        restore<MusicItem>(className);
    else if (className == "SlideshowThemeManager")
        restore<SlideshowThemeManager>(className);
    else if (className == "SlideshowProjectManager")
        restore<SlideshowProjectManager>(className);
    else if (className == "SlideshowProjectManagerItem")
        restore<SlideshowProjectManagerItem>(className);
}

QStringList keysPresent(const QByteArray& archive, const QString& className, const QStringList& candidates) {
    QStringList present;
    bool probed = false;
    platform::KeyedUnarchiver::registerClass(className, [&](platform::KeyedUnarchiver& coder) {
        if (!probed) {
            for (const QString& key : candidates)
                if (coder.containsValueForKey(key))
                    present.append(key);
            probed = true;
        }
        return platform::ArchivableRef(std::make_shared<RawRecord>(QStringList{className}));
    });
    QString error;
    platform::KeyedUnarchiver::unarchiveObject(archive, &error);
    restoreFactory(className);
    return present;
}

} // namespace model_test
