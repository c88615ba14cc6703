#include "render/transitions/SlideshowTransitionSlices.h"

#include "platform/foundation/Clock.h"
#include "platform/image/Shuffle.h"
#include "render/SharedShaderPrograms.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

constexpr float kSliceDepth = 5e-9f;

} // namespace

SlideshowTransitionSlices::SlideshowTransitionSlices() {
    setupData();
}

void SlideshowTransitionSlices::initTransition() {
    SlideshowTransition::initTransition();
    setupData();
}

void SlideshowTransitionSlices::setupData() {
    auto& random = platform::RandomSource::shared();
    reveal = random.next(2) == 1;
    vertical = random.next(2) == 1;
    direction = int(random.next(6));
    const int count = vertical ? 12 : 8;
    order.resize(std::size_t(count));
    std::iota(order.begin(), order.end(), 0);
    if (direction == 2 || direction == 5)
        ::shuffle(order, random);
    createVertsAndTextcoors();
}

void SlideshowTransitionSlices::createVertsAndTextcoors() {
    const int count = int(order.size());
    const float w = 2.0f / float(count);
    const float sign = direction < 3 ? 1.0f : -1.0f;
    slices.clear();
    for (int i = 0; i < count; ++i) {
        const int k = order[std::size_t(i)];
        const float lo = float(k) / float(count);
        const float hi = float(k + 1) / float(count);
        TransitionSlice slice =
            vertical ? TransitionSlice::rectangle(-1.0f + w * float(k), -1.0f, -1.0f + w * float(k + 1), 1.0f,
                                                  kSliceDepth, lo, 0.0f, hi, 1.0f)
                     : TransitionSlice::rectangle(-1.0f, -1.0f + w * float(k), 1.0f, -1.0f + w * float(k + 1),
                                                  kSliceDepth, 0.0f, 1.0f - hi, 1.0f, 1.0f - lo);
        const float spread = 2.0f * float(i) / float(count - 1);
        const float delay = direction == 0 || direction == 3 ? 2.0f + spread : 4.0f - spread;
        (vertical ? slice.offset_Y : slice.offset_X) = sign * delay;
        (vertical ? slice.offsetTexture_Y : slice.offsetTexture_X) = sign * delay / 2.0f;
        // The revealed bands carry the incoming image in; the removed ones fade from the outgoing image.
        slice.slicesBlendFactor = 1.0f;
        slices.push_back(slice);
    }
}

TransitionSlice SlideshowTransitionSlices::animated(const TransitionSlice& home, int n, float step) const {
    const float offset = vertical ? home.offset_Y : home.offset_X;
    const float distance = std::abs(offset);
    const float speed = 2.0f * std::abs(step);
    const float sign = offset < 0.0f ? -1.0f : 1.0f;
    float moved = 0.0f;
    TransitionSlice slice = home;
    slice.stepVerts = step;
    slice.stepTextures = step / 2.0f;
    if (reveal) {
        // In from outside the view, each band held where it belongs once it arrives.
        moved = sign * (std::min(distance, speed * float(n)) - distance);
    } else {
        // Bands wait in turn (the ones with the longer way wait longer), then leave at twice the step.
        const int start = std::max(0, int(std::ceil((distance - 2.0f) / std::abs(step) - 1e-3f)));
        const int frames = std::max(0, n - start);
        moved = sign * speed * float(frames);
        slice.slicesBlendFactor = 1.0f - 2.0f * float(frames) / float(nTotalTransitionFrame());
    }
    return vertical ? slice.movedBy(0.0f, moved) : slice.movedBy(moved, 0.0f);
}

std::vector<TransitionSlice> SlideshowTransitionSlices::slicesAtFrame(int n) const {
    // The longest way any band has to go, covered in one transition length.
    float extreme = 0.0f;
    for (const TransitionSlice& slice : slices)
        extreme = std::max(extreme, std::abs(vertical ? slice.offset_Y : slice.offset_X));
    const float step = extreme / float(nTotalTransitionFrame()) * (direction < 3 ? 1.0f : -1.0f);
    std::vector<TransitionSlice> frame;
    frame.reserve(slices.size());
    for (const TransitionSlice& slice : slices)
        frame.push_back(animated(slice, n, step));
    return frame;
}

void SlideshowTransitionSlices::transition(int n) {
    if (!SharedShaderPrograms::current())
        return;
    currentPos = n;
    drawLayersOverBackPicture(reveal, slicesAtFrame(n));
}
