#include "RenderTestSupport.h"

#include "platform/foundation/StandardPaths.h"
#include "platform/gl/DriverLock.h"
#include "render/QuadDrawing.h"
#include "render/TextureObject.h"
#include "support/TempDir.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>

#include <thread>

using platform::gl::DriverLock;
using rendertest::colourNear;

namespace {

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// Draws the texture over the whole bound target with the upright texture coordinates.
void drawWhole(const SharedShaderPrograms& shaders, GLuint texture) {
    const DriverLock driver;
    Matrix4 identity;
    matrixLoadIdentity(identity);
    const ShaderProgramObject& program = shaders.Shader_one_texture;
    program.useMe();
    quad::setMvp(program, identity);
    quad::bindTexture(0, texture);
    glUniform1i(program.uniformValue("texture"), 0);
    quad::drawFan(program, quad::kUnitPositions, quad::kUprightTexCoords);
}

std::vector<unsigned char> texturePixels(GLuint texture, GLenum format, int width, int height, int channels) {
    std::vector<unsigned char> pixels(std::size_t(width * height * channels));
    const DriverLock driver;
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, pixels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return pixels;
}

// A level-0 parameter of a 2D texture.
GLint levelParameter(GLuint texture, GLenum name) {
    const DriverLock driver;
    GLint value = 0;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, name, &value);
    return value;
}

bool isTexture(GLuint name) {
    const DriverLock driver;
    return glIsTexture(name);
}

} // namespace

TEST(TextureFitting, BigPicturesShrinkToTheLimitKeepingTheirShape) {
    EXPECT_EQ(TextureObject::fittedSize({4000, 3000}, 2048, 2048), QSize(2048, 1536));
    EXPECT_EQ(TextureObject::fittedSize({3000, 4000}, 2048, 2048), QSize(1536, 2048));
    EXPECT_EQ(TextureObject::fittedSize({2048, 2048}, 2048, 2048), QSize(2048, 2048));
    EXPECT_EQ(TextureObject::fittedSize({2049, 100}, 2048, 2048), QSize(2048, 99));
    EXPECT_EQ(TextureObject::fittedSize({100, 2049}, 2048, 2048), QSize(99, 2048));
    EXPECT_EQ(TextureObject::fittedSize({3000, 3000}, 2048, 2048), QSize(2048, 2048));
}

using Textures = RenderTest;

TEST_F(Textures, APhotoLargerThanTheLimitIsDecodedSmallAndKeepsItsRatio) {
    TempDir dir;
    const QString path = dir.file("big.jpg");
    ASSERT_TRUE(rendertest::quarters(4000, 3000).save(path, "JPEG", 80));
    TextureObject texture;
    ASSERT_TRUE(texture.LoadImage(path));
    EXPECT_NE(texture.textureID(), 0u);
    EXPECT_EQ(texture.textWidth(), 2048);
    EXPECT_EQ(texture.textHeight(), 1536);
    EXPECT_NEAR(texture.textRatio(), 1.3333f, 1e-4f);
    EXPECT_EQ(levelParameter(texture.textureID(), GL_TEXTURE_WIDTH), 2048);
}

TEST_F(Textures, ThePictureIsStoredBottomRowFirstSoTheUprightSetShowsItUpright) {
    TextureObject texture;
    ASSERT_TRUE(texture.LoadImageFromData(encoded(rendertest::quarters(64, 64), "PNG")));
    EXPECT_EQ(texture.textWidth(), 64);
    makeTarget(64, 64);
    drawWhole(*shaders, texture.textureID());
    const QImage frame = readTarget();
    EXPECT_TRUE(colourNear(frame.pixel(8, 8), qRgb(255, 0, 0)));
    EXPECT_TRUE(colourNear(frame.pixel(56, 8), qRgb(0, 255, 0)));
    EXPECT_TRUE(colourNear(frame.pixel(8, 56), qRgb(0, 0, 255)));
    EXPECT_TRUE(colourNear(frame.pixel(56, 56), qRgb(255, 255, 255)));
    // First texture row = the bottom row of the picture (blue, white).
    const auto pixels = texturePixels(texture.textureID(), GL_RGBA, 64, 64, 4);
    EXPECT_EQ(pixels[2], 255); // blue at the first texel
    EXPECT_EQ(pixels[0], 0);
    EXPECT_EQ(pixels[(64 * 64 - 1) * 4 + 0], 0); // the last texel is the picture's top-right green
    EXPECT_EQ(pixels[(64 * 64 - 1) * 4 + 1], 255);
}

TEST_F(Textures, TheOrientationTagTurnsThePicture) {
    TempDir dir;
    const QString path = dir.file("turned.jpg");
    QImageWriter writer(path, "jpeg");
    writer.setTransformation(QImageIOHandler::TransformationRotate90);
    ASSERT_TRUE(writer.write(rendertest::quarters(80, 40)));
    TextureObject texture;
    ASSERT_TRUE(texture.LoadImage(path));
    EXPECT_EQ(texture.textWidth(), 40);
    EXPECT_EQ(texture.textHeight(), 80);
    // Turned a quarter clockwise, the red top-left quarter is now at the top right.
    makeTarget(40, 80);
    drawWhole(*shaders, texture.textureID());
    EXPECT_TRUE(colourNear(readTarget().pixel(30, 10), qRgb(255, 0, 0), 40));
}

TEST_F(Textures, UnreadableSourcesFailAndLeaveNoTexture) {
    TempDir dir;
    TextureObject texture;
    ASSERT_TRUE(texture.LoadImageFromData(encoded(rendertest::solid(4, 4, Qt::red), "PNG")));
    EXPECT_FALSE(texture.LoadImage(dir.file("missing.png")));
    EXPECT_EQ(texture.textureID(), 0u);
    EXPECT_EQ(texture.textWidth(), 0);

    // A file that opens as a PNG (valid signature and header) but whose data does not decode.
    QByteArray broken = encoded(rendertest::solid(32, 32, Qt::green), "PNG");
    broken.truncate(40);
    broken.append(QByteArray(64, '\x5a'));
    QFile file(dir.file("broken.png"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(broken);
    file.close();
    EXPECT_FALSE(texture.LoadImage(file.fileName()));
    EXPECT_FALSE(texture.LoadImageFromData(broken));
    EXPECT_FALSE(texture.LoadImageFromData(QByteArray("not a picture")));
    EXPECT_EQ(texture.textureID(), 0u);
    EXPECT_FALSE(texture.LoadCIImage(QImage()));
    EXPECT_TRUE(texture.LoadCIImage(rendertest::solid(3000, 10, Qt::blue)));
    EXPECT_EQ(texture.textWidth(), 2048);
    EXPECT_EQ(texture.textHeight(), 6);
}

TEST_F(Textures, AGreyMaskBecomesALuminanceTexture) {
    QImage mask(5, 3, QImage::Format_Grayscale8);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            mask.scanLine(y)[x] = uchar(x * 50 + y);
    TextureObject texture;
    ASSERT_TRUE(texture.LoadImage_mask(mask));
    EXPECT_EQ(texture.textWidth(), 5);
    EXPECT_EQ(texture.textHeight(), 3);
    EXPECT_EQ(levelParameter(texture.textureID(), GL_TEXTURE_WIDTH),
              8); // the row as stored: 5 pixels padded to 8 bytes
    const auto pixels = texturePixels(texture.textureID(), GL_LUMINANCE, 8, 3, 1);
    EXPECT_EQ(pixels[8 + 2], 101); // row 1, x 2: not turned upside down
    EXPECT_EQ(pixels[8 + 5], 201); // the padding repeats the row's last pixel twice
    EXPECT_EQ(pixels[8 + 6], 201);
}

TEST_F(Textures, A32BitMaskWithPaddedRowsRepeatsItsLastPixelIntoTwoPlaces) {
    // 4 pixels a row in memory with 3 of them padding: the texture is as wide as the row.
    std::vector<unsigned char> bytes(7 * 4 * 2, 0);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            for (int c = 0; c < 3; ++c)
                bytes[std::size_t((y * 7 + x) * 4 + c)] = uchar(40 * x + 10 * y + 5);
    const QImage mask(bytes.data(), 4, 2, 7 * 4, QImage::Format_RGB32);
    TextureObject texture;
    ASSERT_TRUE(texture.LoadImage_mask(mask));
    EXPECT_EQ(texture.textWidth(), 4);
    const auto pixels = texturePixels(texture.textureID(), GL_BGRA, 7, 2, 4);
    for (int y = 0; y < 2; ++y) {
        const uchar last = uchar(40 * 3 + 10 * y + 5);
        EXPECT_EQ(pixels[std::size_t((y * 7 + 1) * 4 + 3)], uchar(40 + 10 * y + 5)); // grey copied into alpha
        EXPECT_EQ(pixels[std::size_t((y * 7 + 4) * 4 + 0)], last);
        EXPECT_EQ(pixels[std::size_t((y * 7 + 5) * 4 + 3)], last);
        EXPECT_EQ(pixels[std::size_t((y * 7 + 6) * 4 + 0)], 0); // the third padding pixel is left alone
    }
}

TEST_F(Textures, AMaskOfAnUnsupportedLayoutLeavesTheObjectAsItWas) {
    TextureObject texture;
    ASSERT_TRUE(texture.LoadImage_mask(QImage(4, 4, QImage::Format_Grayscale8)));
    const GLuint before = texture.textureID();
    QImage mono(16, 16, QImage::Format_Mono);
    mono.fill(1);
    EXPECT_FALSE(texture.LoadImage_mask(mono));
    EXPECT_EQ(texture.textureID(), before);
    EXPECT_TRUE(isTexture(before));
    EXPECT_FALSE(texture.LoadImage_mask(QString("/no/such/mask.jpg")));
    EXPECT_EQ(texture.textureID(), before);
}

TEST_F(Textures, ATextureLetGoOnAThreadWithoutContextIsDeletedAtTheNextScope) {
    auto texture = std::make_unique<TextureObject>();
    ASSERT_TRUE(texture->LoadCIImage(rendertest::solid(4, 4, Qt::red)));
    const GLuint name = texture->textureID();
    std::thread([&] { texture.reset(); }).join();
    EXPECT_EQ(context->shareGroup()->pendingCount(), 1u);
    EXPECT_TRUE(isTexture(name));
    { const platform::gl::Context::Scope again(*context); }
    scope.reset();
    scope.emplace(*context);
    EXPECT_EQ(context->shareGroup()->pendingCount(), 0u);
    EXPECT_FALSE(isTexture(name));
}

TEST_F(Textures, TheTransitionMasksOfTheResourcesLoadAsMasks) {
    for (const char* name : {"01", "50"}) {
        const QString path = platform::paths::pathForResource(name, "jpg");
        ASSERT_FALSE(path.isEmpty()) << name;
        TextureObject mask;
        EXPECT_TRUE(mask.LoadImage_mask(path)) << name;
        EXPECT_GT(mask.textWidth(), 0);
        EXPECT_NE(mask.textureID(), 0u);
    }
}
