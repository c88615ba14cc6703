#include "render/SharedShaderPrograms.h"

#include "platform/gl/DriverLock.h"
#include "platform/gl/ShareGroup.h"

#include <map>
#include <mutex>

using platform::gl::ShareGroup;

namespace {

struct GroupPrograms {
    std::weak_ptr<ShareGroup> group;
    std::shared_ptr<SharedShaderPrograms> programs;
};

std::mutex registryMutex;
std::map<const ShareGroup*, GroupPrograms> registry;

// Forgets the programs of share groups whose last context has gone (GL freed the objects with it). The
// programs' own names keep their group object alive, so the count of contexts is what tells.
void dropExpired() {
    for (auto it = registry.begin(); it != registry.end();) {
        const auto group = it->second.group.lock();
        it = !group || group->contextCount() == 0 ? registry.erase(it) : std::next(it);
    }
}

void describe(ShaderProgramObject& shader, const char* file, const QStringList& attributes,
              const QStringList& uniforms) {
    shader.setAttriKey(attributes);
    shader.setUniformKey(uniforms);
    shader.setShaderFileName(QString::fromLatin1(file));
}

std::shared_ptr<SharedShaderPrograms> build() {
    auto programs = std::make_shared<SharedShaderPrograms>();
    const QStringList one = {"position", "texcoord"};
    const QStringList two = {"position", "texcoord", "texcoord1"};
    describe(programs->Shader_one_texture, "Shader_one_texture", one, {"texture", "mvp"});
    describe(programs->Shader_one_texture_video, "Shader_one_texture_video", one, {"texture", "mvp"});
    describe(programs->Shader_one_gray_texture, "Shader_one_gray_texture", two,
             {"texture", "texture1", "mvp", "total", "current", "bGray", "colorBlend"});
    describe(programs->Shader_bk_gray_texture, "Shader_bk_gray_texture", one, {"texture", "mvp"});
    describe(programs->Shader_two_texture, "Shader_two_texture", two,
             {"texture", "texture1", "blendRato", "mvp"});
    describe(programs->Shader_transition_mask, "Shader_transition_mask", one,
             {"texture", "texture1", "texture2", "BlendFactor", "mvp"});
    describe(programs->Shader_alpha_texture, "Shader_alpha_texture", one, {"texture", "mvp", "alpha"});
    // The order in which the programs have always been loaded.
    ShaderProgramObject* order[] = {&programs->Shader_one_texture,      &programs->Shader_one_texture_video,
                                    &programs->Shader_transition_mask,  &programs->Shader_two_texture,
                                    &programs->Shader_one_gray_texture, &programs->Shader_bk_gray_texture,
                                    &programs->Shader_alpha_texture};
    programs->complete = true;
    for (ShaderProgramObject* shader : order)
        programs->complete = shader->loadShaders() && programs->complete;
    return programs;
}

} // namespace

std::shared_ptr<SharedShaderPrograms> SharedShaderPrograms::load() {
    const std::shared_ptr<ShareGroup> group = ShareGroup::current();
    if (!group)
        return nullptr;
    std::shared_ptr<SharedShaderPrograms> programs;
    {
        const platform::gl::DriverLock driver;
        programs = build();
    }
    const std::lock_guard lock(registryMutex);
    dropExpired();
    registry[group.get()] = {group, programs};
    return programs;
}

std::shared_ptr<SharedShaderPrograms> SharedShaderPrograms::current() {
    const std::shared_ptr<ShareGroup> group = ShareGroup::current();
    if (!group)
        return nullptr;
    {
        const std::lock_guard lock(registryMutex);
        dropExpired();
        const auto found = registry.find(group.get());
        if (found != registry.end())
            return found->second.programs;
    }
    return load();
}

ShaderProgramObject* SharedShaderPrograms::byName(const QString& name) {
    ShaderProgramObject* all[] = {
        &Shader_one_texture, &Shader_one_texture_video, &Shader_one_gray_texture, &Shader_bk_gray_texture,
        &Shader_two_texture, &Shader_transition_mask,   &Shader_alpha_texture};
    for (ShaderProgramObject* shader : all)
        if (shader->shaderFileName() == name)
            return shader;
    return nullptr;
}
