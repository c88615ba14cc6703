#pragma once

#include "model/SlideItem.h"
#include "platform/gl/DriverLock.h"
#include "platform/media/Composition.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MediaTime.h"
#include "platform/media/MixInputParameters.h"

#include <QImage>
#include <QSize>
#include <QSizeF>

#include <optional>
#include <vector>

namespace platform {
class Clock;
namespace media {
class AudioPlayer;
class VideoReader;
} // namespace media
} // namespace platform

// Where the frames of a clip slide go: the render engine's texture of the clip. The model knows no GL, so
// the engine hands itself in on every draw; called on the drawing thread with its context current.
class VideoFrameTarget {
public:
    virtual ~VideoFrameTarget() = default;
    // A frame of 32-bit BGRA pixels (QImage::Format_ARGB32 in memory), rows frame.bytesPerLine() apart,
    // top row first, unturned.
    virtual void uploadVideoFrame(const QImage& frame) = 0;
};

// The slide of a video clip (item type 3). Its picture is the clip's current frame: a reading pass decodes
// the frames in order while the slide plays, keeping pace with the wall clock in the preview and with the
// player's frame times during an export. In the preview it plays the clip's sound itself; it writes the
// clip's picture files and carries the clip's own sound level and the music level under the clip.
class VideoSlideItem : public SlideItem {
public:
    enum class ReaderStatus { Unknown, Reading, Completed, Failed, Cancelled };

    VideoSlideItem();
    ~VideoSlideItem() override;

    static std::shared_ptr<VideoSlideItem> initWithCoder(platform::KeyedUnarchiver& coder);
    QStringList archiveClassNames() const override {
        return {QStringLiteral("VideoSlideItem"), QStringLiteral("SlideItem")};
    }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    // A clip slide of the same file and levels, not yet prepared.
    std::shared_ptr<SlideItem> copy() const override;

    // ---- opening the clip
    // Opens the clip at path as this slide: its length sets the slide's durations, its sound is laid for
    // the preview. While a project is open the clip is its own file (videoPathInProject); a path it does
    // not hold leaves the slide's clip missing.
    virtual void PrepareVideoItem(const QString& path);
    // The clip's whole length in seconds as read from its file, which the show plays in full: the slide's
    // photo duration and the transition into the next slide together. Before the file has been read, those
    // two durations.
    float clipDuration() const;
    float fSecShownDuration() const override { return clipDuration(); }
    // The transition lies inside the clip's last seconds, so the photo duration follows it and the clip
    // keeps its length; a transition as long as the clip or longer gives way to the clip.
    void setFSecTransitionDuration(float seconds) override;
    // Whether the clip file could be opened.
    bool hasAsset() const;
    std::optional<platform::media::MediaAsset> asset() const;
    // The picture files of the slide, from a frame at 1.0 s: "psd_", "psd_bk_" and "thumb_" names in the
    // open project's "Contents" folder.
    bool LoadVideoThumbnail();
    bool getVideoThumbnail(const platform::media::MediaAsset& asset);
    // The pictures again, under fresh names in the "Contents" folder given, when the slide's picture is
    // missing there (removed, or its frame did not decode when the clip came in); true when they were made.
    bool makeMissingPictures(const QString& contentsFolder);
    // Whether the file can become a clip slide: it holds pictures that last. False, with a message naming
    // the file in *error, for anything else (a song or a text named ".mov", say). Every clip import asks.
    static bool isImportableClip(const QString& path, QString* error = nullptr);
    // The clip file a stored path stands for in the project whose "Contents" folder is given: the path
    // itself when it lies inside the project, else "<contents>/videos/<its name>" (a project that was
    // moved, renamed or copied keeps its clips there); empty when the project holds neither. Links that
    // lead out of the project do not count.
    static QString videoPathInProject(const QString& path, const QString& contentsFolder);
    // Prepares the slide from its clip in the project whose "Contents" folder is given; a read slide opens
    // no file before this. False, the clip missing, when the project holds no file for it.
    bool locateVideoInProject(const QString& contentsFolder);
    bool locateFilesInProject(const QString& contentsFolder) override {
        return locateVideoInProject(contentsFolder);
    }

    // ---- frames
    // Brings the target to the clip frame that belongs to now; frame 0 is the slide's first and starts a
    // new reading pass. Holds the frame shown when the clip runs ahead, drops frames when it falls behind,
    // keeps the last frame once the clip has ended. Always true.
    bool LoadOneFrameToOpenGLTexture(quint64 frame, VideoFrameTarget& target);
    // The earlier form: the same but at the first frame of a pass, whose time it takes from 0 until a frame
    // is read, and where in the preview it marks the clip's sound as started without starting it.
    bool LoadOneFrameToOpenGLTexture_Alt(quint64 frame, VideoFrameTarget& target);
    // A reading pass of the clip opened ahead of the slide's first frame, that frame decoded: the slide
    // loader makes one, so that the drawing thread neither opens the clip nor sets up its decoder there.
    class ReadingAhead {
    public:
        // Closes the pass as endShowing does, wherever it goes.
        ~ReadingAhead();

    private:
        friend class VideoSlideItem;
        ReadingAhead();
        QString path;
        std::unique_ptr<platform::media::VideoReader> reader;
        QImage firstImage; // null when the first frame could not be read
        platform::media::MediaTime firstTime;
    };
    // Opens a pass of the clip and decodes its first frame, with no lock held: any thread, no GL. Null for a
    // slide without pictures or a clip that cannot be read, which the first frame then opens as before.
    std::unique_ptr<ReadingAhead> openReadingAhead() const;
    // As above; a pass that starts here takes `ahead` when it was opened on this clip, instead of opening it.
    bool LoadOneFrameToOpenGLTexture(quint64 frame, VideoFrameTarget& target,
                                     std::unique_ptr<ReadingAhead>& ahead);
    // Back to the clip's start when the player rewinds: reading stopped, sound paused.
    virtual void resetVideoItem();
    // The slide has left the screen: its reading pass closes (the file, the decoder and its threads) and its
    // sound player goes on the main thread (with the sound output's thread); its next showing makes both
    // again. A sound start queued before this makes no player after it. Any thread holding no lock ranked
    // after the driver lock: the driver lock and the main context are let go while the decoder closes.
    void endShowing();
    bool stopReading();
    bool setUpReaderReturningError(QString* error = nullptr);
    bool startReadingReturningError(QString* error = nullptr);
    bool readFromURL(const QString& path, QString* error = nullptr);
    ReaderStatus readerStatus() const;
    // The clock of the preview's pacing (seconds on a monotonic scale); null uses the project's clock.
    void setClock(std::shared_ptr<platform::Clock> clock);

    QSize videoDimensions() const;
    quint32 videoType() const;
    QSizeF videoSize() const;
    int videoOrientation() const;
    platform::media::MediaTime previousTimeStamp() const;
    double startTime() const;
    double previousSystemTimeStamp() const;
    bool isAudioStarted() const;

    // ---- sound
    // Lays the clip's sound again so that a changed level takes effect.
    bool changePlayVolumeHandle();
    void clearAllCompostionData();
    // Adds the file's sound at `seconds` on a new track, fading in and out at fltOutputVolume.
    bool AddSlideItemMusic(const QString& path, float seconds);
    // Start or pause the clip's sound on the main thread; both return at once.
    void playAudio();
    void stopAudioPlaying();
    platform::media::Composition composition() const;
    std::vector<platform::media::MixInputParameters> allAudioParams() const;
    // The preview's player of the clip's sound, or null; main thread only.
    platform::media::AudioPlayer* player() const;

    // ---- base-class hooks and levels
    bool iSItemReady() const override { return true; }
    QString mediaFilePath() const override { return strVideoFilePath(); }
    // The clip opens, its first frame decodes and its container tells about the length the slide measured.
    bool isMediaFileUsable() const override;
    // The last reading pass could not open the clip or decode its first frame (the file went, was emptied
    // or spoilt): the slide shows the stage alone. During an export, also a pass that ended on damage done
    // to the clip while it was read, short of its last frame. Cleared by a pass that reads.
    bool clipUnreadable() const { return unreadable.load(); }
    QString mediaFileName() const override;

    // The clip file the slide reads; empty while the slide has no clip file (read and not yet located,
    // or missing from its project).
    QString strVideoFilePath() const;
    // Sets the clip file and the path stored with the slide.
    void setStrVideoFilePath(const QString& path);
    // The clip's own level: the stored value within 0..1, else 0.8.
    float fltOutputVolume() const;
    void setFltOutputVolume(float level) { outputVolume = level; }
    // The background-music level during the clip: its own, else the open project's.
    float fltBKMusicVolume() const;
    bool isCustomizedBKMusicVolume() const;
    void customizeBKMusicVolume(float level);
    void resetCustomizedBKMusicVolumeFlag() { bkMusicVolume = -1.0f; }

protected:
    void decodeFields(platform::KeyedUnarchiver& coder) override;
    // The clip too: the copy in the project's "videos" folder (a path from elsewhere is left alone).
    QStringList filesForDeleting() const override;

private:
    struct Reading;
    struct Sound;

    void applyClipSettings();
    void prepareClip(const QString& path);
    // The slide's pictures from a frame of the clip at 1.0 s (half a shorter slide's length), written under
    // fresh names into the "Contents" folder given; false when the frame does not decode or a write fails.
    bool writePictures(const QString& clip, const QString& contentsFolder);
    void applyClipDurations(float clipSeconds);
    double clockSeconds() const;
    bool loadOneFrame(quint64 frame, VideoFrameTarget& target, bool earlierForm,
                      std::unique_ptr<ReadingAhead>* ahead = nullptr);
    bool startReadingPass(std::unique_ptr<ReadingAhead>* ahead);
    bool setUpReader(QString* error, std::unique_ptr<ReadingAhead>* ahead);
    // Returns the pass's reader, to be closed once the reader's lock is let go.
    std::unique_ptr<platform::media::VideoReader> stopReadingLocked();
    bool readNextFrameLocked(QImage& image, platform::media::MediaTime& time);
    bool dropFramesLocked(int count);
    // The sound player goes on the main thread, and a start queued before now makes none.
    void dropSoundPlayer();

    struct ClipPaths {
        QString stored; // kept in the archive, also while the clip is missing
        QString read;   // the project's own file, or empty
    };
    platform::Guarded<ClipPaths> clipPaths; // read by the loader and export threads
    std::atomic<float> outputVolume{1.0f};
    std::atomic<float> bkMusicVolume{-1.0f};
    std::atomic<float> mediaSeconds{-1.0f}; // the clip's length read from its file; negative until read
    std::atomic<bool> unreadable{false};

    // The asset and everything of the reading pass. Ranked after the GL driver lock: the player holds that
    // lock across a frame while it reads the clip, so the frame read goes into the driver after this is let
    // go.
    mutable platform::gl::RankedMutex<> readerMutex{platform::gl::LockRank::FrameSource,
                                                    "VideoSlideItem::readerMutex"};
    std::unique_ptr<Reading> reading;
    std::shared_ptr<Sound> sound; // shared with the blocks that run on the main thread
};
