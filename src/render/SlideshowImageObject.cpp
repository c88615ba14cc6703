#include "render/SlideshowImageObject.h"

#include "model/SlideItem.h"
#include "model/SlideshowProject.h"
#include "render/QuadDrawing.h"
#include "render/RenderGlobals.h"
#include "render/SharedShaderPrograms.h"
#include "render/StageBackground.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

void enableBlending() {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void clearForSlide() {
    glEnable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
}

} // namespace

SlideshowImageObject::SlideshowImageObject() {
    initSlideshowParam();
}

void SlideshowImageObject::setSlideItemData(std::shared_ptr<SlideItem> slide,
                                            std::shared_ptr<SlideTextures> set) {
    if (slide && !set)
        set = SlideTextures::forSlide(slide);
    if (!slide)
        set.reset();
    // What it replaces is destroyed with the lock let go: the textures' deletion enters the driver.
    const std::lock_guard lock(itemMutex);
    std::swap(item, slide);
    std::swap(textures, set);
}

std::shared_ptr<SlideItem> SlideshowImageObject::slideItemData() const {
    const std::lock_guard lock(itemMutex);
    return item;
}

std::shared_ptr<SlideTextures> SlideshowImageObject::slideTextures() const {
    const std::lock_guard lock(itemMutex);
    return textures;
}

void SlideshowImageObject::setBackgrondRender(std::shared_ptr<StageBackground> layer) {
    const std::lock_guard lock(itemMutex);
    background = std::move(layer);
}

std::shared_ptr<StageBackground> SlideshowImageObject::backgrondRender() const {
    const std::lock_guard lock(itemMutex);
    return background;
}

void SlideshowImageObject::initSlideshowParam() {
    const auto project = SlideshowProject::currentMainProject();
    const auto slide = slideItemData();
    totalFrames = 0;
    if (project) {
        totalFrames =
            quint64(project->nPhotoDurationFrameCount() + project->nTransitionDurationFrameCount() / 2);
        const auto slides = project->slideshowArray();
        for (std::size_t i = 0; slide && i < slides.size(); ++i) {
            if (slides[i] != slide)
                continue;
            const bool last = i + 1 == slides.size();
            // The motion runs from the start of what brings the slide on to the end of what takes it off; the
            // last slide leaves through the fade-out, also when it is the only one.
            const quint64 leadIn =
                i == 0 ? project->nFrameSlideshowFadeIn() : slides[i - 1]->nTransitionDuration();
            const quint64 leadOut = last ? project->nFrameSlideshowFadeOut() : slide->nTransitionDuration();
            totalFrames = leadIn + slide->nPhotoDuration() + leadOut;
            break;
        }
    }
    if (const auto layer = backgrondRender())
        layer->initParam();
}

double SlideshowImageObject::motionFraction(double frame) const {
    return totalFrames == 0 ? 0.0 : frame / double(float(totalFrames));
}

QPointF SlideshowImageObject::panAt(double frame) const {
    const auto slide = slideItemData();
    if (!slide)
        return {};
    const QPointF start = slide->panStartPoint(), end = slide->panEndPoint();
    return start + (end - start) * motionFraction(frame);
}

double SlideshowImageObject::zoomAt(double frame) const {
    const auto slide = slideItemData();
    if (!slide)
        return 1.0;
    return slide->zoomStart() + (slide->zoomEnd() - slide->zoomStart()) * motionFraction(frame);
}

bool SlideshowImageObject::chooseSource(quint64 frame, bool flip, Source& source) {
    const auto slide = slideItemData();
    const auto set = slideTextures();
    const auto shaders = SharedShaderPrograms::current();
    if (!slide || !set || !shaders)
        return false;
    source.upright = flip;
    if (slide->itemType() == SlideItem::kItemTypeVideo || slide->itemType() == SlideItem::kItemTypeQuartz) {
        const auto frames = set->frameSource();
        if (!frames || !frames->LoadOneFrameToOpenGLTexture(frame) || frames->texture() == 0)
            return false;
        source.texture = frames->texture();
        source.width = frames->dimensions().width();
        source.height = frames->dimensions().height();
        source.program = &shaders->Shader_one_texture;
        if (slide->itemType() == SlideItem::kItemTypeVideo) {
            // Clip frames are stored top row first, the other way up from loaded pictures.
            source.program = &shaders->Shader_one_texture_video;
            source.upright = !flip;
            source.video = true;
            source.orientation = frames->orientation();
            if (source.orientation == 0 || source.orientation == 1)
                source.zoomDivisor = gRenderAspectRatio;
        }
        return source.width > 0 && source.height > 0;
    }
    const auto picture = set->textureObj();
    if (!picture || picture->textureID() == 0)
        return false;
    source.program = &shaders->Shader_one_texture;
    source.opaque = picture->isOpaque();
    source.texture = picture->textureID();
    source.width = picture->textWidth();
    source.height = picture->textHeight();
    return source.width > 0 && source.height > 0;
}

void SlideshowImageObject::placeWithAspect(int width, int height, double zoom) {
    const double theta = std::atan(double(height) / double(width));
    const double aspect = gRenderAspectRatio;
    double sx, sy;
    if (std::atan(1.0 / aspect) > theta) { // wider than the view: it touches the sides
        sx = zoom / std::cos(theta);
        sy = aspect * sx;
    } else {
        sy = zoom / std::sin(theta);
        sx = sy / aspect;
    }
    matrixScale(modelView, float(sx), float(sy), 1.0f);
}

void SlideshowImageObject::fanPositions(int width, int height, float positions[12]) {
    // The unit fan given the picture's shape; the aspect scaling in the model-view turns it into pixels.
    const double theta = std::atan(double(height) / double(width));
    const float cx = float(std::cos(theta)), cy = float(std::sin(theta));
    for (int v = 0; v < 4; ++v) {
        positions[v * 3] = quad::kUnitPositions[v * 3] * cx;
        positions[v * 3 + 1] = quad::kUnitPositions[v * 3 + 1] * cy;
        positions[v * 3 + 2] = 0.0f;
    }
}

void SlideshowImageObject::drawPlaced(const ShaderProgramObject& program, GLuint texture, unsigned unit,
                                      int width, int height, bool upright, bool clamp) {
    float positions[12];
    fanPositions(width, height, positions);
    projection = quad::slideProjection();
    mvp = quad::modelViewProjection(modelView, projection);
    quad::setMvp(program, mvp);
    if (clamp) {
        quad::bindTexture(unit, texture);
    } else {
        glActiveTexture(GL_TEXTURE0 + unit);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture);
    }
    glUniform1i(program.uniformValue(QStringLiteral("texture")), GLint(unit));
    quad::drawFan(program, positions, upright ? quad::kUprightTexCoords : quad::kMirroredTexCoords);
}

QRect SlideshowImageObject::coveredPixels(int width, int height) const {
    float positions[12];
    fanPositions(width, height, positions);
    const Matrix4 placed = quad::modelViewProjection(modelView, quad::slideProjection());
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    float x[4], y[4];
    for (int v = 0; v < 4; ++v) {
        const Vector4 p = matrixTransformPoint(placed, positions[v * 3], positions[v * 3 + 1], 0.0f);
        if (p.w <= 0.0f)
            return {};
        x[v] = float(viewport[0]) + (p.x / p.w + 1.0f) * 0.5f * float(viewport[2]);
        y[v] = float(viewport[1]) + (p.y / p.w + 1.0f) * 0.5f * float(viewport[3]);
    }
    // The fan runs top left, bottom left, bottom right, top right: a picture turned by other than a half
    // turn has edges across the pixels, and covers no rectangle of them that is worth the bookkeeping.
    constexpr float kStraight = 0.01f;
    if (std::abs(x[0] - x[1]) > kStraight || std::abs(x[2] - x[3]) > kStraight ||
        std::abs(y[1] - y[2]) > kStraight || std::abs(y[0] - y[3]) > kStraight)
        return {};
    // Whole pixels only, a pixel short on every side, so that no rounding of the rasteriser's leaves a
    // pixel of the backdrop undrawn and uncovered.
    const int left = int(std::ceil(std::min(x[0], x[2]))) + 1,
              right = int(std::floor(std::max(x[0], x[2]))) - 1;
    const int bottom = int(std::ceil(std::min(y[0], y[1]))) + 1,
              top = int(std::floor(std::max(y[0], y[1]))) - 1;
    if (right <= left || top <= bottom)
        return {};
    return QRect(QPoint(left, bottom), QPoint(right - 1, top - 1));
}

void SlideshowImageObject::rotateOperation(int frame, bool upright) {
    const auto slide = slideItemData();
    if (!slide)
        return;
    const double start = slide->rotateAngle(SlideItem::kRotateZStart);
    const double end = slide->rotateAngle(SlideItem::kRotateZEnd);
    if (start == 0.0 && end == 0.0)
        return;
    const double radians = start + (end - start) * motionFraction(frame);
    const double degrees = radians * 180.0 / kPi * (upright ? 1.0 : -1.0);
    matrixRotate(modelView, float(degrees), 0.0f, 0.0f, 1.0f);
}

void SlideshowImageObject::placeSource(const Source& source, quint64 frame, bool depth) {
    const QPointF pan = panAt(double(frame));
    const float z = depth ? (textLayer ? -0.99999f : -1.0f) : -1.00002f;
    matrixLoadIdentity(modelView);
    matrixTranslate(modelView, float(pan.x()), float(source.upright ? pan.y() : -pan.y()), z);
    placeWithAspect(source.width, source.height, zoomAt(double(frame)) / source.zoomDivisor);
    rotateOperation(int(frame), source.upright);
    if (source.video) {
        float turn = 0.0f;
        if (source.orientation == 0)
            turn = 90.0f + (source.upright ? 180.0f : 0.0f);
        else if (source.orientation == 1)
            turn = -90.0f + (source.upright ? 180.0f : 0.0f);
        else if (source.orientation == 2)
            turn = 180.0f;
        if (turn != 0.0f)
            matrixRotate(modelView, turn, 0.0f, 0.0f, 1.0f);
    }
}

void SlideshowImageObject::playSlideshow(quint64 frame, unsigned textureIndex, bool flip, bool depth) {
    Source source;
    const bool drawable = chooseSource(frame, flip, source);
    if (drawable)
        placeSource(source, frame, depth);
    if (!textLayer) {
        clearForSlide();
        // What an opaque picture covers whole is not worth drawing beneath it.
        const QRect hidden = drawable && source.opaque ? coveredPixels(source.width, source.height) : QRect();
        if (const auto layer = backgrondRender())
            layer->DrawOneFrame(flip, hidden);
    }
    if (!drawable)
        return;
    // Over an opaque picture blending changes no pixel, only the cost.
    if (source.opaque)
        glDisable(GL_BLEND);
    else
        enableBlending();
    source.program->useMe();
    drawPlaced(*source.program, source.texture, textureIndex, source.width, source.height, source.upright,
               false);
    enableBlending();
    const quint64 quarter = totalFrames / 4;
    if (quarter <= frame && frame <= 3 * quarter)
        drawText(source.upright, unsigned(frame));
    glActiveTexture(GL_TEXTURE0);
}

void SlideshowImageObject::playSlideshowWithAlpha(qint64 frame, unsigned textureIndex, float alpha) {
    clearForSlide();
    if (const auto layer = backgrondRender())
        layer->DrawOneFrame(true);
    const auto set = slideTextures();
    const auto shaders = SharedShaderPrograms::current();
    const auto picture = set ? set->textureObj() : nullptr;
    if (!shaders || !picture || picture->textureID() == 0 || picture->textHeight() <= 0)
        return;
    enableBlending();
    const ShaderProgramObject& program = shaders->Shader_alpha_texture;
    program.useMe();
    const QPointF pan = panAt(double(frame));
    matrixLoadIdentity(modelView);
    matrixTranslate(modelView, float(pan.x()), float(pan.y()), -1.0f);
    placeWithAspect(picture->textWidth(), picture->textHeight(), zoomAt(double(frame)));
    rotateOperation(int(frame), true);
    glUniform1f(program.uniformValue(QStringLiteral("alpha")), alpha);
    drawPlaced(program, picture->textureID(), textureIndex, picture->textWidth(), picture->textHeight(), true,
               true);
    glActiveTexture(GL_TEXTURE0);
}

void SlideshowImageObject::playSlideshowWithData(int frame, const float moveParam[9], unsigned textureIndex) {
    const auto set = slideTextures();
    const auto shaders = SharedShaderPrograms::current();
    const auto picture = set ? set->textureObj() : nullptr;
    if (!shaders || !picture || picture->textureID() == 0 || picture->textHeight() <= 0)
        return;
    enableBlending();
    const ShaderProgramObject& program = shaders->Shader_one_texture;
    program.useMe();
    const QPointF pan = panAt(double(frame));
    matrixLoadIdentity(modelView);
    matrixTranslate(modelView, moveParam[0] + float(pan.x()), float(pan.y()) - moveParam[1],
                    moveParam[2] - 1.0f);
    placeWithAspect(picture->textWidth(), picture->textHeight(), zoomAt(double(frame)));
    rotateOperation(frame, true);
    drawPlaced(program, picture->textureID(), textureIndex, picture->textWidth(), picture->textHeight(), true,
               true);
    glActiveTexture(GL_TEXTURE0);
}

void SlideshowImageObject::drawText(bool upright, unsigned frame) {
    const auto slide = slideItemData();
    const auto set = slideTextures();
    const auto caption = set ? set->textTextureObj() : nullptr;
    const auto shaders = SharedShaderPrograms::current();
    if (!slide || slide->strPhotoDescription().isEmpty() || !caption || caption->textureID() == 0 || !shaders)
        return;
    const qint64 k = qint64(frame) - qint64(totalFrames / 4);
    const qint64 h = qint64(totalFrames / 2);
    double y = 0.0;
    if (h > 0 && k < h / 6)
        y = -0.2 + 0.2 * 6.0 * double(k) / double(h);
    else if (h > 0 && double(k) > 5.0 * double(h) / 6.0)
        y = -0.2 * 6.0 * (double(k) - 5.0 * double(h) / 6.0) / double(h);
    // The bottom tenth of the view, rising in and sinking out. Into frame buffers it is drawn upside down
    // (at the top, mirrored) like the slide itself; both fans wind the same way, so culling never drops it.
    // It lies a hair in front of the slide: at the slide's own depth the depth test would hide it.
    const float bottom[12] = {-1, -0.8f, 0, -1, -1, 0, 1, -1, 0, 1, -0.8f, 0};
    const float top[12] = {-1, 1, 0, -1, 0.8f, 0, 1, 0.8f, 0, 1, 1, 0};
    matrixLoadIdentity(modelView);
    matrixTranslate(modelView, 0.0f, float(upright ? y : -y), -0.9999f);
    const ShaderProgramObject& program = shaders->Shader_one_texture;
    program.useMe();
    projection = quad::slideProjection();
    mvp = quad::modelViewProjection(modelView, projection);
    quad::setMvp(program, mvp);
    quad::bindTexture(6, caption->textureID());
    glUniform1i(program.uniformValue(QStringLiteral("texture")), 6);
    quad::drawFan(program, upright ? bottom : top,
                  upright ? quad::kUprightTexCoords : quad::kMirroredTexCoords);
}
