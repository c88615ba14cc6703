#version 120
// A blend through grey ("bGray" 1) or through a colour tint ("colorBlend"): during the first half the
// current picture ("texture") drains into the grey or tinted look, during the second half the next picture
// ("texture1") comes out of it. "current" runs from 0 to "total".
uniform sampler2D texture;
uniform sampler2D texture1;
uniform float total;
uniform float current;
uniform float bGray;
uniform vec3 colorBlend;
varying vec2 v_texcoord;
varying vec2 v_texcoord1;

vec3 treated(vec3 colour) {
    float luma = dot(colour, vec3(0.2125, 0.7154, 0.0721));
    vec3 tinted = clamp(vec3(luma) * colorBlend, 0.0, 1.0);
    return mix(tinted, vec3(luma), step(0.5, bGray));
}

void main() {
    float t = total > 0.0 ? clamp(current / total, 0.0, 1.0) : 1.0;
    vec4 from = texture2D(texture, v_texcoord);
    vec4 to = texture2D(texture1, v_texcoord1);
    if (t < 0.5) {
        gl_FragColor = vec4(mix(from.rgb, treated(from.rgb), t * 2.0), from.a);
    } else {
        gl_FragColor = vec4(mix(treated(to.rgb), to.rgb, t * 2.0 - 1.0), to.a);
    }
}
