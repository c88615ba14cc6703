#pragma once

#include "platform/gl/GlApi.h"
#include "render/GLMatrix.h"

class ShaderProgramObject;

// The four-vertex fans every drawer of the renderer is made of, drawn from client-side arrays.
namespace quad {

// (-1, 1), (-1, -1), (1, -1), (1, 1) at depth 0.
extern const float kUnitPositions[12];
// Texture coordinates showing a loaded picture upright on the unit fan.
extern const float kUprightTexCoords[8];
// The vertical mirror of the upright set: shows a picture drawn upside down into a frame buffer upright.
extern const float kMirroredTexCoords[8];

// Activates texture unit `unit` (counted from GL_TEXTURE0), enables 2D textures, binds `texture` and clamps
// both directions to the edge.
void bindTexture(unsigned unit, GLuint texture);
// Sets the program's "mvp" uniform.
void setMvp(const ShaderProgramObject& program, const Matrix4& mvp);
// Draws one fan of four vertices with the program's "position" and "texcoord" (and "texcoord1" when given)
// attributes; the program must be in use.
void drawFan(const ShaderProgramObject& program, const float* positions, const float* texCoords,
             const float* texCoords1 = nullptr);
// What is drawn next covers the target at a constant weight (0..1), whatever its alpha: a mix of two
// pictures drawn as one picture over the other, each a plain draw the software rasteriser does fastest.
void blendAtWeight(float weight);
// Back to the usual blending by the drawn picture's own alpha.
void blendBySourceAlpha();

// identity x frustum(-0.1, 0.1, -0.1, 0.1, 0.1, 100): at depth -1 the view spans -1 to 1 both ways.
Matrix4 slideProjection();
// The product a point meets model-view first, then projection.
Matrix4 modelViewProjection(const Matrix4& modelView, const Matrix4& projection);

} // namespace quad
