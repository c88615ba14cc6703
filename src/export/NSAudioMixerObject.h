#pragma once

#include "export/BKMusicVolumeInfo.h"
#include "export/MixSupport.h"
#include "export/MixedAudioPreview.h"
#include "model/ProjectCollaborators.h"
#include "model/SlideshowProject.h"
#include "platform/media/AudioMix.h"
#include "platform/media/Composition.h"

#include <memory>
#include <optional>
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
    // Whether the earlier builds below build a preview (one pass of the songs); the two entries above set it.
    void setBMixForPlaying(bool value) { mixForPlaying = value; }

    const platform::media::Composition& composition() const { return mix; }
    // One entry per slide or clip sound track in the order they were added, the background track's last.
    const std::vector<platform::media::MixInputParameters>& allAudioParams() const { return params; }
    // The songs and sounds the last build could not read, and so left out.
    QStringList unreadableFiles() const { return assets.unreadable(); }
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

    // ---- the earlier builds: every song on a track of its own (NSAudioMixerObjectManyTracks.cpp)
    // The songs, each on its own track with its own fades and no clip windows, in passes until they reach
    // the slideshow's length within 0.8 s (one pass without the loop flag or for a preview); without songs
    // the silence on a track of its own; the audio layers; the slide sounds as mixProjectAudio lays them
    // and the clip sound of every composition slide at its start at 0.9. No background parameters.
    void mixProjectAudio_Sub_ManyBKCompositionTrack();
    // One pass over the songs on tracks of their own, the audio layers, then the sound of every photo and the
    // clip of every composition and video slide, each at its slide's start at 0.9.
    void mixProjectAudio_Old();
    // One song on a new track at the write position at the photos' music level.
    bool addBackgroudMusic(const QString& path);
    // One song on a new track at the write position, cut at the slideshow's end, fading in from silence and
    // out to it; without the loop flag the track runs on in silence to half a second past the end.
    bool addBackgroudMusicWithManyCompositionTrackBK(const QString& path, float volume);
    // The whole song on a new track at the write position at 0.9; the position moves on by its whole
    // seconds only, so the next song starts under the end of this one.
    bool addBackgroudMusic_old(const QString& path);
    // The whole sound of an audio layer on a new track from its start position in whole seconds, at its own
    // level.
    bool addAudioLayerMusic(const MusicItem& item);

    // The windows of a song laid from `start` for `length` seconds at `volume` under the clips' windows.
    static std::vector<BKMusicVolumeInfo>
    songVolumeWindows(double start, double length, float volume,
                      const std::vector<BKMusicVolumeInfo>& clipWindows);

private:
    enum class SlideSounds { Current, WithCompositions, AllAtSlideStart };

    // Empties the mix for a new build; the background track is made by the builds that use one.
    void startBuild();
    void mixProjectAudio_Sub();
    SlideshowProjectRef mixedProject() const;
    double totalDuration() const;
    void layBackgroundMusic(const SlideshowProject& project, double total);
    void padBackgroundToTotal(double total);
    void laySilence(platform::media::CompositionTrack& track, double total);
    void addSlideSounds(const SlideshowProject& project, SlideSounds which = SlideSounds::Current);
    // A photo's own sound, stored as the user chose it, from `start` seconds. One that is gone, is not a file
    // the project may read or holds no sound is left out of the mix and counted among unreadableFiles.
    void addPhotoSound(const QString& stored, float start, const QString& contents);
    void addAudioLayers(const SlideshowProject& project);
    // A song on a track of its own at the write position: the length laid, or nothing (no track is left).
    std::optional<platform::media::MediaTime> laySongOnNewTrack(const QString& path, double total,
                                                                int32_t* trackID);
    void padSongTrack(platform::media::CompositionTrack& track, double total);
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
