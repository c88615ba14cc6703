#pragma once

#include "ui/editing/SlideThemeViewController.h"
#include "ui/editing/SlideshowOptionsViewController.h"
#include "ui/main/MediaBrowserView.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

// The side panel of the document window: it shows one of five views in its container, the picture, movie
// or music browser, the theme list or the slideshow options. A switch takes every view out of the container
// and puts the chosen one in; the options are filled from the project each time they are shown.
class ImageBrowserObject : public QObject {
    Q_OBJECT
public:
    // The views are made in the container (the picture browser shown) once awakeFromNib runs.
    // The theme list and the options show and edit the project the source answers.
    ImageBrowserObject(QWidget* mediaBrowserContainerView, ProjectSource project, QObject* parent = nullptr);
    void awakeFromNib();

    // The switches take the sender the side bar passes; it is ignored.
    Q_INVOKABLE void switchToPhotoMediaView(QObject* sender = nullptr);
    Q_INVOKABLE void switchToVideoMediaView(QObject* sender = nullptr);
    Q_INVOKABLE void switchToMusicMediaView(QObject* sender = nullptr);
    Q_INVOKABLE void switchToThemeView(QObject* sender = nullptr);
    Q_INVOKABLE void switchToOptionsView(QObject* sender = nullptr);
    void switchToDVDMenuView(QObject*) {}
    void removeAllSubViews();
    // Another project opened: the theme list and the options read it again.
    void reloadForOpenProject();

    QWidget* mediaBrowserContainerView() const { return container; }
    MediaBrowserView* photoNodeViewController() const { return photos; }
    MediaBrowserView* videoNodeViewController() const { return videos; }
    MediaBrowserView* musicNodeViewController() const { return music; }
    SlideThemeViewController* themeViewController() const { return themes; }
    SlideshowOptionsViewController* optionsViewController() const { return options; }
    // The view in the container now (null before awakeFromNib).
    QWidget* shownView() const { return shown; }

private:
    void show(QWidget* view);

    QPointer<QWidget> container;
    ProjectSource projectSource;
    QPointer<MediaBrowserView> photos, videos, music;
    QPointer<SlideThemeViewController> themes;
    QPointer<SlideshowOptionsViewController> options;
    QPointer<QWidget> shown;
};
