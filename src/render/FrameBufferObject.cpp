#include "render/FrameBufferObject.h"

#include "model/SlideshowProject.h"

using platform::gl::ObjectName;

bool FrameBufferObject::initFBOWithWidth(unsigned w, unsigned h) {
    GLint limit = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &limit);
    maxSize = limit;
    if (w == 0 || h == 0 || GLint64(limit) <= GLint64(w) || GLint64(limit) <= GLint64(h))
        return false;
    GLint previousFramebuffer = 0, previousTexture = 0, previousRenderbuffer = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previousFramebuffer);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previousTexture);
    glGetIntegerv(GL_RENDERBUFFER_BINDING, &previousRenderbuffer);

    width = int(w);
    height = int(h);
    colour = ObjectName::genTexture();
    glBindTexture(GL_TEXTURE_2D, colour.get());
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    depthRenderbuffer = ObjectName::genRenderbuffer();
    glBindRenderbuffer(GL_RENDERBUFFER, depthRenderbuffer.get());
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    framebuffer = ObjectName::genFramebuffer();
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer.get());
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour.get(), 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthRenderbuffer.get());

    glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previousFramebuffer));
    glBindTexture(GL_TEXTURE_2D, GLuint(previousTexture));
    glBindRenderbuffer(GL_RENDERBUFFER, GLuint(previousRenderbuffer));
    return true;
}

bool FrameBufferObject::initFBO() {
    const auto project = SlideshowProject::currentMainProject();
    if (!project || project->nScreenWidth() <= 0 || project->nScreenHeight() <= 0)
        return false;
    return initFBOWithWidth(unsigned(project->nScreenWidth()), unsigned(project->nScreenHeight()));
}

bool FrameBufferObject::switchToFBO() {
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer.get());
    if (!framebuffer || glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
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
