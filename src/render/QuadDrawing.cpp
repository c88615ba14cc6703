#include "render/QuadDrawing.h"

#include "render/ShaderProgramObject.h"

namespace quad {

const float kUnitPositions[12] = {-1, 1, 0, -1, -1, 0, 1, -1, 0, 1, 1, 0};
const float kUprightTexCoords[8] = {0, 1, 0, 0, 1, 0, 1, 1};
const float kMirroredTexCoords[8] = {0, 0, 0, 1, 1, 1, 1, 0};

void bindTexture(unsigned unit, GLuint texture) {
    glActiveTexture(GL_TEXTURE0 + unit);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

void setMvp(const ShaderProgramObject& program, const Matrix4& mvp) {
    glUniformMatrix4fv(program.uniformValue(QStringLiteral("mvp")), 1, GL_FALSE, mvp.data());
}

void drawFan(const ShaderProgramObject& program, const float* positions, const float* texCoords,
             const float* texCoords1) {
    const GLuint position = GLuint(program.attriValue(QStringLiteral("position")));
    const GLuint texcoord = GLuint(program.attriValue(QStringLiteral("texcoord")));
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glVertexAttribPointer(position, 3, GL_FLOAT, GL_FALSE, 0, positions);
    glEnableVertexAttribArray(position);
    glVertexAttribPointer(texcoord, 2, GL_FLOAT, GL_FALSE, 0, texCoords);
    glEnableVertexAttribArray(texcoord);
    GLuint texcoord1 = 0;
    if (texCoords1) {
        texcoord1 = GLuint(program.attriValue(QStringLiteral("texcoord1")));
        glVertexAttribPointer(texcoord1, 2, GL_FLOAT, GL_FALSE, 0, texCoords1);
        glEnableVertexAttribArray(texcoord1);
    }
    glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
    glDisableVertexAttribArray(position);
    glDisableVertexAttribArray(texcoord);
    if (texCoords1)
        glDisableVertexAttribArray(texcoord1);
}

void blendAtWeight(float weight) {
    glEnable(GL_BLEND);
    glBlendColor(0.0f, 0.0f, 0.0f, weight);
    glBlendFunc(GL_CONSTANT_ALPHA, GL_ONE_MINUS_CONSTANT_ALPHA);
}

void blendBySourceAlpha() {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

Matrix4 slideProjection() {
    Matrix4 projection;
    matrixLoadIdentity(projection);
    matrixFrustum(projection, -0.1f, 0.1f, -0.1f, 0.1f, 0.1f, 100.0f);
    return projection;
}

Matrix4 modelViewProjection(const Matrix4& modelView, const Matrix4& projection) {
    Matrix4 mvp;
    matrixMultiply(mvp, modelView, projection);
    return mvp;
}

} // namespace quad
