#pragma once

#include "render/transitions/SlideshowTransition.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <vector>

// The registry of transitions the player draws with: one object per entry, built once and reused for every
// slide that chooses it. A slide's transition choice, the dictionary {"category", "index", "name",
// "image_name"} that the picker writes and projects store, selects an entry; an empty choice or the
// "Random" category a random one.
class TransitionManager {
public:
    // Registry entries, in the order in which they are built.
    enum Entry {
        k3DMove = 0,
        kDoor = 1,
        kFlipOver = 2,
        kExchange3D = 3,
        kSlices = 4,
        kGrayscale = 5,
        kSlicesBox = 6,
        kMask = 7,
        kAlphaBlend = 8,
        kEntryCount = 9,
    };

    TransitionManager();
    virtual ~TransitionManager() = default;

    // Fills the registry with the nine transitions offered.
    virtual void createTransitioArray();
    // A random entry, its length set to half the project's default transition and, with `prepare`,
    // prepared; null when the registry is empty.
    std::shared_ptr<SlideshowTransition> getRandomTransition(bool prepare = true);
    // The entry for a choice, prepared (a category that is none of the five gives the first entry as it
    // stands).
    virtual std::shared_ptr<SlideshowTransition> getTransitionByInfo(const QVariantMap& info);
    // The same with the transition's length in frames set before it is prepared, since some transitions
    // lay out their frames when prepared.
    std::shared_ptr<SlideshowTransition> getTransitionByInfo(const QVariantMap& info, int frames);
    // The cross-fade used before video clips, not prepared again.
    virtual std::shared_ptr<SlideshowTransition> getAlphaBlendTransition();
    std::shared_ptr<SlideshowTransition> getTransitionByID(int) { return nullptr; }

    const std::vector<std::shared_ptr<SlideshowTransition>>& transitionArray() const { return transitions; }
    std::shared_ptr<SlideshowTransition> transitionObj() const { return lastRandom; }

    // The picker's categories, "Random", "Mask", "3D", "Blend" and "Slices", and the choices it offers in
    // each: 1 + 49 + 4 + 2 + 2.
    static QStringList transitionCategories();
    static QList<QVariantMap> transitionChoices(const QString& category);
    static QList<QVariantMap> allTransitionChoices();
    // The full choice for a category and index (its name through the string table); empty for a pair the
    // picker does not offer.
    static QVariantMap transitionInfo(const QString& category, int index);
    // The choice a DVD-menu slide carries: the cross-fade.
    static QVariantMap alphaBlendTransitionInfo() { return transitionInfo(QStringLiteral("Blend"), 1); }
    // The registry entry a choice selects; -1 for a random one, and entry 0 for an unknown category.
    static int entryForInfo(const QVariantMap& info);

protected:
    std::vector<std::shared_ptr<SlideshowTransition>> transitions;
    std::shared_ptr<SlideshowTransition> lastRandom;

private:
    std::shared_ptr<SlideshowTransition> lookUp(const QVariantMap& info, int frames);
    std::shared_ptr<SlideshowTransition> randomEntry(int frames, bool prepare);
};
