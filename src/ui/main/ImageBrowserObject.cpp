#include "ui/main/ImageBrowserObject.h"

#include "ui/editing/SlideThemeViewController.h"
#include "ui/editing/SlideshowOptionsViewController.h"
#include "ui/main/MediaBrowserView.h"

#include <QLayout>
#include <QVBoxLayout>

ImageBrowserObject::ImageBrowserObject(QWidget* mediaBrowserContainerView, ProjectSource project,
                                       QObject* parent)
    : QObject(parent), container(mediaBrowserContainerView), projectSource(std::move(project)) {
    if (container && !container->layout()) {
        auto* layout = new QVBoxLayout(container);
        layout->setContentsMargins(0, 0, 0, 0);
    }
}

void ImageBrowserObject::awakeFromNib() {
    if (!container || photos)
        return;
    using Kind = MediaItemModel::Kind;
    photos = new MediaBrowserView(Kind::Images, container);
    photos->setObjectName("photoNodeViewController");
    videos = new MediaBrowserView(Kind::Movies, container);
    videos->setObjectName("videoNodeViewController");
    music = new MediaBrowserView(Kind::Audio, container);
    music->setObjectName("musicNodeViewController");
    themes = new SlideThemeViewController(projectSource, container);
    themes->setObjectName("themeViewController");
    options = new SlideshowOptionsViewController(projectSource, container);
    options->setObjectName("optionsViewController");
    for (QWidget* view : {static_cast<QWidget*>(videos), static_cast<QWidget*>(music),
                          static_cast<QWidget*>(themes), static_cast<QWidget*>(options)})
        view->hide();
    show(photos);
}

void ImageBrowserObject::removeAllSubViews() {
    for (QWidget* view :
         {static_cast<QWidget*>(photos), static_cast<QWidget*>(videos), static_cast<QWidget*>(music),
          static_cast<QWidget*>(themes), static_cast<QWidget*>(options)}) {
        if (!view)
            continue;
        container->layout()->removeWidget(view);
        view->hide();
    }
    shown = nullptr;
}

void ImageBrowserObject::show(QWidget* view) {
    removeAllSubViews();
    if (!view || !container)
        return;
    container->layout()->addWidget(view);
    view->show();
    shown = view;
}

void ImageBrowserObject::switchToPhotoMediaView(QObject*) {
    show(photos);
}

void ImageBrowserObject::switchToVideoMediaView(QObject*) {
    show(videos);
}

void ImageBrowserObject::switchToMusicMediaView(QObject*) {
    show(music);
}

void ImageBrowserObject::switchToThemeView(QObject*) {
    show(themes);
}

void ImageBrowserObject::reloadForOpenProject() {
    if (themes)
        themes->reloadForOpenProject();
    if (options && shown == options)
        switchToOptionsView();
}

void ImageBrowserObject::switchToOptionsView(QObject*) {
    show(options);
    if (!options)
        return;
    options->initOptions();
    options->setupOptionsPanel();
}
