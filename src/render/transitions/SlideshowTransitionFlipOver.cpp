#include "render/transitions/SlideshowTransitionFlipOver.h"

#include "platform/foundation/Clock.h"
#include "render/GLDrawingHelpers.h"
#include "render/QuadDrawing.h"
#include "render/SharedShaderPrograms.h"
#include "render/StageBackground.h"

namespace {

// The mesh's faces in index order: the face towards the viewer is the fourth (indices 18 to 23).
constexpr int kFrontFaceFirstIndex = 18;
constexpr int kFrontFaceFirstVertex = 12;

} // namespace

SlideshowTransitionFlipOver::SlideshowTransitionFlipOver() {
    generateCubeMesh(1.0f, &cubeVertices, nullptr, &cubeTexCoords, &cubeIndices);
    for (float& coordinate : cubeVertices)
        coordinate *= 2.0f;
    mapTextures();
}

void SlideshowTransitionFlipOver::initTransition() {
    direction = int(platform::RandomSource::shared().next(4));
    mapTextures();
}

void SlideshowTransitionFlipOver::turn(Matrix4& matrix, int ndirection, float degrees) {
    const bool aboutX = ndirection < 2;
    const float sign = ndirection % 2 == 0 ? 1.0f : -1.0f;
    matrixRotate(matrix, sign * degrees, aboutX ? 1.0f : 0.0f, aboutX ? 0.0f : 1.0f, 0.0f);
}

void SlideshowTransitionFlipOver::mapTextures() {
    // Each face is mapped as the view would see it at the end of the turn (the front face as it stands), so
    // the incoming image arrives upright whichever way the cube turns.
    Matrix4 end;
    matrixLoadIdentity(end);
    turn(end, direction, 90.0f);
    const int vertexCount = int(cubeVertices.size() / 3);
    for (int v = 0; v < vertexCount; ++v) {
        const float* p = &cubeVertices[std::size_t(v) * 3];
        const bool front = v >= kFrontFaceFirstVertex && v < kFrontFaceFirstVertex + 4;
        const Vector4 seen =
            front ? Vector4{p[0], p[1], p[2], 1.0f} : matrixTransformPoint(end, p[0], p[1], p[2]);
        cubeTexCoords[std::size_t(v) * 2] = (seen.x + 1.0f) / 2.0f;
        cubeTexCoords[std::size_t(v) * 2 + 1] = (1.0f - seen.y) / 2.0f;
    }
}

void SlideshowTransitionFlipOver::transition(int n) {
    const auto shaders = SharedShaderPrograms::current();
    if (!shaders)
        return;
    currentPos = n;
    glEnable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    angle = float(n) * 90.0f / float(nTotalTransitionFrame());
    if (StageBackground* background = transitionBackground())
        background->DrawOneFrame(true);
    const ShaderProgramObject& program = shaders->Shader_one_texture;
    program.useMe();
    // Turned about its centre first, then set back (the transform added last applies first).
    matrixLoadIdentity(modelView);
    matrixTranslate(modelView, 0.0f, 0.0f, -2.0f);
    turn(modelView, direction, angle);
    projection = quad::slideProjection();
    mvp = quad::modelViewProjection(modelView, projection);
    quad::setMvp(program, mvp);

    const GLuint position = GLuint(program.attriValue(QStringLiteral("position")));
    const GLuint texcoord = GLuint(program.attriValue(QStringLiteral("texcoord")));
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glVertexAttribPointer(position, 3, GL_FLOAT, GL_FALSE, 0, cubeVertices.data());
    glEnableVertexAttribArray(position);
    glVertexAttribPointer(texcoord, 2, GL_FLOAT, GL_FALSE, 0, cubeTexCoords.data());
    glEnableVertexAttribArray(texcoord);
    const GLint textureUniform = program.uniformValue(QStringLiteral("texture"));
    quad::bindTexture(0, currentTextureID());
    glUniform1i(textureUniform, 0);
    glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_SHORT, cubeIndices.data() + kFrontFaceFirstIndex);
    quad::bindTexture(2, nextTextureID());
    glUniform1i(textureUniform, 2);
    glDrawElements(GL_TRIANGLES, kFrontFaceFirstIndex, GL_UNSIGNED_SHORT, cubeIndices.data());
    glDrawElements(GL_TRIANGLES, 12, GL_UNSIGNED_SHORT, cubeIndices.data() + kFrontFaceFirstIndex + 6);
    glDisableVertexAttribArray(position);
    glDisableVertexAttribArray(texcoord);
    glActiveTexture(GL_TEXTURE0);
}
