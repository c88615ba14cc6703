#include "platform/media/MovieWriter.h"

#include "platform/media/AudioEncoder.h"
#include "platform/media/LibavSupport.h"
#include "platform/media/Muxer.h"
#include "platform/media/SerialQueue.h"
#include "platform/media/VideoEncoder.h"

extern "C" {
#include <libavutil/display.h>
}

#include <QVariantMap>
#include <mutex>
#include <thread>

namespace platform::media {

using namespace detail;

namespace {
// How far one kind may run ahead of the other before it stops being ready.
constexpr double kInterleaveSeconds = 0.5;

size_t slot(MediaKind kind) {
    return kind == MediaKind::Video ? 0 : 1;
}
} // namespace

struct MovieWriter::Impl : std::enable_shared_from_this<MovieWriter::Impl> {
    struct Requester {
        SerialQueue* queue = nullptr;
        std::function<void()> block;
        bool posted = false;
    };

    Settings settings;
    mutable std::mutex mutex;
    std::mutex muxerMutex;          // the video's packets come from the encoder's threads
    bool muxerTakesPackets = false; // under muxerMutex; false once the movie has ended however it ended
    Status status = Status::Unknown;
    QString error;
    QVariantMap metadata;
    Muxer muxer;
    VideoEncoder video;
    AudioEncoder audio;
    const AVStream* videoStream = nullptr;
    const AVStream* audioStream = nullptr;
    bool finished[2] = {false, false};
    double endSeconds[2] = {0.0, 0.0};
    Requester requesters[2];

    // With the lock held from here on.
    bool fail(const QString& message) {
        error = message;
        status = Status::Failed;
        abortWriting();
        return false;
    }

    // The lanes are joined before the file goes, and the sink refuses whatever still comes after.
    void abortWriting() {
        video.stop();
        std::lock_guard lock(muxerMutex);
        muxerTakesPackets = false;
        muxer.abort();
    }

    bool writePacket(AVPacket* packet, AVRational timeBase, const AVStream* stream, QString* sinkError) {
        std::lock_guard lock(muxerMutex);
        if (!muxerTakesPackets) {
            *sinkError = QStringLiteral("The movie is not being written");
            return false;
        }
        return muxer.writePacket(packet, timeBase, stream, sinkError);
    }

    bool canAppend(MediaKind kind) {
        if (status != Status::Writing) {
            if (error.isEmpty() || status == Status::Completed)
                error = QStringLiteral("The movie is not being written");
            return false;
        }
        if (kind == MediaKind::Audio && !settings.audio) {
            error = QStringLiteral("The movie has no sound track");
            return false;
        }
        if (finished[slot(kind)]) {
            error = QStringLiteral("The track was already marked as finished");
            return false;
        }
        return true;
    }

    bool ready(MediaKind kind) const {
        if (status != Status::Writing || finished[slot(kind)])
            return false;
        if (kind == MediaKind::Audio && !settings.audio)
            return false;
        const size_t other = 1 - slot(kind);
        const bool otherPresent = other == 0 || settings.audio;
        if (!otherPresent || finished[other])
            return true;
        return endSeconds[slot(kind)] <= endSeconds[other] + kInterleaveSeconds;
    }

    void postReadyBlocks() {
        for (MediaKind kind : {MediaKind::Video, MediaKind::Audio}) {
            Requester& requester = requesters[slot(kind)];
            if (!requester.queue || requester.posted || !ready(kind))
                continue;
            requester.posted = true;
            std::weak_ptr<Impl> weak = weak_from_this();
            requester.queue->post([weak, kind] {
                if (std::shared_ptr<Impl> self = weak.lock())
                    self->runBlock(kind);
            });
        }
    }

    void runBlock(MediaKind kind) {
        std::function<void()> block;
        {
            std::lock_guard lock(mutex);
            block = requesters[slot(kind)].block;
        }
        if (block)
            block();
        std::lock_guard lock(mutex);
        requesters[slot(kind)].posted = false;
        postReadyBlocks();
    }

    bool open() {
        QString message;
        const char* format = settings.container == MovieContainer::QuickTime ? "mov" : "mp4";
        VideoEncoder::Settings videoSettings{
            settings.frameSize,
            settings.videoBitRate,
            settings.gopSize,
            settings.timescale,
            settings.frameRate,
            settings.preset,
            false,
            settings.encoderLanes > 0
                ? settings.encoderLanes
                : VideoEncoder::lanesForCores(std::thread::hardware_concurrency(), settings.frameSize),
            settings.planarPictures};
        if (!muxer.open(settings.path, format, &message))
            return fail(message);
        videoSettings.globalHeader = muxer.wantsGlobalHeader();
        if (!video.open(videoSettings, &message) ||
            !(videoStream = muxer.addStream(video.context(), &message)))
            return fail(message);
        if (settings.rotation % 360 != 0 && !setRotation())
            return fail(QStringLiteral("Cannot record the rotation of the pictures"));
        if (settings.audio &&
            (!audio.open("aac", settings.audioBitRate, muxer.wantsGlobalHeader(), &message) ||
             !(audioStream = muxer.addStream(audio.context(), &message))))
            return fail(message);
        writeMetadata();
        if (!muxer.writeHeader(&message))
            return fail(message);
        // The time bases are taken now: the encoders' contexts go when they stop.
        video.setPacketSink(
            [this, timeBase = video.context()->time_base](AVPacket* packet, QString* sinkError) {
                return writePacket(packet, timeBase, videoStream, sinkError);
            });
        if (settings.audio)
            audio.setPacketSink(
                [this, timeBase = audio.context()->time_base](AVPacket* packet, QString* sinkError) {
                    return writePacket(packet, timeBase, audioStream, sinkError);
                });
        {
            std::lock_guard lock(muxerMutex);
            muxerTakesPackets = true;
        }
        status = Status::Writing;
        return true;
    }

    // MPEG-4 files keep the tags in their iTunes-style list, where "title" and "description" have atoms.
    // The QuickTime list of the "mov" muxer has no description; its metadata-key list takes any key, so
    // each tag goes there under its own name and, for players, under the QuickTime key space's name.
    void writeMetadata() {
        const bool quickTime = settings.container == MovieContainer::QuickTime;
        if (quickTime && !metadata.isEmpty())
            muxer.setOption(QStringLiteral("movflags"), QStringLiteral("use_metadata_tags"));
        const QString quickTimeSpace = QStringLiteral("com.apple.quicktime.");
        for (auto it = metadata.cbegin(); it != metadata.cend(); ++it) {
            muxer.setMetadata(it.key(), it.value().toString());
            if (quickTime && !it.key().startsWith(quickTimeSpace))
                muxer.setMetadata(quickTimeSpace + it.key(), it.value().toString());
        }
    }

    bool setRotation() {
        auto* matrix = reinterpret_cast<int32_t*>(av_stream_new_side_data(
            const_cast<AVStream*>(videoStream), AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(int32_t)));
        if (!matrix)
            return false;
        av_display_rotation_set(matrix,
                                settings.rotation); // clockwise here, though it reads back counterclockwise
        return true;
    }

    bool appendFrame(const uchar* bgra, int bytesPerLine, const MediaTime& time) {
        if (!canAppend(MediaKind::Video))
            return false;
        if (!time.isValid())
            return fail(QStringLiteral("A frame was given an invalid time"));
        const int64_t pts = time.convertScale(settings.timescale).value;
        QString message;
        if (!video.encode(bgra, bytesPerLine, pts, &message))
            return fail(message);
        endSeconds[0] = static_cast<double>(pts) / settings.timescale + 1.0 / settings.frameRate;
        postReadyBlocks();
        return true;
    }

    template <typename Sample> bool appendSamples(const Sample* interleaved, int frames) {
        if (!canAppend(MediaKind::Audio))
            return false;
        QString message;
        if (!audio.write(interleaved, frames, &message))
            return fail(message);
        endSeconds[1] = static_cast<double>(audio.framesWritten()) / AudioEncoder::kSampleRate;
        postReadyBlocks();
        return true;
    }

    bool complete() {
        if (status != Status::Writing) {
            if (status != Status::Failed)
                error = QStringLiteral("The movie is not being written");
            return false;
        }
        finished[0] = finished[1] = true;
        if (video.framesEncoded() == 0)
            return fail(QStringLiteral("No frame was written to \"%1\"").arg(settings.path));
        QString message;
        if (!video.finish(&message) || (settings.audio && !audio.finish(&message)))
            return fail(message);
        bool written = false;
        {
            std::lock_guard lock(muxerMutex);
            muxerTakesPackets = false;
            written = muxer.finish(&message);
        }
        if (!written)
            return fail(message);
        status = Status::Completed;
        return true;
    }

    void abandon() {
        if (status != Status::Unknown && status != Status::Writing)
            return;
        abortWriting();
        status = Status::Cancelled;
        error = QStringLiteral("The movie was cancelled");
    }
};

bool MovieWriter::isAvailable(QString* missing) {
    const char* absent = nullptr;
    if (!avcodec_find_encoder_by_name("libx264"))
        absent = "the H.264 encoder libx264";
    else if (!avcodec_find_encoder_by_name("aac"))
        absent = "the AAC encoder";
    else if (!av_guess_format("mp4", nullptr, nullptr) || !av_guess_format("mov", nullptr, nullptr))
        absent = "the MPEG-4 and QuickTime muxers";
    if (absent && missing)
        *missing = QString::fromLatin1(absent);
    return !absent;
}

MovieWriter::MovieWriter(Settings settings) : d(std::make_shared<Impl>()) {
    d->settings = std::move(settings);
}

MovieWriter::~MovieWriter() {
    cancel();
}

void MovieWriter::setMetadata(const QString& key, const QString& value) {
    std::lock_guard lock(d->mutex);
    d->metadata.insert(key, value);
}

bool MovieWriter::start() {
    std::lock_guard lock(d->mutex);
    if (d->status != Status::Unknown) {
        d->error = QStringLiteral("The movie was already started");
        return false;
    }
    if (!d->open())
        return false;
    d->postReadyBlocks();
    return true;
}

bool MovieWriter::appendVideoFrame(const uchar* bgra, int bytesPerLine, const MediaTime& time) {
    std::lock_guard lock(d->mutex);
    return d->appendFrame(bgra, bytesPerLine, time);
}

bool MovieWriter::appendVideoFrame(const QImage& image, const MediaTime& time) {
    const bool bgraInMemory = image.format() == QImage::Format_ARGB32 ||
                              image.format() == QImage::Format_RGB32 ||
                              image.format() == QImage::Format_ARGB32_Premultiplied;
    const QImage frame = bgraInMemory ? image : image.convertToFormat(QImage::Format_ARGB32);
    std::lock_guard lock(d->mutex);
    if (!d->canAppend(MediaKind::Video))
        return false;
    if (d->settings.planarPictures)
        return d->fail(QStringLiteral("The movie takes planar pictures, not images"));
    if (image.size() != d->settings.frameSize)
        return d->fail(QStringLiteral("A frame of %1x%2 does not fit a movie of %3x%4")
                           .arg(image.width())
                           .arg(image.height())
                           .arg(d->settings.frameSize.width())
                           .arg(d->settings.frameSize.height()));
    return d->appendFrame(frame.constBits(), static_cast<int>(frame.bytesPerLine()), time);
}

bool MovieWriter::appendAudioSamples(const int16_t* interleaved, int frames) {
    std::lock_guard lock(d->mutex);
    return d->appendSamples(interleaved, frames);
}

bool MovieWriter::appendAudioSamples(const float* interleaved, int frames) {
    std::lock_guard lock(d->mutex);
    return d->appendSamples(interleaved, frames);
}

void MovieWriter::markAsFinished(MediaKind kind) {
    std::lock_guard lock(d->mutex);
    d->finished[slot(kind)] = true;
    d->postReadyBlocks(); // the other kind need not wait for this one any more
}

bool MovieWriter::isReadyForMoreMediaData(MediaKind kind) const {
    std::lock_guard lock(d->mutex);
    return d->ready(kind);
}

void MovieWriter::requestMediaDataWhenReady(MediaKind kind, SerialQueue& queue, std::function<void()> block) {
    std::lock_guard lock(d->mutex);
    Impl::Requester& requester = d->requesters[slot(kind)];
    requester.queue = &queue;
    requester.block = std::move(block);
    d->postReadyBlocks();
}

bool MovieWriter::finish() {
    std::lock_guard lock(d->mutex);
    return d->complete();
}

void MovieWriter::cancel() {
    std::lock_guard lock(d->mutex);
    d->abandon();
}

MovieWriter::Status MovieWriter::status() const {
    std::lock_guard lock(d->mutex);
    return d->status;
}

QString MovieWriter::errorString() const {
    std::lock_guard lock(d->mutex);
    return d->error;
}

int64_t MovieWriter::videoFramesWritten() const {
    std::lock_guard lock(d->mutex);
    return d->video.framesEncoded();
}

std::optional<FileIdentity> MovieWriter::writtenFile() const {
    std::lock_guard lock(d->mutex);
    if (d->status != Status::Completed)
        return std::nullopt;
    std::lock_guard muxing(d->muxerMutex);
    return d->muxer.writtenFile();
}

PartialLoss MovieWriter::partialLoss() const {
    std::lock_guard muxing(d->muxerMutex);
    return d->muxer.partialLoss();
}

} // namespace platform::media
