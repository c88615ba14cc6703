#pragma once

#include "ui/editing/ProjectSource.h"
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class SlideshowMainObject;
class SlideshowProject;
struct MainWindowOutlets;

// The timeline's audio and text layers: sounds added to the project as audio-layer items, the layers' item
// views placed along the timeline, and the developers' test commands of both layers. It works on the
// project its source hands it; the hub gives the timeline's positions, the current slide and the GL context.
class LayerViews {
public:
    LayerViews(SlideshowMainObject& hub, const MainWindowOutlets& outlets, ProjectSource project);

    // Sounds copied into the project as audio-layer items, 30 s apart from 3.5 s on; unreadable ones are
    // left out.
    void addMusicToAudioLayer(const QStringList& paths);
    // Places the item views there are, one per item in order (nothing makes them yet: the strip draws the
    // items itself).
    void layoutAudioLayerSubviews();
    void layoutTextLayerSubviews();
    void TestAudioLayer();
    void TestTextLayer();

private:
    SlideshowMainObject& hub;
    const MainWindowOutlets& ui;
    ProjectSource currentProject;
    std::vector<QPointer<QWidget>> audioLayerSubviewArray, textLayerSubviewArray;
};
