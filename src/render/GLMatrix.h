#pragma once

// 4 x 4 matrices as the renderer and its shaders use them: four rows of four floats, m[row][column], handed
// to GL as they stand. Row 3 holds the translation, so a point is a row vector multiplied on the left of the
// matrix. Every transform below is multiplied on the left: M becomes T x M, so the transform added last is
// the one a point meets first.

struct Matrix4 {
    float m[4][4] = {};
    const float* data() const { return &m[0][0]; }
    float* data() { return &m[0][0]; }
};

void matrixLoadIdentity(Matrix4& matrix);
void matrixScale(Matrix4& matrix, float sx, float sy, float sz);
void matrixTranslate(Matrix4& matrix, float tx, float ty, float tz);
// A zero axis leaves the matrix unchanged.
void matrixRotate(Matrix4& matrix, float degrees, float x, float y, float z);
void matrixRotateZ(Matrix4& matrix, float degrees);
// result = a x b; result may be a or b.
void matrixMultiply(Matrix4& result, const Matrix4& a, const Matrix4& b);
// Degenerate or inverted bounds, or a near or far plane at or behind the eye, leave the matrix unchanged.
void matrixFrustum(Matrix4& matrix, float left, float right, float bottom, float top, float nearZ,
                   float farZ);
void matrixPerspective(Matrix4& matrix, float fovyDegrees, float aspect, float nearZ, float farZ);
// Empty ranges leave the matrix unchanged.
void matrixOrtho(Matrix4& matrix, float left, float right, float bottom, float top, float nearZ, float farZ);

// The point (x, y, z, 1) as a row vector times the matrix: clip coordinates (x, y, z, w).
struct Vector4 {
    float x, y, z, w;
};
Vector4 matrixTransformPoint(const Matrix4& matrix, float x, float y, float z);
