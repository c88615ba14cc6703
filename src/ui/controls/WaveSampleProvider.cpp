#include "ui/controls/WaveSampleProvider.h"

#include "platform/media/AudioReader.h"
#include "platform/media/MediaAsset.h"

#include <QFileInfo>

#include <algorithm>

using platform::media::AudioReader;

namespace {

constexpr int kChannels = 2;

// "artist - title" when the file names both, its title when it names only that, else nothing.
QString titleFromTags(const QString& path) {
    const auto asset = platform::media::MediaAsset::open(path, false);
    if (!asset.isValid())
        return QString();
    const QVariantMap tags = asset.metadata();
    const QString title = tags.value(QStringLiteral("title")).toString();
    const QString artist = tags.value(QStringLiteral("artist")).toString();
    if (title.isEmpty())
        return QString();
    return artist.isEmpty() ? title : QStringLiteral("%1 - %2").arg(artist, title);
}

} // namespace

WaveSampleProvider::WaveSampleProvider(const QUrl& url, const QString& title, QObject* parent)
    : QObject(parent), url(url), displayTitle(title.isEmpty() ? url.fileName() : title) {
    setStatus(Processing, QStringLiteral("Processing"));
}

WaveSampleProvider::~WaveSampleProvider() {
    cancelled = true;
    if (reading.joinable())
        reading.join();
}

void WaveSampleProvider::createSampleData() {
    if (reading.joinable())
        return;
    sampleData.clear();
    reading = std::thread([this] { loadSample(); });
}

void WaveSampleProvider::setBinSize(int frames) {
    bin = std::max(frames, 1);
}

QString WaveSampleProvider::title() const {
    std::lock_guard lock(mutex);
    return displayTitle;
}

int WaveSampleProvider::status() const {
    std::lock_guard lock(mutex);
    return currentStatus;
}

QString WaveSampleProvider::statusMessage() const {
    std::lock_guard lock(mutex);
    return message;
}

// The pair travels with the call, so that a call never shows a status that came later.
void WaveSampleProvider::setStatus(int status, const QString& text) {
    {
        std::lock_guard lock(mutex);
        currentStatus = status;
        message = text;
    }
    deliver([this, status, text] {
        if (listener)
            listener->statusUpdated(*this, status, text);
    });
}

void WaveSampleProvider::informDelegateOfFinish() {
    const int finalStatus = status();
    deliver([this, finalStatus] {
        if (listener)
            listener->sampleProcessed(*this, finalStatus);
    });
}

void WaveSampleProvider::loadSample() {
    processSample();
    informDelegateOfFinish();
}

// Always queued, also from the main thread (the delegate is set after the first status), and dropped
// when the provider is gone by then.
void WaveSampleProvider::deliver(std::function<void()> call) {
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

bool WaveSampleProvider::processSample() {
    const QString path = url.toLocalFile();
    AudioReader reader;
    if (path.isEmpty() || !reader.open(path)) {
        setStatus(Failed, QStringLiteral("Cannot open audio file"));
        return false;
    }
    if (const QString tagged = titleFromTags(path); !tagged.isEmpty()) {
        std::lock_guard lock(mutex);
        displayTitle = tagged;
    }
    if (reader.sourceSampleRate() <= 0) {
        setStatus(Failed, QStringLiteral("Cannot get audio file properties"));
        return false;
    }
    if (reader.sampleRate() != kSampleRate || reader.channels() != kChannels) {
        setStatus(Failed, QStringLiteral("Cannot convert audio file to PCM format"));
        return false;
    }
    if (!readChunks(reader))
        return false;
    wholeSeconds = int(totalFrames / kSampleRate);
    splitLength(totalFrames, &minutes, &seconds);
    reader.close();
    normalized.reserve(sampleData.size());
    for (const float value : sampleData)
        normalized.push_back(std::clamp(value, 0.0f, 1.0f));
    std::vector<float>().swap(sampleData);
    setStatus(Loaded, QStringLiteral("Sample data loaded"));
    return true;
}

// A read that comes back short is the end of the sound.
bool WaveSampleProvider::readChunks(AudioReader& reader) {
    const int chunk = bin * kChunkBins;
    std::vector<float> buffer(std::size_t(chunk) * kChannels);
    totalFrames = 0;
    for (;;) {
        if (cancelled)
            return false;
        const int frames = reader.read(buffer.data(), chunk);
        if (frames < 0) {
            setStatus(Failed, QStringLiteral("Cannot read audio file"));
            return false;
        }
        binPeaks(buffer.data(), frames, kChannels, bin, sampleData);
        totalFrames += frames;
        if (frames < chunk)
            return true;
    }
}

void WaveSampleProvider::binPeaks(const float* interleaved, int frames, int channels, int binSize,
                                  std::vector<float>& bins) {
    for (int start = 0; start < frames; start += binSize) {
        const int end = std::min(start + binSize, frames);
        float peak = 0.0f;
        for (int i = start * channels; i < end * channels; ++i)
            peak = std::max(peak, interleaved[i]);
        bins.push_back(peak);
    }
}

void WaveSampleProvider::splitLength(qint64 frames, int* minute, int* sec) {
    const qint64 whole = frames / kSampleRate;
    *minute = int(whole / 60);
    *sec = int(whole % 60);
}

std::vector<float> WaveSampleProvider::dataForResolution(int n, int* filled) const {
    return downsample(normalized, n, filled);
}

std::vector<float> WaveSampleProvider::downsample(const std::vector<float>& bins, int n, int* filled) {
    n = std::max(n, 1);
    std::vector<float> values(std::size_t(n), 0.0f);
    const std::size_t count = bins.size();
    const std::size_t group = count / std::size_t(n) + 1;
    int groups = 0;
    for (std::size_t start = 0; start < count; start += group) {
        const auto end = bins.begin() + std::ptrdiff_t(std::min(start + group, count));
        values[std::size_t(groups++)] =
            std::max(0.0f, *std::max_element(bins.begin() + std::ptrdiff_t(start), end));
    }
    if (filled)
        *filled = groups;
    return values;
}
