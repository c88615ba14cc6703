#include "RenderTestSupport.h"

#include "platform/foundation/StandardPaths.h"
#include "platform/gl/DriverLock.h"
#include "render/GLDrawingHelpers.h"
#include "render/OpenGLRenderObject.h"
#include "render/QuadDrawing.h"
#include "render/ShaderProgramObject.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>

#include <cmath>

namespace {

void writeFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

// Points the resource lookup at a folder of the test's own for as long as it lives.
class ResourceOverride {
public:
    explicit ResourceOverride(const QString& folder) : previous(qgetenv("VISTRELLE_RESOURCES")) {
        qputenv("VISTRELLE_RESOURCES", folder.toLocal8Bit());
    }
    ~ResourceOverride() { qputenv("VISTRELLE_RESOURCES", previous); }

private:
    QByteArray previous;
};

const QByteArray goodVertex = "#version 120\nattribute vec4 position;\nattribute vec2 texcoord;\n"
                              "uniform mat4 mvp;\nvarying vec2 uv;\n"
                              "void main() { uv = texcoord; gl_Position = mvp * position; }\n";

} // namespace

using platform::gl::DriverLock;
// The programs are built and drawn with under the driver lock, as the player and the converters do.
using ShaderPrograms = RenderTest;

TEST_F(ShaderPrograms, TheSevenSharedProgramsBuildWithAttributesAtTheirListPositions) {
    ShaderProgramObject* all[] = {&shaders->Shader_one_texture,      &shaders->Shader_one_texture_video,
                                  &shaders->Shader_one_gray_texture, &shaders->Shader_bk_gray_texture,
                                  &shaders->Shader_two_texture,      &shaders->Shader_transition_mask,
                                  &shaders->Shader_alpha_texture};
    const DriverLock driver;
    for (ShaderProgramObject* shader : all) {
        SCOPED_TRACE(shader->shaderFileName().toStdString());
        ASSERT_NE(shader->program(), 0u);
        for (int i = 0; i < shader->attriKeyArray().size(); ++i) {
            const QByteArray name = shader->attriKeyArray()[i].toLatin1();
            EXPECT_EQ(shader->attriValue(shader->attriKeyArray()[i]), i);
            const GLint location = glGetAttribLocation(shader->program(), name.constData());
            if (location >= 0) { // an attribute the shader does not read may be optimised away
                EXPECT_EQ(location, i);
            }
        }
        EXPECT_GE(shader->uniformValue("mvp"), 0);
        EXPECT_EQ(shader->uniformValue("noSuchUniform"), 0);
    }
    EXPECT_GE(shaders->Shader_two_texture.uniformValue("blendRato"), 0);
    EXPECT_GE(shaders->Shader_alpha_texture.uniformValue("alpha"), 0);
    EXPECT_GE(shaders->Shader_transition_mask.uniformValue("BlendFactor"), 0);
    EXPECT_GE(shaders->Shader_one_gray_texture.uniformValue("colorBlend"), 0);
    EXPECT_EQ(shaders->byName("Shader_two_texture"), &shaders->Shader_two_texture);
    EXPECT_EQ(SharedShaderPrograms::current(), shaders);
}

TEST_F(ShaderPrograms, TheSharedProgramsAreSeenFromASharingContext) {
    auto loader = platform::gl::Context::createShared(*context);
    const platform::gl::Context::Scope loaderScope(*loader);
    EXPECT_EQ(SharedShaderPrograms::current(), shaders);
    const DriverLock driver;
    EXPECT_TRUE(glIsProgram(shaders->Shader_one_texture.program()));
}

TEST_F(ShaderPrograms, AMissingFileAnswersNoAndLeavesNoProgram) {
    const DriverLock driver;
    ShaderProgramObject shader;
    shader.setAttriKey({"position"});
    shader.setUniformKey({"mvp"});
    shader.setShaderFileName("Shader_that_does_not_exist");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(shader.loadShaders());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(shader.program(), 0u);
    GLuint made = 99;
    EXPECT_FALSE(ShaderProgramObject::compileShader(&made, GL_VERTEX_SHADER, "/no/such/file.vsh"));
    EXPECT_EQ(made, 0u);
}

TEST_F(ShaderPrograms, AFailedCompileOrLinkLeavesNoGLObjectsBehind) {
    TempDir dir;
    QDir(dir.path()).mkpath("shaders");
    writeFile(dir.file("shaders/Broken.vsh"), goodVertex);
    writeFile(dir.file("shaders/Broken.fsh"), "#version 120\nvoid main() { this is not glsl }\n");
    // The fragment stage reads a varying the vertex stage never writes: compiles, fails to link.
    writeFile(dir.file("shaders/Unlinked.vsh"), "#version 120\nattribute vec4 position;\n"
                                                "void main() { gl_Position = position; }\n");
    writeFile(dir.file("shaders/Unlinked.fsh"), "#version 120\nvarying vec2 missing;\n"
                                                "void main() { gl_FragColor = vec4(missing, 0.0, 1.0); }\n");
    const ResourceOverride resources(dir.path());
    const DriverLock driver;
    glFinish();
    const GLuint probe = glCreateProgram(); // names are handed out in order on Mesa; see what comes next
    glDeleteProgram(probe);
    for (const char* name : {"Broken", "Unlinked"}) {
        SCOPED_TRACE(name);
        ShaderProgramObject shader;
        shader.setAttriKey({"position", "texcoord"});
        shader.setShaderFileName(name);
        testing::internal::CaptureStdout();
        EXPECT_FALSE(shader.loadShaders());
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(shader.program(), 0u);
    }
    // Nothing made during the failed loads is still alive (GL hands out names above the probe's).
    for (GLuint name = probe; name < probe + 16; ++name) {
        EXPECT_FALSE(glIsProgram(name)) << "program " << name << " leaked";
        EXPECT_FALSE(glIsShader(name)) << "shader " << name << " leaked";
    }
}

TEST_F(ShaderPrograms, StandAloneBuildersPrintTheirLogsOnFailure) {
    const DriverLock driver;
    testing::internal::CaptureStdout();
    EXPECT_EQ(compileShaderSource(GL_FRAGMENT_SHADER, "#version 120\nvoid main() { nonsense }\n"), 0u);
    const std::string compileOut = testing::internal::GetCapturedStdout();
    EXPECT_EQ(compileOut.rfind("Error compiling shader:\n", 0), 0u) << compileOut;

    const GLuint program =
        linkShaderProgram(goodVertex, "#version 120\nvarying vec2 uv;\nuniform sampler2D t;\n"
                                      "void main() { gl_FragColor = texture2D(t, uv); }\n");
    EXPECT_NE(program, 0u);
    glDeleteProgram(program);
    testing::internal::CaptureStdout();
    EXPECT_EQ(linkShaderProgram(goodVertex, "#version 120\nvarying vec3 never;\n"
                                            "void main() { gl_FragColor = vec4(never, 1.0); }\n"),
              0u);
    const std::string linkOut = testing::internal::GetCapturedStdout();
    EXPECT_EQ(linkOut.rfind("Error linking program:\n", 0), 0u) << linkOut;
}

TEST_F(ShaderPrograms, TwoTextureBlendsByBlendRatoAndAlphaTextureFadesOverBlack) {
    const DriverLock driver;
    makeTarget(8, 8);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    GLuint textures[2];
    glGenTextures(2, textures);
    const QImage red = rendertest::solid(2, 2, Qt::red), blue = rendertest::solid(2, 2, Qt::blue);
    for (int i = 0; i < 2; ++i) {
        const QImage pixels = (i ? blue : red).convertToFormat(QImage::Format_RGBA8888);
        glBindTexture(GL_TEXTURE_2D, textures[i]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.constBits());
    }
    Matrix4 identity;
    matrixLoadIdentity(identity);
    const ShaderProgramObject& two = shaders->Shader_two_texture;
    two.useMe();
    quad::setMvp(two, identity);
    quad::bindTexture(6, textures[0]);
    glUniform1i(two.uniformValue("texture"), 6);
    quad::bindTexture(5, textures[1]);
    glUniform1i(two.uniformValue("texture1"), 5);
    glUniform1f(two.uniformValue("blendRato"), 0.25f);
    quad::drawFan(two, quad::kUnitPositions, quad::kUprightTexCoords, quad::kUprightTexCoords);
    EXPECT_TRUE(rendertest::colourNear(readTarget().pixel(4, 4), qRgb(191, 0, 64)));

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glClear(GL_COLOR_BUFFER_BIT);
    const ShaderProgramObject& alpha = shaders->Shader_alpha_texture;
    alpha.useMe();
    quad::setMvp(alpha, identity);
    quad::bindTexture(0, textures[1]);
    glUniform1i(alpha.uniformValue("texture"), 0);
    glUniform1f(alpha.uniformValue("alpha"), 0.5f);
    quad::drawFan(alpha, quad::kUnitPositions, quad::kUprightTexCoords);
    EXPECT_TRUE(rendertest::colourNear(readTarget().pixel(4, 4), qRgb(0, 0, 128)));
    glDisable(GL_BLEND);
    glDeleteTextures(2, textures);
}

// The render object's test drawing: four coloured corners on dark blue, lower or higher at each call.
TEST_F(ShaderPrograms, TheColourTestDrawingShowsItsCornersBobbingOnDarkBlue) {
    const DriverLock driver; // as the view makes its render object and draws
    OpenGLRenderObject renderer;
    for (int call = 0; call < 2; ++call) {
        SCOPED_TRACE(call);
        makeTarget(200, 200);
        const float before = OpenGLRenderObject::drawColorRectTranslate();
        renderer.drawColorRect();
        const float translate = OpenGLRenderObject::drawColorRectTranslate();
        EXPECT_NEAR(translate - before, 0.075f, 1e-6f);
        const QImage frame = readTarget();
        EXPECT_TRUE(rendertest::colourNear(frame.pixel(3, 3), qRgb(0, 0, 128)));
        const int centre = 100 - int(std::lround(std::sin(translate) * 50.0));
        const int top = centre - 30,
                  bottom =
                      centre + 30; // rows 3 inside the rectangle's edges: near the corners, blended a little
        EXPECT_TRUE(rendertest::colourNear(frame.pixel(53, bottom), qRgb(255, 255, 0), 40));
        EXPECT_TRUE(rendertest::colourNear(frame.pixel(146, bottom), qRgb(0, 255, 255), 40));
        EXPECT_TRUE(rendertest::colourNear(frame.pixel(146, top), qRgb(255, 0, 255), 40));
        EXPECT_TRUE(rendertest::colourNear(frame.pixel(53, top), qRgb(0, 0, 0), 40));
        EXPECT_TRUE(rendertest::colourNear(frame.pixel(100, centre - 37), qRgb(0, 0, 128))) << "above it";
        EXPECT_TRUE(rendertest::colourNear(frame.pixel(100, centre + 37), qRgb(0, 0, 128))) << "below it";
    }
}
