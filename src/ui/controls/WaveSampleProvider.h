#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class WaveSampleProvider;
namespace platform::media {
class AudioReader;
}

// Who hears how a provider's reading goes; both are optional. Calls arrive on the main thread, in the order
// the provider made them, each with the status and message it had when it made the call.
class WaveSampleProviderDelegate {
public:
    virtual ~WaveSampleProviderDelegate() = default;
    virtual void statusUpdated(WaveSampleProvider& provider, int status, const QString& message) {
        (void)provider, (void)status, (void)message;
    }
    // The reading has ended, loaded (status 1) or failed (status 2).
    virtual void sampleProcessed(WaveSampleProvider& provider, int status) { (void)provider, (void)status; }
};

// Reads one song file on a thread of its own into peak values, one per bin of frames, with its display
// title and length; a waveform view draws them. Made, used and destroyed on the main thread; one file, one
// reading. Destroying it ends the reading (at the next chunk) and drops the calls not yet delivered.
class WaveSampleProvider : public QObject {
    Q_OBJECT
public:
    enum Status { Processing = 0, Loaded = 1, Failed = 2 };
    static constexpr int kSampleRate = 44100;
    static constexpr int kChunkBins = 500;

    // The title is the file's name until the file's tags give one; `title` stands in for the name.
    explicit WaveSampleProvider(const QUrl& url, const QString& title = QString(), QObject* parent = nullptr);
    ~WaveSampleProvider() override;

    // Starts the reading; the delegate should be set before. Only the first call counts.
    void createSampleData();

    // `n` (at least 1) values for drawing: consecutive groups of bins, each the largest of its group, and
    // zeros after them; *filled says how many are groups. Meaningful once the status is Loaded.
    std::vector<float> dataForResolution(int n, int* filled) const;
    // The same for any list of bins: groups of C / n + 1, so never more than n of them.
    static std::vector<float> downsample(const std::vector<float>& bins, int n, int* filled);
    // Whole minutes and remaining seconds of a length in frames at 44.1 kHz (whole seconds, truncated).
    static void splitLength(qint64 frames, int* minute, int* sec);
    // The peak of each bin of `binSize` frames of interleaved audio, the largest positive sample of any
    // channel; a bin whose samples are all negative is 0. Appended to `bins`.
    static void binPeaks(const float* interleaved, int frames, int channels, int binSize,
                         std::vector<float>& bins);

    QUrl audioURL() const { return url; }
    // The name given (else the file's) until the reading finds the file's own title (and artist).
    QString title() const;
    int status() const;
    QString statusMessage() const;
    int binSize() const { return bin; }
    void setBinSize(int frames);
    // Read by the main thread once the reading has ended.
    int minute() const { return minutes; }
    int sec() const { return seconds; }
    int lengthInSec() const { return wholeSeconds; }
    qint64 framesRead() const { return totalFrames; }
    const std::vector<float>& normalizedData() const { return normalized; }

    WaveSampleProviderDelegate* delegate() const { return listener; }
    void setDelegate(WaveSampleProviderDelegate* delegate) { listener = delegate; }

private:
    void loadSample();
    // False with the failure's status set.
    bool processSample();
    bool readChunks(platform::media::AudioReader& reader);
    void setStatus(int status, const QString& message);
    void informDelegateOfFinish();
    void deliver(std::function<void()> call);

    const QUrl url;
    WaveSampleProviderDelegate* listener = nullptr;
    int bin = 50;
    mutable std::mutex mutex; // the title and the status pair, which the reading replaces
    QString displayTitle;
    int currentStatus = Processing;
    QString message;
    // Written by the reading only, read after it ended.
    std::vector<float> sampleData;
    std::vector<float> normalized;
    qint64 totalFrames = 0;
    int minutes = 0;
    int seconds = 0;
    int wholeSeconds = 0;
    std::atomic<bool> cancelled{false};
    std::thread reading;
};
