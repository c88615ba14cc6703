#include "GlTestSupport.h"

#include "platform/gl/Display.h"
#include "platform/gl/DriverLock.h"
#include "platform/gl/GlError.h"

#include <cstdlib>

using namespace platform::gl;

void GlTest::SetUp() {
    try {
        Display::instance();
        context = Context::create();
    } catch (const GlError& error) {
        FAIL() << "No OpenGL on this machine: " << error.what();
    }
}

namespace gltest {

namespace {

GLuint compile(GLenum type, const char* source) {
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        ADD_FAILURE() << "shader did not compile: " << log;
    }
    return shader;
}

const char* const vertexSource = R"(#version 120
attribute vec2 position;
attribute vec2 texcoord;
uniform float depth;
varying vec2 uv;
void main() {
    uv = texcoord;
    gl_Position = vec4(position, depth, 1.0);
}
)";

} // namespace

GLuint buildProgram(const char* vertex, const char* fragment) {
    const DriverLock driver;
    const GLuint program = glCreateProgram();
    const GLuint vs = compile(GL_VERTEX_SHADER, vertex);
    const GLuint fs = compile(GL_FRAGMENT_SHADER, fragment);
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glBindAttribLocation(program, 0, "position");
    glBindAttribLocation(program, 1, "texcoord");
    glLinkProgram(program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        glGetProgramInfoLog(program, sizeof log, nullptr, log);
        ADD_FAILURE() << "program did not link: " << log;
    }
    return program;
}

GLuint colourProgram() {
    return buildProgram(vertexSource, R"(#version 120
uniform vec4 colour;
void main() { gl_FragColor = colour; }
)");
}

GLuint textureProgram() {
    return buildProgram(vertexSource, R"(#version 120
uniform sampler2D texture;
varying vec2 uv;
void main() { gl_FragColor = texture2D(texture, uv); }
)");
}

void drawQuad(float x0, float y0, float x1, float y1, float z) {
    const DriverLock driver;
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glUniform1f(glGetUniformLocation(GLuint(program), "depth"), z);
    const GLfloat positions[] = {x0, y0, x1, y0, x1, y1, x0, y1};
    const GLfloat texcoords[] = {0, 0, 1, 0, 1, 1, 0, 1};
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, positions);
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 0, texcoords);
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
    glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
    glDisableVertexAttribArray(0);
    glDisableVertexAttribArray(1);
}

GLuint uploadTexture(const QImage& image, GLint filter) {
    const QImage pixels = image.convertToFormat(QImage::Format_RGBA8888).mirrored(false, true);
    const DriverLock driver;
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, pixels.width(), pixels.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 pixels.constBits());
    return texture;
}

bool near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance && std::abs(qAlpha(a) - qAlpha(b)) <= tolerance;
}

} // namespace gltest
