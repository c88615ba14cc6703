#include "render/transitions/TransitionManager.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/Clock.h"
#include "platform/gl/Context.h"
#include "render/transitions/SlideshowTransitionCut.h"

TransitionManager::TransitionManager() {
    createTransitioArray();
}

void TransitionManager::createTransitioArray() {
    transitions.clear();
    transitions.push_back(std::make_shared<SlideshowTransitionCut>());
}

std::shared_ptr<SlideshowTransition> TransitionManager::getRandomTransition(bool prepare) {
    if (transitions.empty())
        return nullptr;
    lastRandom = transitions[platform::RandomSource::shared().next(std::uint32_t(transitions.size()))];
    const auto project = SlideshowProject::currentMainProject();
    if (project)
        lastRandom->setNTotalTransitionFrame(project->nTransitionDurationFrameCount() / 2);
    if (prepare && platform::gl::Context::current())
        lastRandom->initTransition();
    return lastRandom;
}

std::shared_ptr<SlideshowTransition> TransitionManager::getTransitionByInfo(const QVariantMap& info) {
    if (info.isEmpty() || info.value(QStringLiteral("category")).toString() == QLatin1String("Random"))
        return getRandomTransition();
    if (transitions.empty())
        return nullptr;
    if (platform::gl::Context::current())
        transitions.front()->initTransition();
    return transitions.front();
}

std::shared_ptr<SlideshowTransition> TransitionManager::getAlphaBlendTransition() {
    return transitions.empty() ? nullptr : transitions.back();
}
