#version 120
// The read-back copy: a quad given in view coordinates, no transform.
attribute vec4 position;
attribute vec2 texcoord;
varying vec2 v_texcoord;

void main() {
    v_texcoord = texcoord;
    gl_Position = position;
}
