#version 120
// The read-back copy: red and blue swapped, so that reading the result as RGBA bytes gives the blue, green,
// red, alpha order of the frame pipe; opaque, since the readers take no transparency.
uniform sampler2D texture;
varying vec2 v_texcoord;

void main() {
    gl_FragColor = vec4(texture2D(texture, v_texcoord).bgr, 1.0);
}
