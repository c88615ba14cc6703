#include "render/GLDrawingHelpers.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace {

struct CubeFace {
    float corners[4][3];
    float normal[3];
    float texCoords[4][2];
    std::uint16_t indices[6];
};

// Corners of a unit cube centred on the origin; the order of faces and corners is part of the mesh's
// contract (the flip-over transition draws faces by index range).
const CubeFace cubeFaces[6] = {
    {{{-.5f, -.5f, -.5f}, {-.5f, -.5f, .5f}, {.5f, -.5f, .5f}, {.5f, -.5f, -.5f}},
     {0, -1, 0},
     {{0, 1}, {0, 0}, {1, 0}, {1, 1}},
     {0, 2, 1, 0, 3, 2}},
    {{{.5f, .5f, .5f}, {.5f, .5f, -.5f}, {-.5f, .5f, -.5f}, {-.5f, .5f, .5f}},
     {0, 1, 0},
     {{1, 1}, {1, 0}, {0, 0}, {0, 1}},
     {4, 5, 6, 4, 6, 7}},
    {{{-.5f, -.5f, -.5f}, {-.5f, .5f, -.5f}, {.5f, .5f, -.5f}, {.5f, -.5f, -.5f}},
     {0, 0, -1},
     {{0, 1}, {0, 0}, {1, 0}, {1, 1}},
     {8, 9, 10, 8, 10, 11}},
    {{{-.5f, -.5f, .5f}, {-.5f, .5f, .5f}, {.5f, .5f, .5f}, {.5f, -.5f, .5f}},
     {0, 0, 1},
     {{0, 1}, {0, 0}, {1, 0}, {1, 1}},
     {12, 15, 14, 12, 14, 13}},
    {{{-.5f, -.5f, .5f}, {-.5f, .5f, .5f}, {-.5f, .5f, -.5f}, {-.5f, -.5f, -.5f}},
     {-1, 0, 0},
     {{1, 1}, {1, 0}, {0, 0}, {0, 1}},
     {16, 17, 18, 16, 18, 19}},
    {{{.5f, -.5f, .5f}, {.5f, .5f, .5f}, {.5f, .5f, -.5f}, {.5f, -.5f, -.5f}},
     {1, 0, 0},
     {{0, 1}, {0, 0}, {1, 0}, {1, 1}},
     {20, 23, 22, 20, 22, 21}},
};

QByteArray infoLog(GLuint object, bool isProgram) {
    GLint length = 0;
    if (isProgram)
        glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length);
    else
        glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    if (length <= 1)
        return QByteArray();
    QByteArray log(length, '\0');
    if (isProgram)
        glGetProgramInfoLog(object, length, nullptr, log.data());
    else
        glGetShaderInfoLog(object, length, nullptr, log.data());
    log.truncate(qstrnlen(log.constData(), log.size()));
    return log;
}

} // namespace

int generateCubeMesh(float scale, std::vector<float>* vertices, std::vector<float>* normals,
                     std::vector<float>* texCoords, std::vector<std::uint16_t>* indices) {
    for (auto* buffer : {vertices, normals, texCoords})
        if (buffer)
            buffer->clear();
    if (indices)
        indices->clear();
    for (const CubeFace& face : cubeFaces) {
        for (int corner = 0; corner < 4; ++corner) {
            for (int axis = 0; axis < 3; ++axis) {
                if (vertices)
                    vertices->push_back(face.corners[corner][axis] * scale);
                if (normals)
                    normals->push_back(face.normal[axis]);
            }
            if (texCoords)
                texCoords->insert(texCoords->end(), face.texCoords[corner], face.texCoords[corner] + 2);
        }
        if (indices)
            indices->insert(indices->end(), face.indices, face.indices + 6);
    }
    return 36;
}

int generateSphereMesh(int slices, float radius, std::vector<float>* vertices, std::vector<float>* normals,
                       std::vector<float>* texCoords, std::vector<std::uint16_t>* indices) {
    const int parallels = slices / 2;
    const float step = 2.0f * 3.1415927f / float(slices);
    for (auto* buffer : {vertices, normals, texCoords})
        if (buffer)
            buffer->clear();
    if (indices)
        indices->clear();
    for (int i = 0; i <= parallels; ++i)
        for (int j = 0; j <= slices; ++j) {
            const float position[3] = {radius * std::sin(step * i) * std::sin(step * j),
                                       radius * std::cos(step * i),
                                       radius * std::sin(step * i) * std::cos(step * j)};
            for (int axis = 0; axis < 3; ++axis) {
                if (vertices)
                    vertices->push_back(position[axis]);
                if (normals)
                    normals->push_back(position[axis] / radius);
            }
            if (texCoords) {
                texCoords->push_back(float(j) / float(slices));
                texCoords->push_back((1.0f - float(i)) / float(parallels - 1));
            }
        }
    if (indices)
        for (int i = 0; i < parallels; ++i)
            for (int j = 0; j < slices; ++j) {
                const auto k = std::uint16_t(i * (slices + 1) + j);
                const auto below = std::uint16_t(k + slices + 1);
                indices->insert(indices->end(), {k, below, std::uint16_t(below + 1), k,
                                                 std::uint16_t(below + 1), std::uint16_t(k + 1)});
            }
    return parallels * slices * 6;
}

GLuint compileShaderSource(GLenum type, const QByteArray& source) {
    const GLuint shader = glCreateShader(type);
    if (shader == 0)
        return 0;
    const char* text = source.constData();
    const GLint length = GLint(source.size());
    glShaderSource(shader, 1, &text, &length);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled == GL_TRUE)
        return shader;
    const QByteArray log = infoLog(shader, false);
    if (!log.isEmpty())
        logMessage("Error compiling shader:\n%s\n", log.constData());
    glDeleteShader(shader);
    return 0;
}

GLuint linkShaderProgram(const QByteArray& vertexSource, const QByteArray& fragmentSource) {
    const GLuint vertex = compileShaderSource(GL_VERTEX_SHADER, vertexSource);
    if (vertex == 0)
        return 0;
    const GLuint fragment = compileShaderSource(GL_FRAGMENT_SHADER, fragmentSource);
    if (fragment == 0) {
        glDeleteShader(vertex);
        return 0;
    }
    const GLuint program = glCreateProgram();
    if (program != 0) {
        glAttachShader(program, vertex);
        glAttachShader(program, fragment);
        glLinkProgram(program);
    }
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    if (program == 0)
        return 0;
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked == GL_TRUE)
        return program;
    const QByteArray log = infoLog(program, true);
    if (!log.isEmpty())
        logMessage("Error linking program:\n%s\n", log.constData());
    glDeleteProgram(program);
    return 0;
}

void logMessage(const char* format, ...) {
    char buffer[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    std::fputs(buffer, stdout);
    std::fflush(stdout);
}

void clearPair(std::uint32_t* pair) {
    if (!pair)
        return;
    pair[0] = 0;
    pair[1] = 0;
}
