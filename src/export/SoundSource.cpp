#include "export/SoundSource.h"

#include "platform/foundation/StringTable.h"
#include "platform/media/AudioReader.h"
#include "platform/media/AudioRenderer.h"

#include <algorithm>

using platform::media::AudioReader;
using platform::media::AudioRenderer;

namespace {

class FileSound : public SoundSource {
public:
    explicit FileSound(int sampleRate) : reader(AudioReader::OutputFormat{sampleRate, kChannels}) {
        reader.setLongestSpoiltStretch(AudioRenderer::kLongestSpoiltStretch);
    }

    bool open(const QString& path) { return reader.open(path); }
    bool open(int fd, const QString& name) { return reader.open(fd, name); }
    int read(float* interleaved, int maxFrames) override { return reader.read(interleaved, maxFrames); }
    QString errorString() const override { return reader.errorString(); }

private:
    AudioReader reader;
};

class MixSound : public SoundSource {
public:
    MixSound(platform::media::Composition composition, platform::media::AudioMix mix, int sampleRate)
        : renderer(std::move(composition), std::move(mix), sampleRate), length(renderer.frameCount()) {
        renderer.setSourcesMustSound(true);
    }

    int read(float* interleaved, int maxFrames) override {
        const int frames = int(std::clamp<int64_t>(length - position, 0, std::max(maxFrames, 0)));
        if (frames == 0)
            return 0;
        if (!renderer.render(position, frames, interleaved))
            return -1;
        position += frames;
        return frames;
    }
    QString errorString() const override { return renderer.errorString(); }
    QString unreadableFile() const override { return renderer.failedSourcePath(); }
    double unreadableFileSpoilt() const override { return renderer.failedSourceSpoilt(); }

private:
    AudioRenderer renderer;
    int64_t length;
    int64_t position = 0;
};

class UnreadableMix : public SoundSource {
public:
    explicit UnreadableMix(QString path) : path(std::move(path)) {}

    int read(float*, int) override { return -1; }
    QString errorString() const override {
        return QStringLiteral("Cannot mix the sound of \"%1\"").arg(path);
    }
    QString unreadableFile() const override { return path; }

private:
    QString path;
};

} // namespace

std::unique_ptr<SoundSource> SoundSource::unreadableMix(const QString& path) {
    return std::make_unique<UnreadableMix>(path);
}

std::unique_ptr<SoundSource> SoundSource::openFile(const QString& path, int sampleRate, QString* error) {
    auto sound = std::make_unique<FileSound>(sampleRate);
    if (sound->open(path))
        return sound;
    if (error)
        *error = sound->errorString();
    return nullptr;
}

std::unique_ptr<SoundSource> SoundSource::openFile(int fd, const QString& name, int sampleRate,
                                                   QString* error) {
    auto sound = std::make_unique<FileSound>(sampleRate);
    if (sound->open(fd, name))
        return sound;
    if (error)
        *error = sound->errorString();
    return nullptr;
}

std::unique_ptr<SoundSource> SoundSource::openMix(platform::media::Composition composition,
                                                  platform::media::AudioMix mix, int sampleRate) {
    return std::make_unique<MixSound>(std::move(composition), std::move(mix), sampleRate);
}

std::unique_ptr<SoundSource> SoundSource::openSong(const SlideshowProject& project, int index, int sampleRate,
                                                   QString* failure) {
    const auto songs = project.musicArray();
    std::unique_ptr<SoundSource> sound;
    if (index >= 0 && std::size_t(index) < songs.size() && songs[std::size_t(index)])
        sound = openFile(songs[std::size_t(index)]->strFilePathIn(project.strMacProjectBundleContentsPath()),
                         sampleRate, nullptr);
    if (!sound && failure)
        *failure = songReadFailure(&project, index);
    return sound;
}

QString SoundSource::mixedSoundFailure() {
    return tr_("The sound of the slideshow could not be made. Please export the slideshow again.");
}

QString SoundSource::songReadFailure(const SlideshowProject* project, int index) {
    return tr_("Can't read %@ song's data correctly, please try to change the song to another one.")
        .replace(QLatin1String("%@"), project ? project->getSongTitle(index) : QString());
}
