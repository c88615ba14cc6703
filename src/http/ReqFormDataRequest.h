#pragma once

#include "http/ReqHTTPRequest.h"

#include <QVariant>

// A request that posts an HTML form: named values, and named files or blocks of bytes, url-encoded or as
// multipart form data. A form with a file is always multipart and is assembled in a temporary file.
class ReqFormDataRequest : public ReqHTTPRequest {
public:
    enum PostFormat { kMultipartFormDataPostFormat = 0, kURLEncodedPostFormat = 1 };

    static std::shared_ptr<ReqFormDataRequest> requestWithURL(const QUrl& url);
    Ptr copy() const override;

    // A value is sent as its text; nothing happens without a key.
    void addPostValue(const QVariant& value, const QString& key);
    void setPostValue(const QVariant& value, const QString& key);
    // A file that is not there (or is a folder) fails the request at once with code 6. The file name
    // defaults to the file's own, the content type to the type its name suggests.
    void addFile(const QString& path, const QString& key);
    void addFile(const QString& path, const QString& fileName, const QString& contentType,
                 const QString& key);
    void setFile(const QString& path, const QString& key);
    void setFile(const QString& path, const QString& fileName, const QString& contentType,
                 const QString& key);
    // Bytes sent as a file: named "file" and typed "application/octet-stream" unless told otherwise.
    void addData(const QByteArray& data, const QString& key);
    void addData(const QByteArray& data, const QString& fileName, const QString& contentType,
                 const QString& key);
    void setData(const QByteArray& data, const QString& key);
    void setData(const QByteArray& data, const QString& fileName, const QString& contentType,
                 const QString& key);

    void buildPostBody() override;
    void buildURLEncodedPostBody();
    void buildMultipartFormDataPostBody();
    void appendPostString(const QString& text);
    QString encodeURL(const QString& text) const;

    // Entries in the order added: values {"key", "value"}; files {"key", "fileName", "contentType", "data"},
    // where "data" holds bytes (QByteArray) or a file's path (QString).
    QList<QVariantMap> postData() const;
    QList<QVariantMap> fileData() const;
    int postFormat() const { return postFormat_; }
    void setPostFormat(int format) { postFormat_ = format; }
    // An IANA charset name ("UTF-8"), for every text of the body and for the percent escapes.
    QByteArray stringEncoding() const { return stringEncoding_.get(); }
    void setStringEncoding(QByteArray encoding) { stringEncoding_.set(std::move(encoding)); }

protected:
    explicit ReqFormDataRequest(const QUrl& url);
    Ptr newRequestOfSameKind(const QUrl& url) const override { return requestWithURL(url); }

private:
    void removeEntries(ReqGuarded<std::optional<QList<QVariantMap>>>& entries, const QString& key);
    void append(ReqGuarded<std::optional<QList<QVariantMap>>>& entries, QVariantMap entry);
    QByteArray charsetName() const;

    ReqGuarded<std::optional<QList<QVariantMap>>> postData_; // made on first use
    ReqGuarded<std::optional<QList<QVariantMap>>> fileData_;
    std::atomic<int> postFormat_{kURLEncodedPostFormat};
    ReqGuarded<QByteArray> stringEncoding_{QByteArray("UTF-8")};
};
