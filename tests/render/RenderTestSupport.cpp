#include "RenderTestSupport.h"

#include "platform/gl/Display.h"
#include "platform/gl/DriverLock.h"
#include "platform/gl/GlError.h"
#include "render/RenderGlobals.h"

#include <QPainter>

using namespace platform::gl;

void RenderTest::SetUp() {
    try {
        Display::instance();
        context = Context::create();
    } catch (const GlError& error) {
        FAIL() << "No OpenGL on this machine: " << error.what();
    }
    scope.emplace(*context);
    shaders = SharedShaderPrograms::load();
    ASSERT_TRUE(shaders && shaders->complete) << "the shared programs did not build";
}

void RenderTest::TearDown() {
    target.reset();
    shaders.reset();
    scope.reset();
    context.reset();
}

FrameBuffer& RenderTest::makeTarget(int width, int height) {
    const DriverLock driver;
    target = std::make_unique<FrameBuffer>(width, height);
    target->bind();
    gRenderAspectRatio = float(width) / float(height);
    return *target;
}

QImage RenderTest::readTarget() const {
    const DriverLock driver;
    return target->readPixelsBGRA();
}

namespace rendertest {

bool near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

::testing::AssertionResult colourNear(QRgb actual, QRgb expected, int tolerance) {
    if (near(actual, expected, tolerance))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "colour " << QColor(actual).name().toStdString()
                                         << " is not near " << QColor(expected).name().toStdString();
}

QImage quarters(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    QPainter painter(&image);
    const int w = width / 2, h = height / 2;
    painter.fillRect(0, 0, w, h, Qt::red);
    painter.fillRect(w, 0, width - w, h, Qt::green);
    painter.fillRect(0, h, w, height - h, Qt::blue);
    painter.fillRect(w, h, width - w, height - h, Qt::white);
    return image;
}

QImage solid(int width, int height, QColor colour) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

QRect litBounds(const QImage& image, int threshold) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qRed(p) > threshold || qGreen(p) > threshold || qBlue(p) > threshold)
                bounds |= QRect(x, y, 1, 1);
        }
    return bounds;
}

} // namespace rendertest
