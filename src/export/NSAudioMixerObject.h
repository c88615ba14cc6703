#pragma once

#include "export/BKMusicVolumeInfo.h"
#include "export/MixSupport.h"
#include "export/MixedAudioPreview.h"
#include "model/ProjectCollaborators.h"
#include "model/SlideshowProject.h"
#include "platform/media/AudioMix.h"
#include "platform/media/Composition.h"

#include <memory>
#include <vector>

// The sound of a project as one composition with its volume parameters: the songs end to end on one
// background track with fades and the video clips' music windows, every photo slide's sound on a track of
// its own, and during an export every clip's own sound. One mixer serves one mix: the exporters export it,
// the preview plays it.
class NSAudioMixerObject : public PlayableAudioMixer {
public:
    static constexpr float kSlideSoundVolume = 0.9f;

    // Mixes the given project, or the open one at the time of the build when null. The project is not
    // kept alive by its mixer, which it holds itself.
    explicit NSAudioMixerObject(const SlideshowProjectRef& project = nullptr);
    ~NSAudioMixerObject() override;
    NSAudioMixerObject(const NSAudioMixerObject&) = delete;
    NSAudioMixerObject& operator=(const NSAudioMixerObject&) = delete;

    // A new mixer installed as the project's audioMixer, the step every caller takes before a build; the
    // old mixer is let go, and stops its preview when nothing else holds it.
    static std::shared_ptr<NSAudioMixerObject> installNewMixer(const SlideshowProjectRef& project = nullptr);

    // Builds the mix for an export (the songs looping to the slideshow's length when the project asks)
    // or for the preview (one pass of the songs, the preview repeating the whole mix; clips play their
    // own sound). Never throws; a sound that cannot be read is left out.
    void mixProjectAudio();
    void mixProjectAudioForPlaying() override;
    bool bMixForPlaying() const { return mixForPlaying; }

    const platform::media::Composition& composition() const { return mix; }
    // One entry per slide or clip sound track in the order they were added, the background track's last.
    const std::vector<platform::media::MixInputParameters>& allAudioParams() const { return params; }
    platform::media::AudioMix audioMix() const { return platform::media::AudioMix(params); }
    const platform::media::CompositionTrack* compositionTrackBK() const { return trackBK; }
    // The background track's levels; allAudioParams holds a copy once the build is done.
    const platform::media::MixInputParameters& audioMixInputParams() const { return backgroundLevels; }
    const std::vector<platform::media::TimeRange>& bkMusicFadeInOutTimeRangeArray() const { return fades; }
    const std::vector<BKMusicVolumeInfo>& bkMusicHighPriorityVolumeInfoArray() const { return clipWindows; }

    // ---- preview
    bool PlayMixedAudio() { return PlayMixedAudioFrom(0.0); }
    bool PlayMixedAudioFrom(double seconds) override;
    void StopPlayingMixedAudio() override;
    void seekToBegin() override;
    platform::media::AudioPlayer* player() const { return preview.player(); }

    // ---- steps of the build
    // Appends the music window of every video clip, in slide order.
    void getHighPriorityBKMusicVolumeInfo(std::vector<BKMusicVolumeInfo>* windows) const;
    // Lays one song at the write position, cut at the slideshow's end, with its windows and fades.
    bool addBackgroudMusicWithSingleCompositionTrackBK(const QString& path, float volume);
    bool addBackgroudMusicVolumeControl(const BKMusicVolumeInfo& window, float fadeinStartVolume,
                                        float fadeoutEndVolume);
    // One sound on a track of its own from `at` seconds, fading in and out to the level (0.9 by default).
    bool AddSlideItemMusic(const QString& path, float at, float volume);
    bool AddSlideItemMusic(const QString& path, float at) {
        return AddSlideItemMusic(path, at, kSlideSoundVolume);
    }

    // The windows of a song laid from `start` for `length` seconds at `volume` under the clips' windows.
    static std::vector<BKMusicVolumeInfo>
    songVolumeWindows(double start, double length, float volume,
                      const std::vector<BKMusicVolumeInfo>& clipWindows);

private:
    void mixProjectAudio_Sub();
    SlideshowProjectRef mixedProject() const;
    double totalDuration() const;
    void layBackgroundMusic(const SlideshowProject& project, double total);
    void padBackgroundToTotal(double total);
    void laySilence(double total);
    void addSlideSounds(const SlideshowProject& project);
    // The union of the recorded fades that overlap the range with it; an invalid range when none does.
    platform::media::TimeRange overlappingFades(const platform::media::TimeRange& range) const;

    std::weak_ptr<SlideshowProject> project;
    bool explicitProject = false;
    double insertTime = 0.0;
    bool mixForPlaying = false;
    platform::media::Composition mix;
    std::vector<platform::media::MixInputParameters> params;
    platform::media::CompositionTrack* trackBK = nullptr; // owned by the composition
    platform::media::MixInputParameters backgroundLevels;
    std::vector<platform::media::TimeRange> fades;
    std::vector<BKMusicVolumeInfo> clipWindows;
    mix_support::AssetCache assets;
    MixedAudioPreview preview;
};
