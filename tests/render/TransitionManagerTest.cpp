#include "TransitionTestSupport.h"

#include "model/SlideItem.h"
#include "platform/foundation/KeyedArchive.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/gl/DriverLock.h"
#include "render/transitions/SlideshowTransition3DMove.h"
#include "render/transitions/SlideshowTransitionAlphaBlend.h"
#include "render/transitions/SlideshowTransitionExchange3D.h"
#include "render/transitions/SlideshowTransitionFlipOver.h"
#include "render/transitions/SlideshowTransitionGrayscale.h"
#include "render/transitions/SlideshowTransitionMask.h"
#include "render/transitions/SlideshowTransitionSlices.h"
#include "render/transitions/SlideshowTransitionSlicesBox.h"
#include "render/transitions/TransitionManager.h"

#include <QFileInfo>

#include <cmath>
#include <set>

using Entry = TransitionManager::Entry;
using platform::gl::DriverLock;

namespace {

// The registry entry each offered choice stands for, as the picker's table has it.
int expectedEntry(const QString& category, int index) {
    if (category == "Mask")
        return TransitionManager::kMask;
    if (category == "3D")
        return std::vector<int>{Entry::kDoor, Entry::kFlipOver, Entry::kExchange3D,
                                Entry::k3DMove}[std::size_t(index)];
    if (category == "Blend")
        return index == 0 ? Entry::kGrayscale : Entry::kAlphaBlend;
    return index == 0 ? Entry::kSlices : Entry::kSlicesBox;
}

// The image names are stored with or without their extension; both are looked up by base name.
QString resourceFor(const QString& imageName) {
    const QFileInfo name(imageName);
    return platform::paths::pathForResource(name.completeBaseName(),
                                            name.suffix().isEmpty() ? QStringLiteral("png") : name.suffix());
}

} // namespace

// A lookup prepares the transition it finds, which enters the driver: the tests look up under the driver
// lock, as the player does inside a frame.
class TransitionManagerTest : public TransitionTest {
protected:
    std::shared_ptr<SlideshowTransition> entry(int index) const {
        return manager.transitionArray()[std::size_t(index)];
    }
    TransitionManager manager;
};

TEST_F(TransitionManagerTest, TheRegistryHoldsTheNineOfferedTransitionsInItsOrder) {
    ASSERT_EQ(manager.transitionArray().size(), 9u);
    EXPECT_TRUE(dynamic_cast<SlideshowTransition3DMove*>(entry(0).get()));
    EXPECT_TRUE(dynamic_cast<SlideshowTransitionFlipOver*>(entry(2).get()));
    EXPECT_TRUE(dynamic_cast<SlideshowTransitionExchange3D*>(entry(3).get()));
    EXPECT_TRUE(dynamic_cast<SlideshowTransitionSlices*>(entry(4).get()));
    EXPECT_TRUE(dynamic_cast<SlideshowTransitionGrayscale*>(entry(5).get()));
    EXPECT_TRUE(dynamic_cast<SlideshowTransitionSlicesBox*>(entry(6).get()));
    EXPECT_TRUE(dynamic_cast<SlideshowTransitionMask*>(entry(7).get()));
    EXPECT_TRUE(dynamic_cast<SlideshowTransitionAlphaBlend*>(entry(8).get()));
    // Only the moves of whole slides draw without frame buffers.
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(entry(i)->bNeedFBO(), i != Entry::k3DMove && i != Entry::kExchange3D) << i;
}

TEST_F(TransitionManagerTest, EveryPickerChoiceSelectsItsEntryAndNamesAnIconThatExists) {
    const DriverLock driver;
    const QList<QVariantMap> choices = TransitionManager::allTransitionChoices();
    ASSERT_EQ(choices.size(), 58);
    QMap<QString, int> perCategory;
    for (const QVariantMap& choice : choices) {
        const QString category = choice.value("category").toString();
        const int index = choice.value("index").toInt();
        perCategory[category] += 1;
        EXPECT_EQ(choice.keys(), (QStringList{"category", "image_name", "index", "name"}));
        EXPECT_FALSE(resourceFor(choice.value("image_name").toString()).isEmpty())
            << choice.value("image_name").toString().toStdString();
        if (category == "Random")
            continue;
        const auto chosen = manager.getTransitionByInfo(choice);
        ASSERT_EQ(chosen, entry(expectedEntry(category, index))) << category.toStdString() << " " << index;
        if (category == "Mask") {
            EXPECT_EQ(static_cast<SlideshowTransitionMask&>(*chosen).maskNumber(), index + 1);
        }
    }
    EXPECT_EQ(perCategory,
              (QMap<QString, int>{{"Random", 1}, {"Mask", 49}, {"3D", 4}, {"Blend", 2}, {"Slices", 2}}));
    EXPECT_EQ(
        TransitionManager::transitionInfo("3D", 2),
        (QVariantMap{
            {"category", "3D"}, {"index", 2}, {"name", "Exchange"}, {"image_name", "exchange_3d.png"}}));
    EXPECT_EQ(TransitionManager::transitionInfo("Mask", 12).value("name"), "mask 13");
    EXPECT_EQ(TransitionManager::transitionInfo("Mask", 12).value("image_name"), "icon48-13");
    EXPECT_EQ(TransitionManager::transitionInfo("Random", 0).value("image_name"), "dice");
    EXPECT_TRUE(TransitionManager::transitionInfo("Mask", 49).isEmpty()) << "the picker offers masks 1 to 49";
    EXPECT_TRUE(TransitionManager::transitionInfo("3D", 4).isEmpty());
    EXPECT_EQ(TransitionManager::alphaBlendTransitionInfo(),
              (QVariantMap{{"category", "Blend"},
                           {"index", 1},
                           {"name", "Alpha Blend"},
                           {"image_name", "alpha_blend.png"}}));
}

TEST_F(TransitionManagerTest, ChoicesOutsideThePickerFallBackAsTheRegistryDoes) {
    const DriverLock driver;
    script({}, 4);
    EXPECT_EQ(manager.getTransitionByInfo({{"category", "3D"}, {"index", 4}}), entry(4)) << "random: 4 % 9";
    EXPECT_EQ(manager.transitionObj(), entry(4));
    script({}, 6);
    EXPECT_EQ(manager.getTransitionByInfo({{"category", "Blend"}, {"index", -1}}), entry(6));
    EXPECT_EQ(manager.getTransitionByInfo({{"category", "Slices"}, {"index", 2}}), entry(6));
    EXPECT_EQ(manager.getTransitionByInfo({{"category", "Blend"}, {"index", 1}}),
              manager.getAlphaBlendTransition());

    // An unknown or missing category: the first entry, not prepared (its variant stays).
    auto& move = static_cast<SlideshowTransition3DMove&>(*entry(0));
    move.setDir(7);
    script({}, 3);
    EXPECT_EQ(manager.getTransitionByInfo({{"category", "Wipes"}, {"index", 0}}), entry(0));
    EXPECT_EQ(manager.getTransitionByInfo({{"index", 2}}), entry(0));
    EXPECT_EQ(move.dir(), 7);

    // The index is read as a number's integer value, whatever form the archive gave it.
    auto& mask = static_cast<SlideshowTransitionMask&>(*entry(7));
    manager.getTransitionByInfo({{"category", "Mask"}, {"index", 12}});
    EXPECT_EQ(mask.maskNumber(), 13);
    manager.getTransitionByInfo({{"category", "Mask"}, {"index", qlonglong(3)}});
    EXPECT_EQ(mask.maskNumber(), 4);
    manager.getTransitionByInfo({{"category", "Mask"}, {"index", 20.7}});
    EXPECT_EQ(mask.maskNumber(), 21);
    manager.getTransitionByInfo({{"category", "Mask"}, {"index", "8"}});
    EXPECT_EQ(mask.maskNumber(), 9);
}

TEST_F(TransitionManagerTest, TheRandomChoicePicksOnlyBuiltTransitionsAtHalfTheDefaultLength) {
    project->setFltTransitionDuration(2.0f);
    ASSERT_EQ(project->nTransitionDurationFrameCount(), 60);
    platform::RandomSource::setShared(std::make_shared<platform::SeededRandom>(7));
    const DriverLock driver;
    std::set<const SlideshowTransition*> seen;
    for (int i = 0; i < 300; ++i) {
        const auto chosen = i % 2 ? manager.getRandomTransition() : manager.getTransitionByInfo({});
        ASSERT_TRUE(chosen);
        const auto& all = manager.transitionArray();
        ASSERT_NE(std::find(all.begin(), all.end(), chosen), all.end());
        EXPECT_EQ(chosen->nTotalTransitionFrame(), 30);
        seen.insert(chosen.get());
    }
    EXPECT_EQ(seen.size(), 9u) << "a missing choice is drawn afresh at every lookup";
    for (std::uint32_t k = 0; k < 9; ++k) {
        script({k});
        EXPECT_EQ(manager.getTransitionByInfo({{"category", "Random"}, {"index", 0}}), entry(int(k)));
    }
}

TEST_F(TransitionManagerTest, PreparationDrawsEachTransitionsVariantFromTheRandomSource) {
    const DriverLock driver;
    script({9});
    entry(Entry::k3DMove)->initTransition();
    EXPECT_EQ(static_cast<SlideshowTransition3DMove&>(*entry(0)).dir(), 9);
    script({3});
    entry(Entry::kFlipOver)->initTransition();
    EXPECT_EQ(static_cast<SlideshowTransitionFlipOver&>(*entry(2)).ndirection(), 3);
    script({4});
    entry(Entry::kExchange3D)->initTransition();
    EXPECT_EQ(static_cast<SlideshowTransitionExchange3D&>(*entry(3)).direction(), 4);
    script({1, 0, 5});
    entry(Entry::kSlices)->initTransition();
    const auto& slices = static_cast<SlideshowTransitionSlices&>(*entry(4));
    EXPECT_TRUE(slices.bReveal());
    EXPECT_FALSE(slices.bAnimateVertical());
    EXPECT_EQ(slices.dir(), 5);
    script({1, 5});
    entry(Entry::kGrayscale)->initTransition();
    const auto& gray = static_cast<SlideshowTransitionGrayscale&>(*entry(5));
    EXPECT_EQ(gray.bGray(), 1.0f);
    EXPECT_EQ(gray.bColor(), SlideshowTransitionGrayscale::kColorTable[5]);
    script({2});
    entry(Entry::kSlicesBox)->initTransition();
    EXPECT_EQ(static_cast<SlideshowTransitionSlicesBox&>(*entry(6)).dir(), 2);
    script({49});
    entry(Entry::kMask)->initTransition();
    EXPECT_EQ(static_cast<SlideshowTransitionMask&>(*entry(7)).maskNumber(), 50)
        << "only a random mask reaches 50";
}

TEST_F(TransitionManagerTest, AChoiceSurvivesTheProjectArchiveAndSelectsTheSameTransition) {
    const DriverLock driver;
    for (const QVariantMap& choice : TransitionManager::allTransitionChoices()) {
        auto slide = platform::makeMainThreadShared<SlideItem>();
        slide->setTransitionInfo(choice);
        QString error;
        const auto back = platform::KeyedUnarchiver::castObject<SlideItem>(
            QVariant::fromValue(platform::KeyedUnarchiver::unarchiveObject(
                platform::KeyedArchiver::archivedData(slide), &error)));
        ASSERT_TRUE(back) << error.toStdString();
        const QVariantMap read = back->transitionInfo();
        ASSERT_EQ(read.keys(), choice.keys());
        for (const QString& key : choice.keys())
            EXPECT_EQ(read.value(key).toString(), choice.value(key).toString()) << key.toStdString();
        EXPECT_EQ(TransitionManager::entryForInfo(read), TransitionManager::entryForInfo(choice));
        if (choice.value("category") == "Mask") {
            manager.getTransitionByInfo(read);
            EXPECT_EQ(static_cast<SlideshowTransitionMask&>(*entry(7)).maskNumber(),
                      choice.value("index").toInt() + 1);
        }
    }
}

TEST_F(TransitionManagerTest, TheLengthGivenWithALookupIsSetBeforeThePreparation) {
    const DriverLock driver;
    // Laid out at preparation with the length in force then, the boxes would start at the wrong frames.
    script({}, 0);
    ASSERT_EQ(entry(Entry::kSlicesBox)->nTotalTransitionFrame(), 120);
    const auto chosen = manager.getTransitionByInfo({{"category", "Slices"}, {"index", 1}}, 60);
    EXPECT_EQ(chosen->nTotalTransitionFrame(), 60);
    const auto& boxes = static_cast<SlideshowTransitionSlicesBox&>(*chosen);
    EXPECT_FLOAT_EQ(boxes.blendFrameNum(), 15.0f);
    const auto order = SlideshowTransitionSlicesBox::boxOrder(boxes.dir());
    for (std::size_t k = 0; k < order.size(); ++k)
        EXPECT_FLOAT_EQ(boxes.box(order[k].first, order[k].second).offsetBoxBlend, 0.9375f * float(k));
    // A random choice gets the given length too, not half the default.
    EXPECT_EQ(manager.getTransitionByInfo({}, 45)->nTotalTransitionFrame(), 45);
}
