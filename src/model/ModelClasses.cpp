#include "model/ModelClasses.h"

#include "model/MusicItem.h"
#include "model/QuartzSlideItem.h"
#include "model/SlideItem.h"
#include "model/SlideshowProject.h"
#include "model/SlideshowProjectManager.h"
#include "model/SlideshowProjectManagerItem.h"
#include "model/SlideshowThemeManager.h"
#include "model/VideoSlideItem.h"

#include <mutex>

namespace {

template <class T> void registerClass(const char* name) {
    platform::KeyedUnarchiver::registerClass(QString::fromLatin1(name), [](platform::KeyedUnarchiver& coder) {
        return platform::ArchivableRef(T::initWithCoder(coder));
    });
}

} // namespace

void registerModelClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        registerClass<SlideshowProject>("SlideshowProject");
        registerClass<SlideshowThemeManager>("SlideshowThemeManager");
        registerClass<SlideItem>("SlideItem");
        registerClass<VideoSlideItem>("VideoSlideItem");
        registerClass<QuartzSlideItem>("QuartzSlideItem");
        registerClass<MusicItem>("MusicItem");
        registerClass<SlideshowProjectManager>("SlideshowProjectManager");
        registerClass<SlideshowProjectManagerItem>("SlideshowProjectManagerItem");
    });
}

QStringList slideClassNames() {
    return {QStringLiteral("SlideItem"), QStringLiteral("VideoSlideItem"), QStringLiteral("QuartzSlideItem")};
}
