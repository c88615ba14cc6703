#version 120
// One textured quad placed by "mvp".
attribute vec4 position;
attribute vec2 texcoord;
uniform mat4 mvp;
varying vec2 v_texcoord;

void main() {
    v_texcoord = texcoord;
    gl_Position = mvp * position;
}
