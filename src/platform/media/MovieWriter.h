#pragma once

#include "platform/foundation/FileIdentity.h"
#include "platform/foundation/FileUtils.h"
#include "platform/media/MediaTime.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>

namespace platform::media {

class SerialQueue;

enum class MovieContainer { MPEG4, QuickTime };
enum class MediaKind { Video, Audio };

// Writes a movie: H.264 (libx264, average bit rate, a key frame at least every gopSize frames) from BGRA
// frames converted to 4:2:0 by libswscale, and optionally AAC (128 kb/s, 44.1 kHz, stereo) from
// interleaved 16-bit or float samples, in an MPEG-4 or QuickTime file.
//
// Threading: every method may be called from any thread; one lock serialises them, so one thread may
// append frames while another appends sound. For paced feeding, requestMediaDataWhenReady() runs a block on
// a serial queue whenever a kind may take more data: a kind stops being ready once it runs more than half a
// second ahead of the other, so that the two stay interleaved in the file. Appends need not wait for
// readiness; the muxer interleaves whatever comes.
class MovieWriter {
public:
    struct Settings {
        QString path;
        MovieContainer container = MovieContainer::MPEG4;
        QSize frameSize;                   // even width and height
        int64_t videoBitRate = 10'800'000; // average, bits per second
        int gopSize = 30;                  // the longest distance between two key frames, in frames
        int timescale = 30;                // frame times are stored in units of 1/timescale s
        int frameRate = 30;                // the nominal rate, for the encoder's rate control
        QString preset = QStringLiteral("veryfast");
        bool audio = false;
        int64_t audioBitRate = 128000;
        int rotation = 0;     // clockwise degrees players turn the pictures by
        int encoderLanes = 0; // H.264 encoders side by side; 0: as many as pay on this machine
        // Frames come as planar 4:2:0 (BT.601 weights, limited range) instead of BGRA, and are coded as
        // they are; the movie says so.
        bool planarPictures = false;
    };
    enum class Status { Unknown, Writing, Completed, Failed, Cancelled };

    // Whether this build can write movies at all: the H.264 and AAC encoders and the MPEG-4 and QuickTime
    // muxers are present. False, with the missing part in *missing, otherwise.
    static bool isAvailable(QString* missing = nullptr);

    explicit MovieWriter(Settings settings);
    // A movie still being written is cancelled: its file is removed.
    ~MovieWriter();
    MovieWriter(const MovieWriter&) = delete;
    MovieWriter& operator=(const MovieWriter&) = delete;

    // Tags of the file ("title", "description", ...); before start().
    void setMetadata(const QString& key, const QString& value);
    // Creates the file and the encoders. False, with errorString(), on failure.
    bool start();

    // A frame of frameSize pixels, 4 bytes each in B, G, R, A order, rows bytesPerLine apart, shown from
    // time on. Times must increase from frame to frame. With planarPictures: the Y plane, rows bytesPerLine
    // apart, then the U and V planes at half the width and height, rows bytesPerLine / 2 apart.
    bool appendVideoFrame(const uchar* pixels, int bytesPerLine, const MediaTime& time);
    // BGRA movies only.
    bool appendVideoFrame(const QImage& image, const MediaTime& time);
    // Interleaved stereo at 44.1 kHz, continuing from the samples appended before (the first at time 0).
    bool appendAudioSamples(const int16_t* interleaved, int frames);
    bool appendAudioSamples(const float* interleaved, int frames);
    // No more data of that kind will come.
    void markAsFinished(MediaKind kind);

    bool isReadyForMoreMediaData(MediaKind kind) const;
    // Posts block to queue whenever the kind is ready, again after each run while it stays ready and is not
    // marked finished, until the movie ends. The block should append while the kind is ready, then return.
    void requestMediaDataWhenReady(MediaKind kind, SerialQueue& queue, std::function<void()> block);

    // Flushes the encoders and completes the file. False, with errorString(), when anything failed; a
    // failed movie's file is removed. A movie without a single frame is a failure.
    bool finish();
    // Stops writing and removes the file.
    void cancel();

    Status status() const;
    QString errorString() const;
    int64_t videoFramesWritten() const;
    // The completed movie's file as it was when completed (whatever has taken its name since); nothing
    // before completion.
    std::optional<FileIdentity> writtenFile() const;
    // Why a finish that failed could not give the movie its name, when another program removed or replaced
    // the file it was written into; None otherwise.
    PartialLoss partialLoss() const;

private:
    struct Impl;
    std::shared_ptr<Impl> d; // shared with blocks waiting on queues
};

} // namespace platform::media
