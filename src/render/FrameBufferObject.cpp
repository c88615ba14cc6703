#include "render/FrameBufferObject.h"

#include "model/SlideshowProject.h"
#include "platform/gl/DriverLock.h"
#include "platform/gl/GlError.h"

bool FrameBufferObject::initFBOWithWidth(unsigned w, unsigned h) {
    const platform::gl::DriverLock driver;
    GLint limit = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &limit);
    maxSize = limit;
    if (w == 0 || h == 0 || GLint64(limit) <= GLint64(w) || GLint64(limit) <= GLint64(h))
        return false;
    frame.reset(); // the old names go before the new ones are made
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

bool FrameBufferObject::setTexture(GLuint name) {
    return frame && frame->attachColourTexture(name);
}
