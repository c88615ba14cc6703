#include "ui/editing/EditingPanelSupport.h"

#include "model/SlideshowProject.h"

namespace editing_panel {

void setCurrentStatus(int status) {
    if (const auto project = SlideshowProject::currentMainProject())
        project->setNCurrentStatus(status);
}

void makeToolWindow(QWidget& window, const QString& name, const QString& title) {
    window.setWindowFlags(Qt::Tool);
    window.setObjectName(name);
    window.setWindowTitle(title);
}

void present(QWidget& window) {
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace editing_panel
