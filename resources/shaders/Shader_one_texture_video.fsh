#version 120
// A frame of a video clip, sampled as it is: the reader hands its frames opaque. Forcing the alpha here
// instead, as the colour's rgb with 1.0, sends the draw down a software rasteriser's fast path that
// exchanges red and blue of the BGRA textures every picture is kept in.
uniform sampler2D texture;
varying vec2 v_texcoord;

void main() {
    gl_FragColor = texture2D(texture, v_texcoord);
}
