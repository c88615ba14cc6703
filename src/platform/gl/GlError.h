#pragma once

#include "platform/gl/GlApi.h"

#include <QString>
#include <QStringList>

#include <stdexcept>

namespace platform::gl {

// Raised when GL cannot be had or a GL object cannot be made; what() says why in plain words.
class GlError : public std::runtime_error {
public:
    explicit GlError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// "GL_INVALID_ENUM" and so on; unknown codes as "GL error 0x1234".
QString errorName(GLenum error);

// Reads glGetError until it answers GL_NO_ERROR and returns the names of the errors found, oldest first.
// Needs a current context; a lost context (which never clears) ends the loop after a bounded number of reads.
QStringList drainErrors();

// drainErrors() that also prints each error with `where` as a warning; answers the number found.
int logErrors(const char* where);

} // namespace platform::gl
