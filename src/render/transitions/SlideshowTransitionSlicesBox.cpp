#include "render/transitions/SlideshowTransitionSlicesBox.h"

#include "platform/foundation/Clock.h"
#include "platform/image/Shuffle.h"
#include "render/SharedShaderPrograms.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kBoxDepth = 5e-9f;

// Along the edges of the grid from the top left corner, clockwise, and inwards.
std::vector<std::pair<int, int>> swirl() {
    std::vector<std::pair<int, int>> order;
    int left = 0, right = SlideshowTransitionSlicesBox::kColumns - 1;
    int bottom = 0, top = SlideshowTransitionSlicesBox::kRows - 1;
    while (left <= right && bottom <= top) {
        for (int c = left; c <= right; ++c)
            order.emplace_back(c, top);
        for (int r = top - 1; r >= bottom; --r)
            order.emplace_back(right, r);
        if (bottom < top)
            for (int c = right - 1; c >= left; --c)
                order.emplace_back(c, bottom);
        if (left < right)
            for (int r = bottom + 1; r < top; ++r)
                order.emplace_back(left, r);
        ++left, --right, ++bottom, --top;
    }
    return order;
}

} // namespace

SlideshowTransitionSlicesBox::SlideshowTransitionSlicesBox() {
    buildBoxes();
}

void SlideshowTransitionSlicesBox::initTransition() {
    SlideshowTransition::initTransition();
    setupData();
}

void SlideshowTransitionSlicesBox::buildBoxes() {
    const float depth = reveal ? -kBoxDepth : kBoxDepth;
    for (int c = 0; c < kColumns; ++c)
        for (int r = 0; r < kRows; ++r) {
            TransitionSlice box = TransitionSlice::rectangle(
                -1.0f + 0.25f * float(c), -1.0f + float(r) / 3.0f, -1.0f + 0.25f * float(c + 1),
                -1.0f + float(r + 1) / 3.0f, depth, 0.125f * float(c), float(5 - r) / 6.0f,
                0.125f * float(c + 1), float(6 - r) / 6.0f);
            box.slicesBlendFactor = reveal ? 0.0f : 1.0f;
            boxs[std::size_t(c)][std::size_t(r)] = box;
        }
}

std::vector<std::pair<int, int>> SlideshowTransitionSlicesBox::boxOrder(int dir) {
    std::vector<std::pair<int, int>> order;
    if (dir == 4)
        return swirl();
    for (int i = 0; i < kColumns; ++i) {
        const int c = dir == 1 || dir == 3 ? kColumns - 1 - i : i;
        for (int j = 0; j < kRows; ++j)
            order.emplace_back(c, dir == 2 || dir == 3 ? kRows - 1 - j : j);
    }
    if (dir == 5)
        ::shuffle(order);
    return order;
}

void SlideshowTransitionSlicesBox::setupData() {
    reveal = false;
    buildBoxes();
    const float frames = float(nTotalTransitionFrame());
    blendFrames = frames * 0.25f;
    direction = int(platform::RandomSource::shared().next(6));
    const auto order = boxOrder(direction);
    blendFactorArray.assign(std::size_t(kBoxes), 0.0f);
    for (std::size_t k = 0; k < order.size(); ++k) {
        const float start = float(k) * (frames - blendFrames) / float(kBoxes);
        blendFactorArray[k] = start;
        boxs[std::size_t(order[k].first)][std::size_t(order[k].second)].offsetBoxBlend = start;
    }
}

std::vector<TransitionSlice> SlideshowTransitionSlicesBox::boxesAtFrame(int n) const {
    std::vector<TransitionSlice> boxes;
    boxes.reserve(std::size_t(kBoxes));
    for (const auto& column : boxs)
        for (TransitionSlice box : column) {
            // Each frame from its start the box's weight changes by (frame - start) / blendFrameNum: the sum
            // of those changes up to frame n.
            const float start = box.offsetBoxBlend;
            const int first = int(std::ceil(start));
            float change = 0.0f;
            if (n >= first && blendFrames > 0.0f) {
                const float count = float(n - first + 1);
                change = (count * (float(first) + float(n)) / 2.0f - count * start) / blendFrames;
            }
            box.slicesBlendFactor = std::clamp(
                reveal ? box.slicesBlendFactor + change : box.slicesBlendFactor - change, 0.0f, 1.0f);
            boxes.push_back(box);
        }
    return boxes;
}

void SlideshowTransitionSlicesBox::transition(int n) {
    if (!SharedShaderPrograms::current())
        return;
    currentPos = n;
    if (n == 0)
        setupData();
    drawLayersOverBackPicture(reveal, boxesAtFrame(n));
}
