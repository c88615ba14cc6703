#include "render/FrameBufferObject.h"

#include "model/SlideshowProject.h"
#include "platform/gl/GlError.h"

#include <QSize>

bool FrameBufferObject::initFBOWithWidth(unsigned w, unsigned h) {
    GLint limit = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &limit);
    maxSize = limit;
    if (w == 0 || h == 0 || GLint64(limit) <= GLint64(w) || GLint64(limit) <= GLint64(h))
        return false;
    frame.reset(); // the old names go before the new ones are made
    borrowed = 0;
    width = int(w);
    height = int(h);
    try {
        frame.emplace(width, height);
    } catch (const platform::gl::GlError&) {
        return false;
    }
    return true;
}

bool FrameBufferObject::initFBO() {
    const auto project = SlideshowProject::currentMainProject();
    if (!project || project->nScreenWidth() <= 0 || project->nScreenHeight() <= 0)
        return false;
    return initFBOWithWidth(unsigned(project->nScreenWidth()), unsigned(project->nScreenHeight()));
}

bool FrameBufferObject::switchToFBO() {
    glBindFramebuffer(GL_FRAMEBUFFER, framebufferName());
    if (!frame || glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        return false;
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, width, height);
    return true;
}

bool FrameBufferObject::switchbackToSystemFBO(GLuint target) {
    glBindFramebuffer(GL_FRAMEBUFFER, target);
    return true;
}

namespace {

// Attaches `texture` as the colour of `framebuffer` and answers whether that is complete; the caller's
// framebuffer binding is kept.
bool attachColour(GLuint framebuffer, GLuint texture) {
    GLint previous = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previous));
    return complete;
}

QSize textureSize(GLuint texture) {
    if (texture == 0 || !glIsTexture(texture))
        return QSize();
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    platform::gl::drainErrors();
    glBindTexture(GL_TEXTURE_2D, texture);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    const bool twoDimensional = glGetError() == GL_NO_ERROR; // binding another kind of texture fails
    glBindTexture(GL_TEXTURE_2D, GLuint(previous));
    return twoDimensional ? QSize(w, h) : QSize();
}

} // namespace

bool FrameBufferObject::setTexture(GLuint name) {
    if (!frame)
        return false;
    if (name == 0 || name == frame->colourTexture()) {
        if (borrowed && !attachColour(frame->name(), frame->colourTexture()))
            return false;
        borrowed = 0;
        return true;
    }
    if (textureSize(name) != QSize(width, height))
        return false;
    if (!attachColour(frame->name(), name)) {
        attachColour(frame->name(), texture());
        return false;
    }
    borrowed = name;
    return true;
}
