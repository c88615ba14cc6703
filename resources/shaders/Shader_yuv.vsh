#version 120
// The whole frame on the whole target; the coordinates choose which way up it is read.
attribute vec4 position;
attribute vec2 texcoord;
varying vec2 v_texcoord;

void main() {
    v_texcoord = texcoord;
    gl_Position = position;
}
