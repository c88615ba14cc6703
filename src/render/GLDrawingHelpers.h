#pragma once

#include "platform/gl/GlApi.h"

#include <QByteArray>

#include <cstdint>
#include <vector>

// Meshes, stand-alone shader building and the one-line log the renderer's helpers print through.

// A cube of 24 vertices (4 per face) and 36 indices, positions multiplied by `scale`. Each out buffer that
// is not null is filled: positions (3 floats a vertex), normals (3), texture coordinates (2), indices.
// Answers 36.
int generateCubeMesh(float scale, std::vector<float>* vertices, std::vector<float>* normals,
                     std::vector<float>* texCoords, std::vector<std::uint16_t>* indices);

// A sphere of `slices` slices and slices / 2 parallels; fills the buffers as the cube does and answers the
// index count.
int generateSphereMesh(int slices, float radius, std::vector<float>* vertices, std::vector<float>* normals,
                       std::vector<float>* texCoords, std::vector<std::uint16_t>* indices);

// Compiles one shader; on failure prints "Error compiling shader:\n<log>\n" and answers 0.
GLuint compileShaderSource(GLenum type, const QByteArray& source);
// Compiles and links both shaders into a new program; on failure prints "Error linking program:\n<log>\n"
// (or the compile message) and answers 0. The program keeps no shader objects of its own.
GLuint linkShaderProgram(const QByteArray& vertexSource, const QByteArray& fragmentSource);

// printf-style text on standard output, cut to 1023 bytes, with no line end added.
void logMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Sets both words of the record to 0; a null pointer is ignored.
void clearPair(std::uint32_t* pair);
