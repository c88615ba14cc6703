#include "render/StillPictures.h"

#include "platform/gl/GlApi.h"
#include "render/GLMatrix.h"
#include "render/QuadDrawing.h"
#include "render/SharedShaderPrograms.h"
#include "render/TextureObject.h"

#include <cmath>

namespace still_pictures {

namespace {

// The fit of a picture whose corners are first brought to (cos t, sin t), t = atan(height / width): scaled
// by sx and sy it fills the view's width when it is relatively wider than the view, else its height.
struct Fit {
    double theta = 0.0;
    double sx = 1.0, sy = 1.0;
    bool byHeight = false;
};

Fit fitFor(const QSizeF& picture, double aspect) {
    Fit fit;
    if (picture.width() <= 0 || picture.height() <= 0 || aspect <= 0)
        return fit;
    fit.theta = std::atan(picture.height() / picture.width());
    if (std::atan(1.0 / aspect) > fit.theta) {
        fit.sx = 1.0 / std::cos(fit.theta);
        fit.sy = aspect * fit.sx;
    } else {
        fit.byHeight = true;
        fit.sy = 1.0 / std::sin(fit.theta);
        fit.sx = fit.sy / aspect;
    }
    return fit;
}

StillPlacement placed(const Fit& fit, double offsetBeforeScale) {
    return {offsetBeforeScale * fit.sx, std::cos(fit.theta) * fit.sx, std::sin(fit.theta) * fit.sy};
}

} // namespace

StillPlacement fitted(const QSizeF& picture, double aspect, double shift) {
    StillPlacement placement = placed(fitFor(picture, aspect), 0.0);
    placement.centreX = shift;
    return placement;
}

StillPlacement slidingIn(const QSizeF& picture, double aspect, bool direction, double step) {
    const double offset = direction ? 2.0 - 2.0 * step : -2.0 + 2.0 * step;
    return placed(fitFor(picture, aspect), offset);
}

StillPlacement slidingOut(const QSizeF& picture, double aspect, bool direction, double step) {
    const Fit fit = fitFor(picture, aspect);
    double offset = direction ? -2.0 * step : 2.0 * step;
    if (fit.byHeight)
        offset *= 1.0 / std::sin(fit.theta);
    return placed(fit, offset);
}

void clear() {
    glEnable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void draw(const SharedShaderPrograms& programs, const TextureObject& texture,
          const StillPlacement& placement) {
    if (texture.textureID() == 0)
        return;
    const ShaderProgramObject& program = programs.Shader_one_texture;
    program.useMe();
    Matrix4 modelView;
    matrixLoadIdentity(modelView);
    matrixTranslate(modelView, float(placement.centreX), 0.0f, -1.0f);
    matrixScale(modelView, float(placement.halfWidth), float(placement.halfHeight), 1.0f);
    quad::setMvp(program, quad::modelViewProjection(modelView, quad::slideProjection()));
    quad::bindTexture(0, texture.textureID());
    glUniform1i(program.uniformValue(QStringLiteral("texture")), 0);
    quad::drawFan(program, quad::kUnitPositions, quad::kUprightTexCoords);
}

} // namespace still_pictures
