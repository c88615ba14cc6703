#pragma once

#include "dvd/DVDStepError.h"
#include "platform/disc/TrackProducer.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class StreamedChildProcess;

// The disc image of an authored DVD folder, made on the fly: a size run of mkisofs ("-print-size")
// measures the track in 2048-byte blocks, then, as the track's producer, a streaming run of mkisofs
// writes the image that the burn reads block after block. No image file is written.
//
// The producer calls come from the burn's thread; cancel() may come from any thread. An image that
// ends before the measured size fails the burn (the disc layer records zeros for the rest and reports
// it); one that is larger, or a streaming run that fails, is reported by streamError() after the burn.
class DVDImageCreatorObject : public platform::disc::TrackProducer {
public:
    // The private folder for the image's FIFO; empty: the program's own temporary folder.
    explicit DVDImageCreatorObject(QString temporaryFolder = QString());
    ~DVDImageCreatorObject() override;

    // Measures the image of `folder` with volume label `discName`: its size in blocks, or 0 with the
    // reason when the size run failed or gave no positive number (then nothing may be burnt).
    std::int64_t getTrackForFolder(const QString& folder, const QString& discName,
                                   DVDStepError* error = nullptr);
    std::int64_t imageSize(DVDStepError* error = nullptr);
    std::int64_t blockCount() const { return blocks; }

    // The leading whole number of the size run's output; 0 when there is none.
    static std::int64_t parseBlockCount(const QByteArray& output);
    static QStringList sizeRunArguments(const QString& label, const QString& folder);
    static QStringList streamRunArguments(const QString& label, const QString& folder);

    // The track producer: prepare() starts the streaming run (createImage), produce() reads the image.
    bool prepare() override;
    std::size_t produce(std::uint8_t* buffer, std::size_t size) override;
    void cancel() override;
    void cleanup() override;

    // The path list that would put each slide's original photo into a "Photos" folder of the disc: a line
    // "Photos/<file name>=<original path>" per slide of the open project, in slide order ("=" and "\" in
    // either side escaped, as path lists want; a name with a line break cannot be listed and is left out),
    // in "orginal.lst" of the private temporary folder. Its path, or empty when it could not be written.
    QString createOriginalFileList(DVDStepError* error = nullptr);
    QString strOriginalFileList() const;
    static QString originalFileListText(const QStringList& originalFileNames);

    // After the burn: why the image stream was not exactly the measured image of a good run; unset when it
    // was.
    DVDStepError streamError() const;

private:
    bool createImage();
    void finishStream();

    QString temporary;
    QString folderPath;
    QString discName;
    std::int64_t blocks = 0;
    QString originalFileList;
    std::unique_ptr<StreamedChildProcess> trackCreator;
    std::atomic<std::int64_t> produced{0};
    std::atomic<bool> cancelled{false};
    mutable std::mutex mutex; // guards trackCreator's life against cancel() and the error below
    DVDStepError error;
};
