#pragma once

#include "render/transitions/SlideshowTransition.h"

class ShaderProgramObject;

// The outgoing image opens as two doors hinged at the view's left and right edges, while the incoming image
// behind them comes forward into place.
class SlideshowTransitionDoor : public SlideshowTransition {
public:
    SlideshowTransitionDoor();
    void transition(int n) override;

    float animationTime() const { return time; }

private:
    void drawLeaf(const ShaderProgramObject& program, float hingeX, float degrees, float shift,
                  const float textCoor[8]);

    float time = 0.0f;
};
