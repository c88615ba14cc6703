#version 120
// One plane of a YUV frame: a weighted sum of red, green and blue plus an offset, limited to the plane's
// range, left in the red channel for a one-channel read-back.
uniform sampler2D texture;
uniform vec4 coeff;
uniform float minValue;
uniform float maxValue;
varying vec2 v_texcoord;

void main() {
    vec3 rgb = texture2D(texture, v_texcoord).rgb;
    float value = clamp(dot(coeff.rgb, rgb) + coeff.a, minValue, maxValue);
    gl_FragColor = vec4(value, 0.0, 0.0, 1.0);
}
