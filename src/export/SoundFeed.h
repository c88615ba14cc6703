#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>

class SoundSource;

// The sound of a show read chunk by chunk for a writer that takes it as it comes (the movie encoder's
// paths, the MPEG-2 creator's PCM feeder). It goes on past the end of its source when asked to: the source
// starts again from its beginning (its owner's "next song"), so the mix repeats. With fades the sound rises
// from silence over the first 3 s and falls to silence at the show's end over its last 3 s; a buffer that
// runs past the end keeps a floor of 0.05 there rather than turning its samples over. What follows once a
// music slideshow's songs are used up is silent. It never gives more than the writer takes, and a source
// that gives nothing even from its beginning ends it rather than being started again for ever.
class SoundFeed {
public:
    static constexpr double kFadeSeconds = 3.0;
    static constexpr float kFadeOutFloor = 0.05f;

    struct Settings {
        int sampleRate = 44100;
        int channels = 2;
        bool fades = true;
        double totalSeconds = 0.0; // where the fade-out reaches silence
        int64_t lengthFrames = std::numeric_limits<int64_t>::max();
    };
    struct Source {
        // Up to maxFrames frames, interleaved; 0 at the end of the sound, -1 when it cannot be read.
        std::function<int(float* interleaved, int maxFrames)> read;
        // Starts the sound again from its beginning; false when it cannot. Without it the feed ends with its
        // source.
        std::function<bool()> nextSong;
        // True once what follows must be silent.
        std::function<bool()> songsUsedUp;
    };

    // A source that reads whatever `reader` holds at each read (a failure while it holds nothing) and,
    // when `restart` is given, starts the sound again through it (which leaves a new reader there).
    static Source fromReader(const std::unique_ptr<SoundSource>& reader, std::function<void()> restart = {},
                             std::function<bool()> songsUsedUp = {});

    SoundFeed(Settings settings, Source source);

    // Up to maxFrames frames. 0 once the writer has all it takes or the sound cannot go on; -1 when the
    // source failed (or could not be started again).
    int read(float* interleaved, int maxFrames);
    int64_t framesDelivered() const { return delivered; }
    // Seconds of sound delivered so far.
    double time() const;

    // Scales a buffer of `frames` interleaved frames in place. It ends at `endSeconds` of the stream and
    // lasts `seconds`; `totalSeconds` is the show's length and `baseGain` 1, or 0 for silence. A buffer
    // that ends within the first 3 s rises over its length (from start / 3 to end / 3); else one that ends
    // within 3 s of the show's end falls towards 0 at the end, a gain below 0 becoming the floor; else it is
    // scaled by the base gain. Buffers of a millisecond or less are left as they are.
    static void applyFades(float* interleaved, int frames, int channels, double endSeconds, double seconds,
                           double totalSeconds, float baseGain);

private:
    int readOnce(float* interleaved, int maxFrames);

    Settings settings;
    Source source;
    int64_t delivered = 0;
};
