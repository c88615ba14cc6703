#pragma once

#include "model/SlideshowProject.h"
#include "platform/media/AudioMix.h"
#include "platform/media/Composition.h"

#include <QString>

#include <atomic>
#include <memory>

// A sound an export reads from its beginning, chunk by chunk, as interleaved float stereo at the rate its
// writer wants: a file's sound, or a mix rendered through its volume envelopes. One thread reads it.
class SoundSource {
public:
    static constexpr int kChannels = 2;

    virtual ~SoundSource() = default;
    // Up to maxFrames frames; 0 at the end of the sound, -1 when it cannot be read (errorString()).
    virtual int read(float* interleaved, int maxFrames) = 0;
    virtual QString errorString() const = 0;
    // The file that could not be read, when a mix failed on it.
    virtual QString unreadableFile() const { return QString(); }
    // The seconds of sound that file lost, when the mix failed on them (it is damaged); 0 otherwise.
    virtual double unreadableFileSpoilt() const { return 0.0; }

    // The sound of a file from its first audible sample; null, with *error, when it cannot be read.
    static std::unique_ptr<SoundSource> openFile(const QString& path, int sampleRate, QString* error);
    // The same for the file open at fd (which stays the caller's), reached through it rather than by a name:
    // what has since taken its name is never heard, and no /proc is needed. `name` stands for it in messages.
    static std::unique_ptr<SoundSource> openFile(int fd, const QString& name, int sampleRate, QString* error);
    // A mix to its end, failing on a source that holds no sound where the mix wants some.
    static std::unique_ptr<SoundSource> openMix(platform::media::Composition composition,
                                                platform::media::AudioMix mix, int sampleRate);
    // A mix whose build could not read `path`: its first read fails naming that file, so that the sound is
    // never made without it.
    static std::unique_ptr<SoundSource> unreadableMix(const QString& path);
    // Song `index` of the project; null, with the message for the user, when it cannot be read.
    static std::unique_ptr<SoundSource> openSong(const SlideshowProject& project, int index, int sampleRate,
                                                 QString* failure);
    // What the user is told when the sound of song `index` cannot be read.
    static QString songReadFailure(const SlideshowProject* project, int index);
    // What the user is told when the slideshow's mixed sound, which the export made itself, cannot be read:
    // the songs are not to blame.
    static QString mixedSoundFailure();
};

// Which song an export's sound has got to: the index goes round the project's songs, the count of songs
// started only grows. Read from any thread.
class SongIndices {
public:
    int nSongIndex() const { return index.load(); }
    int nSongIndexContinue() const { return started.load(); }
    void reset() {
        index = 0;
        started = 0;
    }
    // The next song; with no songs the index stays at 0.
    void advance(int songCount) {
        index = songCount > 0 ? (index.load() + 1) % songCount : 0;
        ++started;
    }
    // Whether what follows must be silent. The mixed sound holds every song once, so a music slideshow's
    // songs are used up as soon as it has run dry: what follows must not start its first song again.
    bool songsUsedUp(const SlideshowProject* project) const {
        return project && project->bIsMusicSideshow() && started.load() >= 1;
    }

private:
    std::atomic<int> index{0};
    std::atomic<int> started{0};
};
