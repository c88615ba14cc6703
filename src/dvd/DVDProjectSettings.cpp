#include "dvd/DVDProjectSettings.h"

#include "model/SlideItem.h"
#include "model/SlideshowProject.h"
#include "model/SlideshowProjectManager.h"
#include "platform/foundation/StandardPaths.h"

DVDProjectSettings DVDProjectSettings::fromProject(const SlideshowProject& project,
                                                   const SlideshowProjectManager& manager) {
    DVDProjectSettings settings;
    settings.bTVSystemPAL = project.bTVSystemPAL();
    settings.bDVDVideoAspect16_9 = project.bDVDVideoAspect16_9();
    settings.bUseDVDMenu = manager.bUseDVDMenu();
    settings.dvdTitle = manager.dvdTitle();
    settings.dvdSubtitle = manager.dvdSubtitle();
    settings.contentsFolder = project.strMacProjectBundleContentsPath();
    for (const auto& slide : project.slideshowArray())
        settings.slidePicturePaths << (slide ? slide->fileNameIn(settings.contentsFolder) : QString());
    settings.slideshowTotalDuration = project.slideshowTotalDuration();
    return settings;
}

QRect DVDProjectSettings::frameAreaInDVDPicture(bool pal, bool wide16_9) {
    const int height = pal ? 576 : 480;
    if (wide16_9)
        return QRect(0, 0, 720, height);
    const int band = height * 3 / 4; // 360 or 432 lines, an even margin of 60 or 72 above and below
    return QRect(0, (height - band) / 2, 720, band);
}

QString DVDProjectSettings::resolvedTemporaryFolder() const {
    return temporaryFolder.isEmpty() ? platform::paths::temporaryFolder() : temporaryFolder;
}

QString DVDProjectSettings::resolvedLargeTemporaryFolder() const {
    if (!largeTemporaryFolder.isEmpty())
        return largeTemporaryFolder;
    return temporaryFolder.isEmpty() ? platform::paths::largeTemporaryFolder() : temporaryFolder;
}
