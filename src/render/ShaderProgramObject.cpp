#include "render/ShaderProgramObject.h"

#include "platform/foundation/StandardPaths.h"

#include <QFile>

using platform::gl::ObjectKind;
using platform::gl::ObjectName;

namespace {

// Deletes what it holds unless released: the shaders of a load that failed half-way.
class ShaderGuard {
public:
    ~ShaderGuard() {
        for (GLuint shader : shaders)
            if (shader)
                glDeleteShader(shader);
    }
    GLuint shaders[2] = {0, 0};
};

QString shaderPath(const QString& name, const char* type) {
    return platform::paths::pathForResource(name, QString::fromLatin1(type), QStringLiteral("shaders"));
}

} // namespace

void ShaderProgramObject::setAttriKey(const QStringList& names) {
    attributes = names;
    attriDict.clear();
    for (int i = 0; i < names.size(); ++i)
        attriDict.insert(names[i], i);
}

void ShaderProgramObject::setUniformKey(const QStringList& names) {
    uniforms = names;
    uniformDict.clear();
    for (const QString& name : names)
        uniformDict.insert(name, 0);
}

void ShaderProgramObject::setShaderFileName(const QString& name) {
    const std::lock_guard lock(nameMutex);
    fileName = name;
}

QString ShaderProgramObject::shaderFileName() const {
    const std::lock_guard lock(nameMutex);
    return fileName;
}

bool ShaderProgramObject::loadShaders() {
    programName.reset();
    const QString name = shaderFileName();
    ShaderGuard guard;
    if (!compileShader(&guard.shaders[0], GL_VERTEX_SHADER, shaderPath(name, "vsh")) ||
        !compileShader(&guard.shaders[1], GL_FRAGMENT_SHADER, shaderPath(name, "fsh")))
        return false;
    ObjectName program(ObjectKind::Program, glCreateProgram());
    if (!program)
        return false;
    glAttachShader(program.get(), guard.shaders[0]);
    glAttachShader(program.get(), guard.shaders[1]);
    for (int i = 0; i < attributes.size(); ++i)
        glBindAttribLocation(program.get(), GLuint(attriDict.value(attributes[i])),
                             attributes[i].toLatin1().constData());
    if (!linkProgram(program.get()))
        return false; // the guard and `program` delete what was made
    for (const QString& uniform : uniforms)
        uniformDict.insert(uniform, glGetUniformLocation(program.get(), uniform.toLatin1().constData()));
    programName = std::move(program);
    return true;
}

bool ShaderProgramObject::compileShader(GLuint* shader, GLenum type, const QString& path) {
    *shader = 0;
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray source = file.readAll();
    const GLuint made = glCreateShader(type);
    if (made == 0)
        return false;
    const char* text = source.constData();
    const GLint length = GLint(source.size());
    glShaderSource(made, 1, &text, &length);
    glCompileShader(made);
    GLint compiled = GL_FALSE;
    glGetShaderiv(made, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_TRUE) {
        glDeleteShader(made);
        return false;
    }
    *shader = made;
    return true;
}

bool ShaderProgramObject::linkProgram(GLuint program) {
    glLinkProgram(program);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    return linked == GL_TRUE;
}

bool ShaderProgramObject::validateProgram() const {
    const GLuint program = programName.get();
    glValidateProgram(program);
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    if (length > 0) {
        QByteArray log(length, '\0');
        glGetProgramInfoLog(program, length, nullptr, log.data()); // read so the driver can drop it
    }
    GLint valid = GL_FALSE;
    glGetProgramiv(program, GL_VALIDATE_STATUS, &valid);
    return valid == GL_TRUE;
}

GLint ShaderProgramObject::uniformValue(const QString& name) const {
    return uniformDict.value(name, 0);
}

GLint ShaderProgramObject::attriValue(const QString& name) const {
    return attriDict.value(name, 0);
}

void ShaderProgramObject::useMe() const {
    glUseProgram(programName.get());
}
