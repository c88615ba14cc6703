#version 120
// A wipe shaped by a grey mask ("texture"): where the mask is dark the next picture ("texture1") shows
// first, light areas follow, and the current picture ("texture2") is left last. The soft edge keeps the
// boundary from stepping.
uniform sampler2D texture;
uniform sampler2D texture1;
uniform sampler2D texture2;
uniform float BlendFactor;
varying vec2 v_texcoord;

const float edge = 0.1;

void main() {
    float mask = texture2D(texture, v_texcoord).r;
    float front = BlendFactor * (1.0 + 2.0 * edge) - edge;
    float reveal = smoothstep(mask - edge, mask + edge, front);
    vec4 current = texture2D(texture2, v_texcoord);
    vec4 next = texture2D(texture1, v_texcoord);
    gl_FragColor = mix(current, next, reveal);
}
