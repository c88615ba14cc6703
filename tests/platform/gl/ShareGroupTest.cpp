#include "GlTestSupport.h"

#include "platform/gl/DriverLock.h"
#include "platform/gl/GlError.h"
#include "platform/gl/ShareGroup.h"

#include <thread>

using namespace platform::gl;

namespace {

// A texture that exists as an object (a name only becomes one when first bound).
ObjectName makeTexture() {
    ObjectName texture = ObjectName::genTexture();
    const DriverLock driver;
    glBindTexture(GL_TEXTURE_2D, texture.get());
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

bool isTexture(GLuint name) {
    const DriverLock driver;
    return glIsTexture(name);
}

void destroyOnBareThread(ObjectName& name) {
    std::thread([&name] { name.reset(); }).join();
}

} // namespace

TEST_F(GlTest, ObjectDroppedWithoutContextIsDeletedByNextScope) {
    ObjectName texture;
    {
        const Context::Scope scope(*context);
        texture = makeTexture();
    }
    const GLuint name = texture.get();
    destroyOnBareThread(texture);
    EXPECT_EQ(texture.get(), 0u);
    EXPECT_EQ(context->shareGroup()->pendingCount(), 1u);
    {
        const Context::Scope scope(*context);
        EXPECT_FALSE(isTexture(name));
    }
    EXPECT_EQ(context->shareGroup()->pendingCount(), 0u);
}

TEST_F(GlTest, ObjectDroppedWithContextCurrentIsDeletedAtOnce) {
    const Context::Scope scope(*context);
    ObjectName texture = makeTexture();
    const GLuint name = texture.get();
    ASSERT_TRUE(isTexture(name));
    texture.reset();
    EXPECT_FALSE(isTexture(name));
    EXPECT_EQ(context->shareGroup()->pendingCount(), 0u);
}

TEST_F(GlTest, AnyContextOfTheGroupDeletesQueuedNames) {
    const auto loader = Context::createShared(*context);
    ObjectName texture;
    {
        const Context::Scope scope(*context);
        texture = makeTexture();
    }
    const GLuint name = texture.get();
    destroyOnBareThread(texture);
    std::thread([&] { const Context::Scope scope(*loader); }).join();
    EXPECT_EQ(context->shareGroup()->pendingCount(), 0u);
    const Context::Scope scope(*context);
    EXPECT_FALSE(isTexture(name));
}

TEST_F(GlTest, NameOfOneGroupIsNeverDeletedInAnother) {
    const auto stranger = Context::create();
    ObjectName ours;
    {
        const Context::Scope scope(*context);
        ours = makeTexture();
    }
    const Context::Scope strangerScope(*stranger);
    const ObjectName theirs =
        makeTexture(); // fresh groups count names alike, so this is likely the same number
    ours.reset();
    EXPECT_TRUE(isTexture(theirs.get())) << "the other group's texture was deleted";
    EXPECT_EQ(context->shareGroup()->pendingCount(), 1u);
}

TEST_F(GlTest, EveryKindOfObjectIsQueuedAndDeleted) {
    std::vector<ObjectName> names;
    GLuint framebuffer = 0, renderbuffer = 0, buffer = 0, program = 0, shader = 0;
    {
        const Context::Scope scope(*context);
        names.push_back(makeTexture());
        const DriverLock driver;
        names.push_back(ObjectName::genFramebuffer());
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer = names.back().get());
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        names.push_back(ObjectName::genRenderbuffer());
        glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer = names.back().get());
        glBindRenderbuffer(GL_RENDERBUFFER, 0);
        names.push_back(ObjectName::genBuffer());
        glBindBuffer(GL_ARRAY_BUFFER, buffer = names.back().get());
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        names.emplace_back(ObjectKind::Program, program = glCreateProgram());
        names.emplace_back(ObjectKind::Shader, shader = glCreateShader(GL_VERTEX_SHADER));
        EXPECT_TRUE(glIsFramebuffer(framebuffer) && glIsRenderbuffer(renderbuffer) && glIsBuffer(buffer) &&
                    glIsProgram(program) && glIsShader(shader));
    }
    std::thread([&names] { names.clear(); }).join();
    EXPECT_EQ(context->shareGroup()->pendingCount(), 6u);
    const Context::Scope scope(*context);
    const DriverLock driver;
    EXPECT_FALSE(glIsFramebuffer(framebuffer));
    EXPECT_FALSE(glIsRenderbuffer(renderbuffer));
    EXPECT_FALSE(glIsBuffer(buffer));
    EXPECT_FALSE(glIsProgram(program));
    EXPECT_FALSE(glIsShader(shader));
    EXPECT_TRUE(drainErrors().isEmpty());
}

TEST_F(GlTest, QueueIsDroppedWithTheLastContextOfTheGroup) {
    ObjectName texture;
    {
        const Context::Scope scope(*context);
        texture = makeTexture();
    }
    const std::shared_ptr<ShareGroup> group = context->shareGroup();
    ObjectName second(ObjectKind::Texture, 77, group);
    destroyOnBareThread(texture);
    EXPECT_EQ(group->pendingCount(), 1u);
    EXPECT_EQ(group->contextCount(), 1);
    context.reset();
    EXPECT_EQ(group->contextCount(), 0);
    EXPECT_EQ(group->pendingCount(), 0u);
    second.reset(); // outlived every context: there is nothing left to delete it in
    EXPECT_EQ(group->pendingCount(), 0u);
}

TEST_F(GlTest, ObjectNameOwnershipMovesAndReleases) {
    const Context::Scope scope(*context);
    ObjectName first = makeTexture();
    const GLuint firstName = first.get();
    ObjectName moved(std::move(first));
    EXPECT_EQ(first.get(), 0u);
    EXPECT_EQ(moved.get(), firstName);
    EXPECT_EQ(moved.shareGroup(), context->shareGroup());
    ObjectName other = makeTexture();
    const GLuint otherName = other.get();
    moved = std::move(other); // the texture `moved` held goes
    EXPECT_FALSE(isTexture(firstName));
    EXPECT_TRUE(isTexture(otherName));
    const GLuint released = moved.release();
    EXPECT_EQ(released, otherName);
    EXPECT_FALSE(moved);
    EXPECT_TRUE(isTexture(otherName)) << "release deleted the texture";
    const DriverLock driver;
    glDeleteTextures(1, &released);
}

TEST_F(GlTest, ObjectNamesNeedACurrentContext) {
    EXPECT_THROW(ObjectName::genTexture(), GlError);
    EXPECT_THROW(ObjectName(ObjectKind::Texture, 5), GlError);
    EXPECT_EQ(ShareGroup::current(), nullptr);
}
