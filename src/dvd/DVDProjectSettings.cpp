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

QString DVDProjectSettings::resolvedTemporaryFolder() const {
    return temporaryFolder.isEmpty() ? platform::paths::temporaryFolder() : temporaryFolder;
}
