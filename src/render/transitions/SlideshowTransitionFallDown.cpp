#include "render/transitions/SlideshowTransitionFallDown.h"

#include "platform/foundation/Clock.h"
#include "render/QuadDrawing.h"
#include "render/SharedShaderPrograms.h"

SlideshowTransitionFallDown::SlideshowTransitionFallDown() {
    buildTiles();
}

void SlideshowTransitionFallDown::initTransition() {
    SlideshowTransition::initTransition();
    // Back in place for every use; tiles left fallen by the last use would turn this one into a cut.
    buildTiles();
}

void SlideshowTransitionFallDown::buildTiles() {
    // Six rows of a third of the view's height each, so that the tiles in place show the image as it is.
    const float height = 2.0f / float(kRows);
    for (int c = 0; c < kColumns; ++c)
        for (int r = 0; r < kRows; ++r) {
            const float x0 = -1.0f + 0.5f * float(c), x1 = x0 + 0.5f;
            const float y0 = -1.0f + height * float(r), y1 = y0 + height;
            const float s0 = 0.25f * float(c), s1 = s0 + 0.25f;
            const float t0 = float(kRows - 1 - r) / float(kRows), t1 = t0 + 1.0f / float(kRows);
            vertices[std::size_t(c)][std::size_t(r)] = {x0, y1, x0, y0, x1, y0, x1, y1};
            texcoords[std::size_t(c)][std::size_t(r)] = {s0, t0, s0, t1, s1, t1, s1, t0};
            fallen[std::size_t(c)][std::size_t(r)] = 0.0f;
            speed[std::size_t(c)][std::size_t(r)] = 0.0f;
        }
}

int SlideshowTransitionFallDown::fallingTiles() const {
    int count = 0;
    for (const auto& column : speed)
        for (float dy : column)
            count += dy > 0.0f ? 1 : 0;
    return count;
}

void SlideshowTransitionFallDown::advanceTiles() {
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c)
            if (speed[std::size_t(c)][std::size_t(r)] > 0.0f) {
                fallen[std::size_t(c)][std::size_t(r)] += speed[std::size_t(c)][std::size_t(r)];
                speed[std::size_t(c)][std::size_t(r)] *= 1.05f;
            }
    auto& random = platform::RandomSource::shared();
    for (int r = 0; r < kRows; ++r) {
        int falling = 0;
        for (int c = 0; c < kColumns; ++c)
            falling += speed[std::size_t(c)][std::size_t(r)] > 0.0f ? 1 : 0;
        if (falling == kColumns)
            continue;
        if (random.next(100) >= 51) {
            // One of the row's tiles still in place, at random (drawing among them rather than until one is
            // hit cannot go on for ever).
            int pick = int(random.next(std::uint32_t(kColumns - falling)));
            for (int c = 0; c < kColumns; ++c)
                if (speed[std::size_t(c)][std::size_t(r)] <= 0.0f && pick-- == 0)
                    speed[std::size_t(c)][std::size_t(r)] = 0.02f;
        }
        return;
    }
}

void SlideshowTransitionFallDown::transition(int n) {
    const auto shaders = SharedShaderPrograms::current();
    if (!shaders)
        return;
    currentPos = n;
    clearForFrame();
    const ShaderProgramObject& program = shaders->Shader_one_texture;
    program.useMe();
    renderImageWithOneTextureShader(nextTextureID(), 0);
    // The tiles lie on the incoming image at the same depth: drawn over it in order.
    glDisable(GL_DEPTH_TEST);
    projection = quad::slideProjection();
    quad::bindTexture(1, currentTextureID());
    glUniform1i(program.uniformValue(QStringLiteral("texture")), 1);
    for (int c = 0; c < kColumns; ++c)
        for (int r = 0; r < kRows; ++r) {
            matrixLoadIdentity(modelView);
            matrixTranslate(modelView, 0.0f, -fallen[std::size_t(c)][std::size_t(r)], -1.0f);
            mvp = quad::modelViewProjection(modelView, projection);
            quad::setMvp(program, mvp);
            const auto& corners = vertices[std::size_t(c)][std::size_t(r)];
            const float positions[12] = {corners[0], corners[1], 0, corners[2], corners[3], 0,
                                         corners[4], corners[5], 0, corners[6], corners[7], 0};
            quad::drawFan(program, positions, texcoords[std::size_t(c)][std::size_t(r)].data());
        }
    glEnable(GL_DEPTH_TEST);
    glActiveTexture(GL_TEXTURE0);
    advanceTiles();
}
