#include "platform/gl/ShareGroup.h"

#include "platform/gl/Context.h"
#include "platform/gl/DriverLock.h"
#include "platform/gl/GlError.h"

namespace platform::gl {

std::shared_ptr<ShareGroup> ShareGroup::current() {
    const Context* context = Context::current();
    return context ? context->shareGroup() : nullptr;
}

bool ShareGroup::isCurrentOnThisThread() const {
    const Context* context = Context::current();
    return context && context->shareGroup().get() == this;
}

namespace {

void deleteObjectNow(ObjectKind kind, GLuint name) {
    switch (kind) {
    case ObjectKind::Texture:
        glDeleteTextures(1, &name);
        break;
    case ObjectKind::Framebuffer:
        glDeleteFramebuffers(1, &name);
        break;
    case ObjectKind::Renderbuffer:
        glDeleteRenderbuffers(1, &name);
        break;
    case ObjectKind::Buffer:
        glDeleteBuffers(1, &name);
        break;
    case ObjectKind::Program:
        glDeleteProgram(name);
        break;
    case ObjectKind::Shader:
        glDeleteShader(name);
        break;
    }
}

} // namespace

void ShareGroup::deleteObject(ObjectKind kind, GLuint name) {
    if (name == 0)
        return;
    if (isCurrentOnThisThread()) {
        const DriverLock driver;
        deleteObjectNow(kind, name);
        return;
    }
    const std::lock_guard lock(mutex);
    if (contexts > 0)
        pending.emplace_back(kind, name);
}

void ShareGroup::deletePending() {
    std::vector<std::pair<ObjectKind, GLuint>> names;
    {
        const std::lock_guard lock(mutex);
        names.swap(pending);
    }
    if (names.empty())
        return;
    const DriverLock driver;
    for (const auto& [kind, name] : names)
        deleteObjectNow(kind, name);
}

std::size_t ShareGroup::pendingCount() const {
    const std::lock_guard lock(mutex);
    return pending.size();
}

int ShareGroup::contextCount() const {
    const std::lock_guard lock(mutex);
    return contexts;
}

void ShareGroup::contextCreated() {
    const std::lock_guard lock(mutex);
    ++contexts;
}

void ShareGroup::contextDestroyed() {
    const std::lock_guard lock(mutex);
    // The last context takes the group's objects with it, so nothing queued is left to delete.
    if (--contexts == 0)
        pending.clear();
}

ObjectName::ObjectName(ObjectKind kind, GLuint name) : ObjectName(kind, name, ShareGroup::current()) {
    if (!group)
        throw GlError(QStringLiteral("A GL object was made with no current context"));
}

ObjectName::ObjectName(ObjectKind kind, GLuint name, std::shared_ptr<ShareGroup> group)
    : objectKind(kind), objectName(name), group(std::move(group)) {}

ObjectName::ObjectName(ObjectName&& other) noexcept
    : objectKind(other.objectKind), objectName(std::exchange(other.objectName, 0)),
      group(std::move(other.group)) {}

ObjectName& ObjectName::operator=(ObjectName&& other) noexcept {
    if (this != &other) {
        reset();
        objectKind = other.objectKind;
        objectName = std::exchange(other.objectName, 0);
        group = std::move(other.group);
    }
    return *this;
}

void ObjectName::reset() {
    if (objectName != 0 && group)
        group->deleteObject(objectKind, objectName);
    objectName = 0;
    group.reset();
}

GLuint ObjectName::release() {
    group.reset();
    return std::exchange(objectName, 0);
}

namespace {
template <typename Gen> ObjectName generate(ObjectKind kind, Gen gen) {
    if (!ShareGroup::current())
        throw GlError(QStringLiteral("A GL object was asked for with no current context"));
    const DriverLock driver;
    GLuint name = 0;
    gen(1, &name);
    if (name == 0)
        throw GlError(QStringLiteral("GL gave no object name"));
    return ObjectName(kind, name);
}
} // namespace

ObjectName ObjectName::genTexture() {
    return generate(ObjectKind::Texture, glGenTextures);
}

ObjectName ObjectName::genFramebuffer() {
    return generate(ObjectKind::Framebuffer, glGenFramebuffers);
}

ObjectName ObjectName::genRenderbuffer() {
    return generate(ObjectKind::Renderbuffer, glGenRenderbuffers);
}

ObjectName ObjectName::genBuffer() {
    return generate(ObjectKind::Buffer, glGenBuffers);
}

} // namespace platform::gl
