#pragma once

#include <QIODevice>

#include <memory>

class ReqHTTPRequest;

// What a request body is sent from: bytes or a file, read through the bandwidth budget. While a limit is
// set, each read takes at most what the budget allows now (and at least one byte), counts what it took
// and lets the request take its stream off the loop when the second's budget is spent.
class ReqInputStream : public QIODevice {
public:
    static std::shared_ptr<ReqInputStream>
    inputStreamWithFileAtPath(const QString& path, const std::shared_ptr<ReqHTTPRequest>& request);
    static std::shared_ptr<ReqInputStream>
    inputStreamWithData(const QByteArray& data, const std::shared_ptr<ReqHTTPRequest>& request);
    ~ReqInputStream() override;

    bool open(OpenMode mode) override;
    void close() override;
    bool isSequential() const override { return false; }
    qint64 size() const override;
    bool seek(qint64 position) override;

protected:
    qint64 readData(char* data, qint64 maxLength) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    ReqInputStream(std::unique_ptr<QIODevice> stream, const std::shared_ptr<ReqHTTPRequest>& request);

    std::unique_ptr<QIODevice> stream;
    std::weak_ptr<ReqHTTPRequest> request; // the request it sends for (not kept alive by it)
};
