#pragma once

#include "model/MainWindowServices.h"

#include <QPointer>
#include <QString>
#include <QWidget>

// The least main window controller: the window title for the open project, the selection and the
// frame-to-position mapping of the cells timeline. The full controller (timeline, preview, imports,
// exports) replaces it.
class BasicMainWindow : public MainWindowServices {
public:
    static constexpr const char* kProductName = "Vistrelle";

    explicit BasicMainWindow(QWidget* window = nullptr) : window(window) {}

    void updateProjectInfo() override;
    void refreshUIForOpenProject() override;
    void stop() override;
    void setNCurrentSlideshowItemIndex(int index) override;
    void ensureCurrentSlideThumbnailVisible() override {}
    float getTimelineXPositionFromFrame(quint64 frame) override;
    void reshapeOpenGLView() override {}
    bool isExportRunning() const override { return false; }

    QString windowTitle() const { return title; }
    int nCurrentSlideshowItemIndex() const { return currentIndex; }

private:
    QPointer<QWidget> window;
    QString title;
    int currentIndex = -1;
};
