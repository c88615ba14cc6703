#pragma once

#include "render/ShaderProgramObject.h"

#include <memory>

// The seven programs every drawer shares, built once per share group (the preview's main context and every
// context that shares with it see the same programs).
struct SharedShaderPrograms {
    ShaderProgramObject Shader_one_texture;
    ShaderProgramObject Shader_one_texture_video;
    ShaderProgramObject Shader_one_gray_texture;
    ShaderProgramObject Shader_bk_gray_texture;
    ShaderProgramObject Shader_two_texture;
    ShaderProgramObject Shader_transition_mask;
    ShaderProgramObject Shader_alpha_texture;
    // Whether every program built.
    bool complete = false;

    // Builds the seven for the share group of the current context (replacing any it had) and answers them.
    // Needs a context current through platform::gl::Context::Scope.
    static std::shared_ptr<SharedShaderPrograms> load();
    // The programs of the current context's share group; built on first use when none were loaded. Null
    // with no current context.
    static std::shared_ptr<SharedShaderPrograms> current();

    ShaderProgramObject* byName(const QString& name);
};
