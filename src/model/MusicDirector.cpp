#include "model/MusicDirector.h"

#include "model/ProjectCollaborators.h"
#include "model/SlideshowProject.h"

#include <mutex>

namespace {

std::mutex factoryMutex;
MusicDirector::MixerFactory& factorySlot() {
    static MusicDirector::MixerFactory factory;
    return factory;
}

} // namespace

void MusicDirector::setAudioMixerFactory(MixerFactory factory) {
    std::lock_guard lock(factoryMutex);
    factorySlot() = std::move(factory);
}

std::vector<MusicItemRef> MusicDirector::musicArray() const {
    const auto project = SlideshowProject::currentMainProject();
    return project ? project->musicArray() : std::vector<MusicItemRef>();
}

double MusicDirector::totalDurationFromArray(const std::vector<MusicItemRef>& songs) {
    double total = 0.0;
    for (const auto& song : songs)
        total += MusicItem::musicItemDuration(song.get());
    return total;
}

bool MusicDirector::playFromLocation(double seconds) {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return true;
    if (project->audioMixer())
        project->setAudioMixer(nullptr);
    MixerFactory factory;
    {
        std::lock_guard lock(factoryMutex);
        factory = factorySlot();
    }
    std::shared_ptr<PlayableAudioMixer> mixer = factory ? factory() : nullptr;
    if (!mixer)
        return true;
    project->setAudioMixer(mixer);
    mixer->mixProjectAudioForPlaying();
    mixer->PlayMixedAudioFrom(seconds);
    return true;
}

void MusicDirector::stop() {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return;
    if (const auto mixer = project->audioMixer())
        mixer->StopPlayingMixedAudio();
}
