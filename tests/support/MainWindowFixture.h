#pragma once

// Ground of the main window controller's tests: a user of its own with an open project in a private
// folder, the recording dialogs, a manual scheduler, and the controller, with or without the document
// window's widgets, the real player, or the real preview on a headless GL context.

#include "model/ModelTestEnvironment.h"
#include "model/VideoSlideItem.h"
#include "platform/foundation/Scheduler.h"
#include "render/DisplayLink.h"
#include "support/ClipMaker.h"
#include "support/PlayWaits.h"
#include "support/RealPlayer.h"
#include "support/RecordingDialogs.h"
#include "ui/main/MainWindowView.h"
#include "ui/main/SlideshowMainObject.h"
#include "ui/upload/VideoSiteUploaderObject.h"

#include <QColor>
#include <QFileInfo>
#include <QImageIOHandler>
#include <QSize>

#include <memory>
#include <vector>

// A controller that records the songs and clips it is handed instead of copying them into the project.
class HookRecordingMainObject : public SlideshowMainObject {
public:
    using SlideshowMainObject::SlideshowMainObject;
    void addMusicToProject(const QStringList& paths) override {
        if (recordSongs) {
            for (const QString& path : paths)
                calls << "song " + QFileInfo(path).fileName();
            return;
        }
        SlideshowMainObject::addMusicToProject(paths);
    }
    void addVideoToProject(const QStringList& paths, int index) override {
        for (const QString& path : paths)
            calls << QStringLiteral("clip %1 at %2").arg(QFileInfo(path).fileName()).arg(index);
    }
    QStringList calls;
    bool recordSongs = true; // false: the songs are really added
};

class MainWindowTest : public model_test::ModelTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The controller, installed as the model's main window; with the document window's widgets when
    // `withWindow` (the window is not shown). awakeFromNib has run.
    void makeController(bool withWindow = false);
    // The real player as the controller's director (no view); empty when it stands, else why it cannot.
    QString useRealPlayer();
    // The document window with the real preview on a display link that ticks only by hand; false
    // (the test is skipped) when there is no GL.
    bool makeWindowWithPreview();
    // One engine frame of time for the display link and the player's clock; while the preview plays, waits
    // until the widget shows the frame drawn.
    bool tickPreview();

    // A JPEG photo of one colour in the test's folder, with an orientation tag when asked.
    QString writePhoto(const QString& name, QSize size, QColor colour,
                       QImageIOHandler::Transformations turn = QImageIOHandler::TransformationNone) const;
    // A PNG photo whose left half is `shown` and whose right half is fully transparent, hiding `hidden`.
    QString writeHalfTransparentPhoto(const QString& name, QSize size, QColor shown, QColor hidden) const;
    // A file with a photo's name that no reader can decode.
    QString writeBrokenPhoto(const QString& name) const;
    // Slides whose pictures and timeline thumbnails are ready in the project's "Contents", of the given
    // colours, each 1 s with a 0.5 s transition, still; the strip is laid out for them.
    std::vector<SlideItemRef> useColourSlides(const std::vector<QColor>& colours);
    // A clip slide over a clip of `options` encoded as `name` in the project's "Contents", its thumbnail
    // read; not yet in the project.
    std::shared_ptr<VideoSlideItem> makeClipSlide(const QString& name,
                                                  ClipMaker::Options options = shortClip());
    static ClipMaker::Options shortClip() {
        ClipMaker::Options options;
        options.frames = 15;
        return options;
    }
    // Plays a show of slides of `colours` after a first one still being imported (its picture's name claimed,
    // never written) until the display link's frame waits for that picture, as `waits` tells.
    void playUntilAFrameWaitsForAPicture(const std::vector<QColor>& colours, PlayWaits& waits);
    // Runs the main loop until every import request and the resize worker are done.
    bool waitForImports();
    // The slides whose cells the strip draws marked as current, read from its pixels.
    std::vector<std::size_t> markedCells() const;
    // A point of the timeline (y up) in the window.
    QPoint timelinePointInWindow(QPointF timelinePoint) const;
    // A click on the picture of the slide's cell in the strip.
    void clickCell(const SlideItem& slide);
    // The video service's uploader over the window, observing, as the application makes it after the
    // controller: the controller says whether the show can be shared before it signs in.
    std::unique_ptr<VideoSiteUploaderObject> makeWindowUploader();
    // The test's project, as a panel is handed it.
    ProjectSource projectSource() {
        return [this] { return project; };
    }

    SlideshowProjectRef project;
    RecordingDialogs dialogs;
    std::shared_ptr<platform::ManualScheduler> scheduler = std::make_shared<platform::ManualScheduler>();
    std::unique_ptr<MainWindowView> window;
    std::unique_ptr<HookRecordingMainObject> controller;
    RealPlayer player;
    std::shared_ptr<ManualDisplayLinkTimeSource> displayTime;
    std::shared_ptr<platform::ManualClock> playerClock = std::make_shared<platform::ManualClock>();
};

// The document window with the real preview, past the delayed refresh of start-up; skipped without GL.
class PreviewWindowTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        if (!makeWindowWithPreview())
            GTEST_SKIP() << "no OpenGL here";
        scheduler->advance(2.5);
    }
};
