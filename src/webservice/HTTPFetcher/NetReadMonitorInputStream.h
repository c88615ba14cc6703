#pragma once

#include "webservice/HTTPFetcher/NetInputStream.h"

#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>

// Passes reads through to another device unchanged and reports every block read, with its bytes, on the
// thread the monitor lives in (the one that made it): at once when read there, the bytes being the
// reader's own (the handler must not keep the pointer), else queued to that thread's event loop with a
// copy of the bytes, never waiting. Without an inner device it is empty.
class NetReadMonitorInputStream : public NetInputStream {
    Q_OBJECT
public:
    using ReadHandler =
        std::function<void(NetReadMonitorInputStream& stream, const char* bytes, qint64 length)>;

    explicit NetReadMonitorInputStream(std::shared_ptr<QIODevice> inputStream = nullptr,
                                       QObject* parent = nullptr);
    static std::unique_ptr<NetReadMonitorInputStream>
    inputStreamWithStream(std::shared_ptr<QIODevice> inputStream);

    const std::shared_ptr<QIODevice>& inputStream() const { return inputStream_; }
    // Safe from any thread; a report queued to the monitor's thread goes to the handler set when it runs.
    ReadHandler readHandler() const;
    void setReadHandler(ReadHandler handler);
    // Kept for callers that name run-loop modes; Qt's event loops have none, so reports ignore them.
    QStringList runLoopModes() const;
    void setRunLoopModes(const QStringList& modes);

    bool open(OpenMode mode) override; // opens the inner device too when it is not open yet
    void close() override;
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char* data, qint64 maxLength) override;

private:
    void reportRead(const char* bytes, qint64 length);

    std::shared_ptr<QIODevice> inputStream_;
    mutable std::mutex mutex_; // guards the handler and the modes, which other threads read
    ReadHandler readHandler_;
    QStringList runLoopModes_;
};
