#pragma once

class ShaderProgramObject;

// One band of the slices wipe or one box of the box wipe: a fan of four vertices over part of the view
// with the texture coordinates of the same part of a frame-buffer image (mirrored set: t = 0 at the top).
struct TransitionSlice {
    float verts[12] = {};   // 4 points x, y, z
    float textCoor[8] = {}; // 4 points s, t
    float offset_Y = 0.0f;
    float offsetTexture_Y = 0.0f;
    float offset_X = 0.0f;
    float offsetTexture_X = 0.0f;
    float slicesBlendFactor = 1.0f; // weight of the other image over the back image
    float stepVerts = 0.0f;         // movement of the vertices per frame
    float stepTextures = 0.0f;      // movement of the texture coordinates per frame
    float offsetBoxBlend = 0.0f;    // the frame from which a box fades

    // A band or box spanning x0..x1, y0..y1 of the view (vertices top left, bottom left, bottom right, top
    // right) at depth z, showing s0..s1, t0..t1 of the image (t0 at the top).
    static TransitionSlice rectangle(float x0, float y0, float x1, float y1, float z, float s0, float t0,
                                     float s1, float t1);
    // The same slice moved by (dx, dy) in the view, its texture coordinates following so that it keeps
    // showing the image at the place where it stands.
    TransitionSlice movedBy(float dx, float dy) const;
    // Draws the slice with "Shader_one_texture" in use and both images bound: the back image at the slice's
    // texture coordinates, then the other image where the slice stands, over it at the slice's weight (held
    // to 0..1); positions are held to the view, texture coordinates to the image. Leaves blending by the
    // source's alpha on.
    void draw(const ShaderProgramObject& program, unsigned backUnit, unsigned otherUnit) const;
};
