#pragma once

#include "export/MixSupport.h"
#include "export/MixedAudioPreview.h"
#include "model/ProjectCollaborators.h"
#include "platform/media/AudioMix.h"
#include "platform/media/Composition.h"

#include <QStringList>
#include <vector>

// The sound of the DVD menu: its songs, each on a track of its own at 0.9 with fades at both ends, laid a
// whole number of seconds apart and repeated until they cover the menu; one second of silence without
// songs. The menu's songs and length are given at construction, as the project manager holds them.
class DVDMenuAudioMixerObject : public MenuAudioMixer {
public:
    static constexpr float kSongVolume = 0.9f;

    DVDMenuAudioMixerObject(QStringList songPaths, double menuTotalDuration);
    ~DVDMenuAudioMixerObject() override;
    DVDMenuAudioMixerObject(const DVDMenuAudioMixerObject&) = delete;
    DVDMenuAudioMixerObject& operator=(const DVDMenuAudioMixerObject&) = delete;

    // Builds the mix; for playing, the songs make one pass only. Never throws.
    void mixProjectAudio();
    void mixProjectAudioForPlaying();
    bool bMixForPlaying() const { return mixForPlaying; }

    const platform::media::Composition& composition() const { return mix; }
    const std::vector<platform::media::MixInputParameters>& allAudioParams() const { return params; }
    // The songs and sounds the last build could not read, and so left out.
    QStringList unreadableFiles() const { return assets.unreadable(); }
    platform::media::AudioMix audioMix() const { return platform::media::AudioMix(params); }

    // One song on a new track at the write position, cut at the menu's end.
    bool addBackgroudMusic(const QString& path);
    // The whole sound of a file on a new track from `at` seconds, without levels.
    bool AddSlideItemMusic(const QString& path, float at);

    bool PlayMixedAudio() { return PlayMixedAudioFrom(0.0); }
    bool PlayMixedAudioFrom(double seconds);
    void StopPlayingMixedAudio();
    void seekToBegin();
    platform::media::AudioPlayer* player() const { return preview.player(); }

private:
    void mixProjectAudio_Sub();
    void laySilence();
    void padToTotal();

    QStringList songs;
    double total = 0.0;
    double insertTime = 0.0;
    bool mixForPlaying = false;
    platform::media::Composition mix;
    std::vector<platform::media::MixInputParameters> params;
    mix_support::AssetCache assets;
    MixedAudioPreview preview;
};
