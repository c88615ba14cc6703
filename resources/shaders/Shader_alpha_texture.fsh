#version 120
// The picture made partly transparent as a whole: the show's fade in and out.
uniform sampler2D texture;
uniform float alpha;
varying vec2 v_texcoord;

void main() {
    vec4 colour = texture2D(texture, v_texcoord);
    gl_FragColor = vec4(colour.rgb, colour.a * clamp(alpha, 0.0, 1.0));
}
