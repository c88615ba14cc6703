#pragma once

#include "platform/gl/GlApi.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace platform::gl {

enum class ObjectKind { Texture, Framebuffer, Renderbuffer, Buffer, Program, Shader };

// The GL objects that a set of sharing contexts have in common, and the names waiting to be deleted in it.
// A GL name may only be deleted while a context of its share group is current; an owner that goes on a
// thread without one hands its name here, and the next Context::Scope of any context of the group deletes it.
//
// Framebuffers are container objects that GL does not promise to share; Mesa shares them, so a framebuffer
// queued here may be deleted by another context of the group. Owners that must be exact delete their
// framebuffers on the context that made them.
class ShareGroup {
public:
    ShareGroup() = default;
    ShareGroup(const ShareGroup&) = delete;
    ShareGroup& operator=(const ShareGroup&) = delete;

    // The group of the context current on this thread (made current through Context::Scope), or null.
    static std::shared_ptr<ShareGroup> current();
    // Whether a context of this group is current on the calling thread.
    bool isCurrentOnThisThread() const;

    // Deletes the name now when a context of this group is current on this thread, otherwise queues it.
    // A name of 0 is ignored; with no context of the group left alive the name is dropped, as GL has
    // already freed the object with the last context.
    void deleteObject(ObjectKind kind, GLuint name);
    void deleteTexture(GLuint name) { deleteObject(ObjectKind::Texture, name); }
    void deleteFramebuffer(GLuint name) { deleteObject(ObjectKind::Framebuffer, name); }
    void deleteRenderbuffer(GLuint name) { deleteObject(ObjectKind::Renderbuffer, name); }
    void deleteBuffer(GLuint name) { deleteObject(ObjectKind::Buffer, name); }
    void deleteProgram(GLuint name) { deleteObject(ObjectKind::Program, name); }
    void deleteShader(GLuint name) { deleteObject(ObjectKind::Shader, name); }

    // Deletes every queued name; a context of this group must be current on the calling thread.
    void deletePending();
    std::size_t pendingCount() const;
    int contextCount() const;

private:
    friend class Context;
    void contextCreated();
    void contextDestroyed();

    mutable std::mutex mutex;
    std::vector<std::pair<ObjectKind, GLuint>> pending;
    int contexts = 0;
};

// The sole owner of one GL object name. It remembers the share group that was current when it took the
// name, so it may be destroyed on any thread: the name goes through ShareGroup::deleteObject.
class ObjectName {
public:
    ObjectName() = default;
    // Takes `name` in the share group current on this thread; throws GlError when no context is current.
    ObjectName(ObjectKind kind, GLuint name);
    ObjectName(ObjectKind kind, GLuint name, std::shared_ptr<ShareGroup> group);
    ObjectName(ObjectName&& other) noexcept;
    ObjectName& operator=(ObjectName&& other) noexcept;
    ~ObjectName() { reset(); }

    // glGen*/glCreate* wrappers that take ownership of a fresh name in the current share group.
    static ObjectName genTexture();
    static ObjectName genFramebuffer();
    static ObjectName genRenderbuffer();
    static ObjectName genBuffer();

    GLuint get() const { return objectName; }
    ObjectKind kind() const { return objectKind; }
    const std::shared_ptr<ShareGroup>& shareGroup() const { return group; }
    explicit operator bool() const { return objectName != 0; }

    // Deletes the object (now or queued) and holds no name.
    void reset();
    // Gives up ownership without deleting; answers the name.
    GLuint release();

private:
    ObjectKind objectKind = ObjectKind::Texture;
    GLuint objectName = 0;
    std::shared_ptr<ShareGroup> group;
};

} // namespace platform::gl
