#include "render/GLMatrix.h"

#include <cmath>

namespace {

// Degrees to radians with the single-precision pi the renderer has always used.
float radians(float degrees) {
    return degrees * 3.1415927f / 180.0f;
}

void multiplyOnLeft(Matrix4& matrix, const Matrix4& transform) {
    matrixMultiply(matrix, transform, matrix);
}

Matrix4 identity() {
    Matrix4 matrix;
    matrixLoadIdentity(matrix);
    return matrix;
}

} // namespace

void matrixLoadIdentity(Matrix4& matrix) {
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            matrix.m[row][column] = row == column ? 1.0f : 0.0f;
}

void matrixScale(Matrix4& matrix, float sx, float sy, float sz) {
    const float factors[3] = {sx, sy, sz};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 4; ++column)
            matrix.m[row][column] *= factors[row];
}

void matrixTranslate(Matrix4& matrix, float tx, float ty, float tz) {
    for (int column = 0; column < 4; ++column)
        matrix.m[3][column] += tx * matrix.m[0][column] + ty * matrix.m[1][column] + tz * matrix.m[2][column];
}

void matrixRotate(Matrix4& matrix, float degrees, float x, float y, float z) {
    const float length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0f)
        return;
    x /= length;
    y /= length;
    z /= length;
    const float s = std::sin(radians(degrees));
    const float c = std::cos(radians(degrees));
    const float t = 1.0f - c;
    Matrix4 rotation = identity();
    rotation.m[0][0] = x * x * t + c;
    rotation.m[0][1] = x * y * t - z * s;
    rotation.m[0][2] = z * x * t + y * s;
    rotation.m[1][0] = x * y * t + z * s;
    rotation.m[1][1] = y * y * t + c;
    rotation.m[1][2] = y * z * t - x * s;
    rotation.m[2][0] = z * x * t - y * s;
    rotation.m[2][1] = y * z * t + x * s;
    rotation.m[2][2] = z * z * t + c;
    multiplyOnLeft(matrix, rotation);
}

void matrixRotateZ(Matrix4& matrix, float degrees) {
    const float s = std::sin(radians(degrees));
    const float c = std::cos(radians(degrees));
    Matrix4 rotation = identity();
    rotation.m[0][0] = c;
    rotation.m[0][1] = -s;
    rotation.m[1][0] = s;
    rotation.m[1][1] = c;
    multiplyOnLeft(matrix, rotation);
}

void matrixMultiply(Matrix4& result, const Matrix4& a, const Matrix4& b) {
    Matrix4 product;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a.m[i][k] * b.m[k][j];
            product.m[i][j] = sum;
        }
    result = product;
}

void matrixFrustum(Matrix4& matrix, float left, float right, float bottom, float top, float nearZ,
                   float farZ) {
    const float width = right - left;
    const float height = top - bottom;
    const float depth = farZ - nearZ;
    if (width <= 0.0f || height <= 0.0f || depth <= 0.0f || nearZ <= 0.0f || farZ <= 0.0f)
        return;
    Matrix4 frustum;
    frustum.m[0][0] = 2.0f * nearZ / width;
    frustum.m[1][1] = 2.0f * nearZ / height;
    frustum.m[2][0] = (right + left) / width;
    frustum.m[2][1] = (top + bottom) / height;
    frustum.m[2][2] = -(nearZ + farZ) / depth;
    frustum.m[2][3] = -1.0f;
    frustum.m[3][2] = -2.0f * nearZ * farZ / depth;
    multiplyOnLeft(matrix, frustum);
}

void matrixPerspective(Matrix4& matrix, float fovyDegrees, float aspect, float nearZ, float farZ) {
    const float height = std::tan(fovyDegrees / 360.0f * 3.1415927f) * nearZ;
    const float width = height * aspect;
    matrixFrustum(matrix, -width, width, -height, height, nearZ, farZ);
}

void matrixOrtho(Matrix4& matrix, float left, float right, float bottom, float top, float nearZ, float farZ) {
    const float width = right - left;
    const float height = top - bottom;
    const float depth = farZ - nearZ;
    if (width == 0.0f || height == 0.0f || depth == 0.0f)
        return;
    Matrix4 ortho = identity();
    ortho.m[0][0] = 2.0f / width;
    ortho.m[1][1] = 2.0f / height;
    ortho.m[2][2] = -2.0f / depth;
    ortho.m[3][0] = -(right + left) / width;
    ortho.m[3][1] = -(top + bottom) / height;
    ortho.m[3][2] = -(nearZ + farZ) / depth;
    multiplyOnLeft(matrix, ortho);
}

Vector4 matrixTransformPoint(const Matrix4& matrix, float x, float y, float z) {
    const float in[4] = {x, y, z, 1.0f};
    float out[4] = {};
    for (int column = 0; column < 4; ++column)
        for (int k = 0; k < 4; ++k)
            out[column] += in[k] * matrix.m[k][column];
    return {out[0], out[1], out[2], out[3]};
}
