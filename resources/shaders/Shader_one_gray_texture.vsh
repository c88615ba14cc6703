#version 120
// A quad with two sets of texture coordinates, one for each picture it blends.
attribute vec4 position;
attribute vec2 texcoord;
attribute vec2 texcoord1;
uniform mat4 mvp;
varying vec2 v_texcoord;
varying vec2 v_texcoord1;

void main() {
    v_texcoord = texcoord;
    v_texcoord1 = texcoord1;
    gl_Position = mvp * position;
}
