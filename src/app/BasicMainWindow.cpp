#include "app/BasicMainWindow.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/MainThread.h"

void BasicMainWindow::updateProjectInfo() {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return;
    title = QStringLiteral("%1 - %2 [%3 photos]")
                .arg(QString::fromLatin1(kProductName), project->strProjectTitle())
                .arg(qulonglong(project->slideCount()));
    platform::runOnMainThread([target = window, text = title] {
        if (target)
            target->setWindowTitle(text);
    });
}

void BasicMainWindow::refreshUIForOpenProject() {
    updateProjectInfo();
    setNCurrentSlideshowItemIndex(-1);
}

void BasicMainWindow::stop() {
    if (const auto project = SlideshowProject::currentMainProject()) {
        project->setEncodingSlideshow(false);
        project->resetPlayerToBegin();
    }
}

void BasicMainWindow::setNCurrentSlideshowItemIndex(int index) {
    currentIndex = index < 0 ? -1 : index;
    if (const auto project = SlideshowProject::currentMainProject(); project && index >= 0)
        project->setNCurrentSlideItem(quint64(index));
}

float BasicMainWindow::getTimelineXPositionFromFrame(quint64 frame) {
    const auto project = SlideshowProject::currentMainProject();
    return project ? timelineXPositionFromFrame(project->slideshowArray(), frame) : -1.0f;
}
