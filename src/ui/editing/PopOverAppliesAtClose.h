#pragma once

// A pop-over that keeps its edits to itself until it closes. Whoever closes it calls applyAtClose first,
// whichever way it closes (its own button, the focus moving away, another pop-over opening, the window
// going); the pop-over applies at most once, and on its destruction when nobody asked.
class PopOverAppliesAtClose {
public:
    virtual ~PopOverAppliesAtClose() = default;
    virtual void applyAtClose() = 0;
};
