#include "support/RealPlayer.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/MainThread.h"
#include "platform/gl/Context.h"
#include "platform/gl/Display.h"
#include "platform/gl/GlError.h"
#include "render/SharedShaderPrograms.h"
#include "render/SlideshowDirector.h"
#include "render/StageBackground.h"

#include <QImage>

#include <gtest/gtest.h>

QString RealPlayer::start(std::uint64_t seed) {
    try {
        platform::gl::Display::instance();
        context = platform::gl::Context::create();
    } catch (const platform::gl::GlError& error) {
        return QStringLiteral("No OpenGL on this machine: ") + QString::fromUtf8(error.what());
    }
    {
        const platform::gl::Context::Scope scope(*context);
        shaders = SharedShaderPrograms::load();
        if (!shaders || !shaders->complete)
            return QStringLiteral("The shared shader programs do not build");
    }
    platform::RandomSource::setShared(std::make_shared<platform::SeededRandom>(seed));
    director = std::make_shared<SlideshowDirector>();
    director->setMainContext(context);
    director->initDirector();
    director->backgroundRender()->setTheme({{"backgroundID", 2}}); // a black stage
    return QString();
}

void RealPlayer::stop() {
    if (director)
        director->stop();
    director.reset();
    shaders.reset();
    context.reset();
}

SlideItemRef stillPhoto(const QString& folder, const QString& name, QColor colour) {
    QImage picture(640, 360, QImage::Format_RGB32);
    picture.fill(colour);
    EXPECT_TRUE(picture.save(folder + "/" + name));
    auto slide = platform::makeMainThreadShared<SlideItem>();
    slide->setFileName(name);
    slide->customSetDurations(1.0f, 0.5f);
    slide->setPanStartPoint(QPointF(0, 0));
    slide->setPanEndPoint(QPointF(0, 0));
    slide->setZoomStart(1.0);
    slide->setZoomEnd(1.0);
    return slide;
}

std::vector<SlideItemRef> stillPhotos(const QString& folder, int count) {
    std::vector<SlideItemRef> slides;
    for (int i = 0; i < count; ++i)
        slides.push_back(stillPhoto(folder, QStringLiteral("still%1.png").arg(i), QColor(100, 100, 100)));
    return slides;
}
