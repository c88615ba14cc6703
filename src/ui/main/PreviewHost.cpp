#include "ui/main/PreviewHost.h"

#include "render/NSGLView.h"
#include "render/SlideshowDirector.h"
#include "ui/main/PreviewWidget.h"

#include <QLayout>
#include <QWidget>

PreviewHost::~PreviewHost() {
    shutDown();
}

bool PreviewHost::host(PreviewController& controller, QWidget& host,
                       std::shared_ptr<DisplayLinkTimeSource> time) {
    ownedView = std::make_unique<NSGLView>(&controller, nullptr, std::move(time));
    try {
        ownedView->prepareOpenGL(float(host.devicePixelRatioF()));
    } catch (const std::exception& error) {
        qWarning("Vistrelle: the preview has no OpenGL: %s", error.what());
        director.reset();
        glView = nullptr;
        displayLink = nullptr;
        ownedView.reset();
        return false;
    }
    preview = new PreviewWidget(ownedView.get(), &host); // the host owns it
    preview->setObjectName("previewWidget");
    if (QLayout* layout = host.layout())
        layout->addWidget(preview);
    if (host.isVisible())
        preview->show();
    return true;
}

void PreviewHost::shutDown() {
    director.reset();
    ownedView.reset();
}
