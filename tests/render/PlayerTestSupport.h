#pragma once

#include "RenderTestSupport.h"

#include "model/QuartzSlideItem.h"
#include "model/SlideItem.h"
#include "model/SlideshowProject.h"
#include "render/FrameConverterObject.h"
#include "render/SlideshowDirector.h"
#include "support/IsolatedUser.h"

#include <QByteArray>
#include <QImage>
#include <QPointF>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

// A render test with an open project of its own (in a temporary folder, with a user of its own) and a
// player on the test's main context. The stage is black unless a test picks another backdrop.
class PlayerTest : public RenderTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // A photo slide whose picture is written into the project's "Contents" folder. The slide stands still
    // (no pan, zoom 1, no turn) unless the test moves it.
    SlideItemRef photo(const QString& name, const QImage& picture, float photoSeconds = 1.0f,
                       float transitionSeconds = 1.0f);
    // A composition file of our own format, written into the test's folder: black, a red square in the top
    // left quarter and a green bar along the bottom quarter whose width follows "percentDone".
    QString writeComposition(const QString& name = "bars.vcomp");
    // A composition slide of `path`, opened on the test's context, standing still (composition slides get a
    // random pan and zoom like photos; the pictures are checked in place).
    std::shared_ptr<QuartzSlideItem> compositionSlide(const QString& path, float photoSeconds = 4.0f);
    static void standStill(SlideItem& slide);
    // Puts the slides into the project and lays out their frames.
    void useSlides(const std::vector<SlideItemRef>& slides);
    // The backdrop "backgroundID" of a theme.
    void setBackdrop(int backgroundID);
    // Plays frames until `frame` has been drawn (the player must be started) and reads the target.
    QImage frameAt(quint64 frame);
    // An export's play of the project's slides into a converter of its own, as an export's renderer has:
    // exportFrameAt draws its frames in turn and reads them back; the play ends with the test.
    void startExport(int width, int height);
    QImage exportFrameAt(quint64 frame);

    // Made once the GL context stands, so that a test without GL leaves the environment alone.
    std::optional<test_support::IsolatedUser> user;
    const TempDir* folder = nullptr;
    QString contents;
    std::shared_ptr<SlideshowProject> project;
    std::shared_ptr<SlideshowDirector> director;
    std::shared_ptr<FrameConverterObject> exportTarget;
};

namespace playertest {

// The centre of the lit pixels, in pixels.
QPointF litCentre(const QImage& image, int threshold = 40);

} // namespace playertest
