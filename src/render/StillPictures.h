#pragma once

#include <QSizeF>

class SharedShaderPrograms;
class TextureObject;

// Where a still picture lies in the preview, in the view's own units: x and y from -1 to 1 span the view.
struct StillPlacement {
    double centreX = 0.0;
    double halfWidth = 0.0;
    double halfHeight = 0.0;
};

// The still pictures of the preview (a slide, its thumbnail, the welcome picture) and the frames of the
// slide animation, drawn outside the player's frame loop. The geometry is pure; draw() needs the main
// context current with the target bound.
namespace still_pictures {

// The picture keeping its own shape, as large as fits, centred; moved sideways by `shift` (in half view
// widths, positive to the right).
StillPlacement fitted(const QSizeF& picture, double viewAspect, double shift = 0.0);
// Step `step` (0 to 1) of a slide animation: the new picture comes in from the right (direction true) or
// the left and is centred at step 1; the previous one leaves on the other side.
StillPlacement slidingIn(const QSizeF& picture, double viewAspect, bool direction, double step);
StillPlacement slidingOut(const QSizeF& picture, double viewAspect, bool direction, double step);

// Clears the bound target to black and sets up depth testing, as every still frame begins.
void clear();
// Draws the texture upright at the placement, with the shared one-texture program.
void draw(const SharedShaderPrograms& programs, const TextureObject& texture,
          const StillPlacement& placement);

} // namespace still_pictures
