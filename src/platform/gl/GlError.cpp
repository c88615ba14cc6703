#include "platform/gl/GlError.h"

#include <QDebug>

namespace platform::gl {

QString errorName(GLenum error) {
    switch (error) {
    case GL_NO_ERROR:
        return QStringLiteral("GL_NO_ERROR");
    case GL_INVALID_ENUM:
        return QStringLiteral("GL_INVALID_ENUM");
    case GL_INVALID_VALUE:
        return QStringLiteral("GL_INVALID_VALUE");
    case GL_INVALID_OPERATION:
        return QStringLiteral("GL_INVALID_OPERATION");
    case GL_STACK_OVERFLOW:
        return QStringLiteral("GL_STACK_OVERFLOW");
    case GL_STACK_UNDERFLOW:
        return QStringLiteral("GL_STACK_UNDERFLOW");
    case GL_OUT_OF_MEMORY:
        return QStringLiteral("GL_OUT_OF_MEMORY");
    case GL_INVALID_FRAMEBUFFER_OPERATION:
        return QStringLiteral("GL_INVALID_FRAMEBUFFER_OPERATION");
    case GL_CONTEXT_LOST:
        return QStringLiteral("GL_CONTEXT_LOST");
    default:
        return QStringLiteral("GL error 0x%1").arg(error, 4, 16, QLatin1Char('0'));
    }
}

QStringList drainErrors() {
    // An implementation keeps at most a handful of error flags; a lost context answers the same error
    // forever.
    constexpr int maxReads = 32;
    QStringList found;
    for (int i = 0; i < maxReads; ++i) {
        const GLenum error = glGetError();
        if (error == GL_NO_ERROR)
            break;
        found << errorName(error);
        if (error == GL_CONTEXT_LOST)
            break;
    }
    return found;
}

int logErrors(const char* where) {
    const QStringList errors = drainErrors();
    for (const QString& error : errors)
        qWarning().noquote() << error << "after" << where;
    return int(errors.size());
}

} // namespace platform::gl
