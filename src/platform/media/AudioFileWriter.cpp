#include "platform/media/AudioFileWriter.h"

#include "platform/media/AudioEncoder.h"
#include "platform/media/LibavSupport.h"
#include "platform/media/Muxer.h"

namespace platform::media {

struct AudioFileWriter::Impl {
    Settings settings;
    Muxer muxer;
    AudioEncoder encoder;
    const AVStream* stream = nullptr;
    QString error;
    bool started = false;
    bool done = false;

    bool fail(const QString& message) {
        error = message;
        muxer.abort();
        done = true;
        return false;
    }

    bool ready() {
        if (!started)
            error = QStringLiteral("The audio file has not been started");
        else if (done && error.isEmpty())
            error = QStringLiteral("The audio file is already finished");
        return started && !done;
    }
};

AudioFileWriter::AudioFileWriter(Settings settings) : d(std::make_unique<Impl>()) {
    d->settings = std::move(settings);
}

AudioFileWriter::~AudioFileWriter() = default;

bool AudioFileWriter::start() {
    if (d->started)
        return d->fail(QStringLiteral("The audio file was already started"));
    d->started = true;
    QString error;
    const QByteArray container = d->settings.container.toUtf8();
    const QByteArray codec = d->settings.codec.toUtf8();
    if (!d->muxer.open(d->settings.path, container.constData(), &error) ||
        !d->encoder.open(codec.constData(), d->settings.bitRate, d->muxer.wantsGlobalHeader(), &error) ||
        !(d->stream = d->muxer.addStream(d->encoder.context(), &error)))
        return d->fail(error);
    for (auto it = d->settings.metadata.cbegin(); it != d->settings.metadata.cend(); ++it)
        d->muxer.setMetadata(it.key(), it.value().toString());
    if (!d->muxer.writeHeader(&error))
        return d->fail(error);
    d->encoder.setPacketSink([this](AVPacket* packet, QString* sinkError) {
        return d->muxer.writePacket(packet, d->encoder.context()->time_base, d->stream, sinkError);
    });
    return true;
}

bool AudioFileWriter::write(const float* interleaved, int frames) {
    QString error;
    if (!d->ready())
        return false;
    return d->encoder.write(interleaved, frames, &error) || d->fail(error);
}

bool AudioFileWriter::write(const int16_t* interleaved, int frames) {
    QString error;
    if (!d->ready())
        return false;
    return d->encoder.write(interleaved, frames, &error) || d->fail(error);
}

std::optional<FileIdentity> AudioFileWriter::writtenFile() const {
    return d->muxer.writtenFile();
}

bool AudioFileWriter::finish() {
    QString error;
    if (!d->ready())
        return false;
    if (!d->encoder.finish(&error) || !d->muxer.finish(&error))
        return d->fail(error);
    d->done = true;
    return true;
}

void AudioFileWriter::cancel() {
    d->muxer.abort();
    if (!d->done)
        d->error = QStringLiteral("The audio file was cancelled");
    d->done = true;
}

QString AudioFileWriter::errorString() const {
    return d->error;
}

int64_t AudioFileWriter::framesWritten() const {
    return d->encoder.framesWritten();
}

} // namespace platform::media
