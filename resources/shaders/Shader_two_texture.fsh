#version 120
// A cross-fade: "blendRato" 0 shows the first picture, 1 the second.
uniform sampler2D texture;
uniform sampler2D texture1;
uniform float blendRato;
varying vec2 v_texcoord;
varying vec2 v_texcoord1;

void main() {
    vec4 first = texture2D(texture, v_texcoord);
    vec4 second = texture2D(texture1, v_texcoord1);
    gl_FragColor = mix(first, second, clamp(blendRato, 0.0, 1.0));
}
