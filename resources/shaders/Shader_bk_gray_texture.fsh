#version 120
// The picture in grey, keeping its transparency.
uniform sampler2D texture;
varying vec2 v_texcoord;

void main() {
    vec4 colour = texture2D(texture, v_texcoord);
    float luma = dot(colour.rgb, vec3(0.2125, 0.7154, 0.0721));
    gl_FragColor = vec4(vec3(luma), colour.a);
}
