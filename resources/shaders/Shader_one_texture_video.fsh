#version 120
// A frame of a video clip; clip frames carry no transparency of their own.
uniform sampler2D texture;
varying vec2 v_texcoord;

void main() {
    gl_FragColor = vec4(texture2D(texture, v_texcoord).rgb, 1.0);
}
