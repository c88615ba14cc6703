#pragma once

#include "platform/gl/GlApi.h"
#include "platform/gl/ShareGroup.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <mutex>

// One GLSL program built from the resource pair "<shaderFileName>.vsh" and "<shaderFileName>.fsh" in the
// "shaders" resource folder, with its attribute locations fixed by position in the attribute list and its
// uniform locations looked up by name after linking.
//
//     ShaderProgramObject shader;
//     shader.setAttriKey({"position", "texcoord"});
//     shader.setUniformKey({"texture", "mvp"});
//     shader.setShaderFileName("Shader_one_texture");
//     shader.loadShaders();   // with a context current
//
// The program belongs to the share group current at load time and may be used on any context of it; it is
// deleted through that group when the object goes.
class ShaderProgramObject {
public:
    ShaderProgramObject() = default;
    ShaderProgramObject(const ShaderProgramObject&) = delete;
    ShaderProgramObject& operator=(const ShaderProgramObject&) = delete;

    void setAttriKey(const QStringList& names);
    void setUniformKey(const QStringList& names);
    void setShaderFileName(const QString& name);
    QString shaderFileName() const;

    // Builds the program from the resources. Any failure (a missing or unreadable file, a failed compile or
    // link) answers false, prints nothing and leaves no GL object behind: program() is then 0.
    bool loadShaders();
    // Compiles the file at `path` as a shader of `type` into *shader; a failed shader is deleted. Answers
    // false without making a shader when the file cannot be read.
    static bool compileShader(GLuint* shader, GLenum type, const QString& path);
    static bool linkProgram(GLuint program);
    bool validateProgram() const;

    // The location of a listed name; 0 for a name that is not listed (as the drawers have always relied on).
    GLint uniformValue(const QString& name) const;
    GLint attriValue(const QString& name) const;
    void useMe() const;
    GLuint program() const { return programName.get(); }

    const QStringList& attriKeyArray() const { return attributes; }
    const QStringList& uniformKeyArray() const { return uniforms; }

private:
    platform::gl::ObjectName programName;
    QStringList attributes;
    QHash<QString, GLint> attriDict;
    QStringList uniforms;
    QHash<QString, GLint> uniformDict;
    mutable std::mutex nameMutex;
    QString fileName;
};
