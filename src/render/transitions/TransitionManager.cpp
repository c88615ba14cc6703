#include "render/transitions/TransitionManager.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/StringTable.h"
#include "render/transitions/SlideshowTransition3DMove.h"
#include "render/transitions/SlideshowTransitionAlphaBlend.h"
#include "render/transitions/SlideshowTransitionDoor.h"
#include "render/transitions/SlideshowTransitionExchange3D.h"
#include "render/transitions/SlideshowTransitionFlipOver.h"
#include "render/transitions/SlideshowTransitionGrayscale.h"
#include "render/transitions/SlideshowTransitionMask.h"
#include "render/transitions/SlideshowTransitionSlices.h"
#include "render/transitions/SlideshowTransitionSlicesBox.h"

#include <algorithm>
#include <cmath>

namespace {

const QString kCategory = QStringLiteral("category");
const QString kIndex = QStringLiteral("index");
const QString kName = QStringLiteral("name");
const QString kImageName = QStringLiteral("image_name");

struct Choice {
    const char* category;
    int index;
    const char* name;
    const char* imageName;
    int entry;
};

// The named choices of the picker; the masks are numbered and "Random" has no entry of its own.
const Choice kNamedChoices[] = {
    {"3D", 0, "Door Open", "open_door.png", TransitionManager::kDoor},
    {"3D", 1, "Flip Over", "flip_over.png", TransitionManager::kFlipOver},
    {"3D", 2, "Exchange", "exchange_3d.png", TransitionManager::kExchange3D},
    {"3D", 3, "Move in/out", "move_3d.png", TransitionManager::k3DMove},
    {"Blend", 0, "Color Blend", "grayscale.png", TransitionManager::kGrayscale},
    {"Blend", 1, "Alpha Blend", "alpha_blend.png", TransitionManager::kAlphaBlend},
    {"Slices", 0, "Slices wipe", "slices.png", TransitionManager::kSlices},
    {"Slices", 1, "Boxes in/out", "box1.png", TransitionManager::kSlicesBox},
};

constexpr int kPickerMasks = 49;

// The choice's index as a number's integer value: fractions cut off, text read as a number, else 0.
int indexOf(const QVariantMap& info) {
    const QVariant value = info.value(kIndex);
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return 0;
    return int(std::clamp(std::trunc(number), -2147483648.0, 2147483647.0));
}

QVariantMap makeInfo(const QString& category, int index, const QString& name, const QString& imageName) {
    return {{kCategory, category}, {kIndex, index}, {kName, name}, {kImageName, imageName}};
}

} // namespace

TransitionManager::TransitionManager() {
    createTransitioArray();
}

void TransitionManager::createTransitioArray() {
    transitions.clear();
    transitions.push_back(std::make_shared<SlideshowTransition3DMove>());
    transitions.push_back(std::make_shared<SlideshowTransitionDoor>());
    transitions.push_back(std::make_shared<SlideshowTransitionFlipOver>());
    transitions.push_back(std::make_shared<SlideshowTransitionExchange3D>());
    transitions.push_back(std::make_shared<SlideshowTransitionSlices>());
    transitions.push_back(std::make_shared<SlideshowTransitionGrayscale>());
    transitions.push_back(std::make_shared<SlideshowTransitionSlicesBox>());
    transitions.push_back(std::make_shared<SlideshowTransitionMask>());
    transitions.push_back(std::make_shared<SlideshowTransitionAlphaBlend>());
}

std::shared_ptr<SlideshowTransition> TransitionManager::randomEntry(int frames, bool prepare) {
    if (transitions.empty())
        return nullptr;
    lastRandom = transitions[platform::RandomSource::shared().next(std::uint32_t(transitions.size()))];
    const auto project = SlideshowProject::currentMainProject();
    if (project)
        lastRandom->setNTotalTransitionFrame(project->nTransitionDurationFrameCount() / 2);
    if (frames > 0)
        lastRandom->setNTotalTransitionFrame(frames);
    if (prepare)
        lastRandom->initTransition();
    return lastRandom;
}

std::shared_ptr<SlideshowTransition> TransitionManager::getRandomTransition(bool prepare) {
    return randomEntry(0, prepare);
}

std::shared_ptr<SlideshowTransition> TransitionManager::getTransitionByInfo(const QVariantMap& info) {
    return lookUp(info, 0);
}

std::shared_ptr<SlideshowTransition> TransitionManager::getTransitionByInfo(const QVariantMap& info,
                                                                            int frames) {
    return lookUp(info, frames);
}

std::shared_ptr<SlideshowTransition> TransitionManager::lookUp(const QVariantMap& info, int frames) {
    const int entry = entryForInfo(info);
    if (entry < 0)
        return randomEntry(frames, true);
    if (std::size_t(entry) >= transitions.size())
        return nullptr;
    const auto& chosen = transitions[std::size_t(entry)];
    if (frames > 0)
        chosen->setNTotalTransitionFrame(frames);
    const QString category = info.value(kCategory).toString();
    if (category == QLatin1String("Mask")) {
        if (auto* mask = dynamic_cast<SlideshowTransitionMask*>(chosen.get()))
            mask->initTransition(indexOf(info));
    } else if (category == QLatin1String("3D") || category == QLatin1String("Blend") ||
               category == QLatin1String("Slices")) {
        chosen->initTransition();
    }
    return chosen;
}

std::shared_ptr<SlideshowTransition> TransitionManager::getAlphaBlendTransition() {
    return std::size_t(kAlphaBlend) < transitions.size() ? transitions[kAlphaBlend] : nullptr;
}

int TransitionManager::entryForInfo(const QVariantMap& info) {
    const QString category = info.value(kCategory).toString();
    if (info.isEmpty() || category == QLatin1String("Random"))
        return -1;
    if (category == QLatin1String("Mask"))
        return kMask;
    if (category != QLatin1String("3D") && category != QLatin1String("Blend") &&
        category != QLatin1String("Slices"))
        return k3DMove;
    const int index = indexOf(info);
    for (const Choice& choice : kNamedChoices)
        if (category == QLatin1String(choice.category) && index == choice.index)
            return choice.entry;
    return -1;
}

QStringList TransitionManager::transitionCategories() {
    return {QStringLiteral("Random"), QStringLiteral("Mask"), QStringLiteral("3D"), QStringLiteral("Blend"),
            QStringLiteral("Slices")};
}

QVariantMap TransitionManager::transitionInfo(const QString& category, int index) {
    if (category == QLatin1String("Random"))
        return index == 0 ? makeInfo(category, 0, tr_("Random"), QStringLiteral("dice")) : QVariantMap();
    if (category == QLatin1String("Mask")) {
        if (index < 0 || index >= kPickerMasks)
            return {};
        return makeInfo(category, index,
                        tr_("mask %d").replace(QLatin1String("%d"), QString::number(index + 1)),
                        QStringLiteral("icon48-%1").arg(index + 1, 2, 10, QLatin1Char('0')));
    }
    for (const Choice& choice : kNamedChoices)
        if (category == QLatin1String(choice.category) && index == choice.index)
            return makeInfo(category, index, tr_(choice.name), QString::fromUtf8(choice.imageName));
    return {};
}

QList<QVariantMap> TransitionManager::transitionChoices(const QString& category) {
    QList<QVariantMap> choices;
    for (int index = 0;; ++index) {
        QVariantMap info = transitionInfo(category, index);
        if (info.isEmpty())
            return choices;
        choices.append(std::move(info));
    }
}

QList<QVariantMap> TransitionManager::allTransitionChoices() {
    QList<QVariantMap> choices;
    for (const QString& category : transitionCategories())
        choices.append(transitionChoices(category));
    return choices;
}
