#include "render/GLMatrix.h"
#include "render/GLDrawingHelpers.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

Matrix4 identity() {
    Matrix4 m;
    matrixLoadIdentity(m);
    return m;
}

void expectPoint(const Matrix4& m, float x, float y, float z, float ex, float ey, float ez) {
    const Vector4 p = matrixTransformPoint(m, x, y, z);
    EXPECT_NEAR(p.x / p.w, ex, 1e-5f);
    EXPECT_NEAR(p.y / p.w, ey, 1e-5f);
    EXPECT_NEAR(p.z / p.w, ez, 1e-5f);
}

bool same(const Matrix4& a, const Matrix4& b) {
    for (int i = 0; i < 16; ++i)
        if (a.data()[i] != b.data()[i])
            return false;
    return true;
}

Matrix4 sample() {
    Matrix4 m = identity();
    matrixTranslate(m, 1, 2, 3);
    matrixScale(m, 2, 3, 4);
    return m;
}

} // namespace

TEST(GLMatrix, TranslationLivesInRowThreeAndTheLastTransformAppliesFirst) {
    Matrix4 m = identity();
    matrixTranslate(m, 1, 2, 3);
    EXPECT_FLOAT_EQ(m.m[3][0], 1);
    EXPECT_FLOAT_EQ(m.m[3][1], 2);
    EXPECT_FLOAT_EQ(m.m[3][2], 3);
    // Scaling added after the translation is met first: the point is scaled, then moved.
    matrixScale(m, 2, 2, 2);
    expectPoint(m, 1, 1, 1, 3, 4, 5);
}

TEST(GLMatrix, MultiplyComputesRowsTimesColumnsAndMayWriteIntoAnInput) {
    Matrix4 a = identity(), b = identity();
    a.m[0][1] = 2; // a = [[1,2],[0,1]] in the top-left corner
    b.m[1][0] = 3; // b = [[1,0],[3,1]]
    Matrix4 product;
    matrixMultiply(product, a, b);
    EXPECT_FLOAT_EQ(product.m[0][0], 7);
    EXPECT_FLOAT_EQ(product.m[0][1], 2);
    EXPECT_FLOAT_EQ(product.m[1][0], 3);
    EXPECT_FLOAT_EQ(product.m[1][1], 1);
    matrixMultiply(a, a, b);
    EXPECT_TRUE(same(a, product));
}

TEST(GLMatrix, RotationsAboutZAgreeAndTurnAsRowVectors) {
    Matrix4 general = identity(), aboutZ = identity();
    matrixRotate(general, 90, 0, 0, 2); // the axis is normalised
    matrixRotateZ(aboutZ, 90);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(general.data()[i], aboutZ.data()[i], 1e-6f);
    expectPoint(aboutZ, 1, 0, 0, 0, -1, 0);
    Matrix4 unchanged = sample();
    matrixRotate(unchanged, 45, 0, 0, 0);
    EXPECT_TRUE(same(unchanged, sample()));
}

TEST(GLMatrix, FrustumMapsTheSlidePlaneOntoTheWholeView) {
    Matrix4 m = identity();
    matrixFrustum(m, -0.1f, 0.1f, -0.1f, 0.1f, 0.1f, 100.0f);
    expectPoint(m, -1, 1, -1, -1, 1, matrixTransformPoint(m, -1, 1, -1).z / 1.0f);
    const Vector4 corner = matrixTransformPoint(m, 1, -1, -1);
    EXPECT_NEAR(corner.x / corner.w, 1, 1e-5f);
    EXPECT_NEAR(corner.y / corner.w, -1, 1e-5f);
    // A farther plane shrinks towards the centre.
    const Vector4 far = matrixTransformPoint(m, 1, 1, -3);
    EXPECT_NEAR(far.x / far.w, 1.0f / 3.0f, 1e-5f);
}

TEST(GLMatrix, DegenerateProjectionsLeaveTheMatrixUnchanged) {
    Matrix4 m = sample();
    matrixFrustum(m, -1, 1, -1, 1, 0, 10); // near 0
    EXPECT_TRUE(same(m, sample()));
    matrixFrustum(m, 1, -1, -1, 1, 1, 10); // inverted
    EXPECT_TRUE(same(m, sample()));
    matrixOrtho(m, 1, 1, -1, 1, 1, 10); // left = right
    EXPECT_TRUE(same(m, sample()));
    matrixOrtho(m, -1, 1, -1, 1, 5, 5);
    EXPECT_TRUE(same(m, sample()));
}

TEST(GLMatrix, OrthoAndPerspective) {
    Matrix4 ortho = identity();
    matrixOrtho(ortho, -1, 1, -1, 1, 1, 100);
    expectPoint(ortho, 0.5f, -0.25f, -1, 0.5f, -0.25f, -1);
    Matrix4 perspective = identity(), frustum = identity();
    matrixPerspective(perspective, 90, 2, 1, 10);
    matrixFrustum(frustum, -2, 2, -1, 1, 1, 10); // tan(45 degrees) x near = 1
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(perspective.data()[i], frustum.data()[i], 1e-5f);
}

TEST(GLMeshes, CubeHasTwentyFourVerticesAndThirtySixIndicesScaled) {
    std::vector<float> vertices, normals, texCoords;
    std::vector<std::uint16_t> indices;
    EXPECT_EQ(generateCubeMesh(2.0f, &vertices, &normals, &texCoords, &indices), 36);
    EXPECT_EQ(vertices.size(), 72u);
    EXPECT_EQ(normals.size(), 72u);
    EXPECT_EQ(texCoords.size(), 48u);
    ASSERT_EQ(indices.size(), 36u);
    for (float v : vertices)
        EXPECT_FLOAT_EQ(std::abs(v), 1.0f);
    // The front face (third pair of triangles after bottom, top and back) winds 12 15 14, 12 14 13.
    EXPECT_EQ(indices[18], 12);
    EXPECT_EQ(indices[19], 15);
    EXPECT_EQ(indices[23], 13);
    // Out buffers are optional.
    EXPECT_EQ(generateCubeMesh(1.0f, nullptr, nullptr, nullptr, &indices), 36);
}

TEST(GLMeshes, SphereOfTwentySlices) {
    std::vector<float> vertices, normals, texCoords;
    std::vector<std::uint16_t> indices;
    EXPECT_EQ(generateSphereMesh(20, 2.0f, &vertices, &normals, &texCoords, &indices), 1200);
    EXPECT_EQ(vertices.size(), 231u * 3);
    EXPECT_EQ(texCoords.size(), 231u * 2);
    EXPECT_EQ(indices.size(), 1200u);
    for (std::size_t v = 0; v < vertices.size(); v += 3) {
        const float length = std::sqrt(vertices[v] * vertices[v] + vertices[v + 1] * vertices[v + 1] +
                                       vertices[v + 2] * vertices[v + 2]);
        EXPECT_NEAR(length, 2.0f, 1e-4f);
    }
    for (auto index : indices)
        EXPECT_LT(index, 231);
}

TEST(GLHelpers, LogMessageCutsAt1023BytesAndClearPairIgnoresNull) {
    testing::internal::CaptureStdout();
    const std::string longText(3000, 'x');
    logMessage("%s", longText.c_str());
    logMessage("[%d]", 7);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.size(), 1026u);
    EXPECT_EQ(out.find_first_not_of('x'), 1023u);
    EXPECT_EQ(out.substr(1023), "[7]");
    std::uint32_t pair[2] = {5, 6};
    clearPair(pair);
    EXPECT_EQ(pair[0], 0u);
    EXPECT_EQ(pair[1], 0u);
    clearPair(nullptr);
}
