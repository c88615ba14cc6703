#include "http/ReqFormDataRequest.h"

#include "http/ReqHTTPRequestErrors.h"
#include "http/ReqTextEncoding.h"

#include <QFileInfo>
#include <QUuid>

namespace {

constexpr char kKey[] = "key";
constexpr char kValue[] = "value";
constexpr char kFileName[] = "fileName";
constexpr char kContentType[] = "contentType";
constexpr char kData[] = "data";

// Names and file names stand between double quotes in a part's head: a quote or a line break in them
// would end the name or start a forged head line.
QString quotedSafe(QString text) {
    return text.replace(u'"', QLatin1String("%22"))
        .replace(u'\r', QLatin1String("%0D"))
        .replace(u'\n', QLatin1String("%0A"));
}

} // namespace

std::shared_ptr<ReqFormDataRequest> ReqFormDataRequest::requestWithURL(const QUrl& url) {
    return std::shared_ptr<ReqFormDataRequest>(new ReqFormDataRequest(url));
}

ReqFormDataRequest::ReqFormDataRequest(const QUrl& url) : ReqHTTPRequest(url) {
    setRequestMethod("POST");
}

ReqHTTPRequest::Ptr ReqFormDataRequest::copy() const {
    const auto made = std::static_pointer_cast<ReqFormDataRequest>(ReqHTTPRequest::copy());
    made->postData_.set(postData_.get());
    made->fileData_.set(fileData_.get());
    made->setPostFormat(postFormat());
    made->setStringEncoding(stringEncoding());
    made->setRequestMethod(requestMethod());
    return made;
}

QList<QVariantMap> ReqFormDataRequest::postData() const {
    return postData_.get().value_or(QList<QVariantMap>());
}

QList<QVariantMap> ReqFormDataRequest::fileData() const {
    return fileData_.get().value_or(QList<QVariantMap>());
}

void ReqFormDataRequest::append(ReqGuarded<std::optional<QList<QVariantMap>>>& entries, QVariantMap entry) {
    entries.update([&](std::optional<QList<QVariantMap>>& list) {
        if (!list)
            list.emplace();
        list->append(std::move(entry));
    });
}

void ReqFormDataRequest::removeEntries(ReqGuarded<std::optional<QList<QVariantMap>>>& entries,
                                       const QString& key) {
    entries.update([&](std::optional<QList<QVariantMap>>& list) {
        if (list)
            list->removeIf([&](const QVariantMap& entry) { return entry.value(kKey).toString() == key; });
    });
}

// --- Values and files
// ---------------------------------------------------------------------------------------

void ReqFormDataRequest::addPostValue(const QVariant& value, const QString& key) {
    if (key.isEmpty())
        return;
    append(postData_, {{kKey, key}, {kValue, value.toString()}});
}

void ReqFormDataRequest::setPostValue(const QVariant& value, const QString& key) {
    removeEntries(postData_, key);
    addPostValue(value, key);
}

void ReqFormDataRequest::addFile(const QString& path, const QString& key) {
    addFile(path, QString(), QString(), key);
}

void ReqFormDataRequest::addFile(const QString& path, const QString& fileName, const QString& contentType,
                                 const QString& key) {
    const QFileInfo info(path);
    if (!info.exists() || info.isDir()) {
        failWithError(reqError(ReqInternalErrorWhileBuildingRequestType,
                               QStringLiteral("No file exists at %1").arg(path)));
        return;
    }
    const QString name = fileName.isEmpty() ? info.fileName() : fileName;
    const QString type = contentType.isEmpty() ? mimeTypeForFileAtPath(path) : contentType;
    append(fileData_, {{kKey, key}, {kFileName, name}, {kContentType, type}, {kData, path}});
}

void ReqFormDataRequest::setFile(const QString& path, const QString& key) {
    setFile(path, QString(), QString(), key);
}

void ReqFormDataRequest::setFile(const QString& path, const QString& fileName, const QString& contentType,
                                 const QString& key) {
    removeEntries(fileData_, key);
    addFile(path, fileName, contentType, key);
}

void ReqFormDataRequest::addData(const QByteArray& data, const QString& key) {
    addData(data, QStringLiteral("file"), QString(), key);
}

void ReqFormDataRequest::addData(const QByteArray& data, const QString& fileName, const QString& contentType,
                                 const QString& key) {
    const QString type = contentType.isEmpty() ? QStringLiteral("application/octet-stream") : contentType;
    append(fileData_, {{kKey, key}, {kFileName, fileName}, {kContentType, type}, {kData, data}});
}

void ReqFormDataRequest::setData(const QByteArray& data, const QString& key) {
    setData(data, QStringLiteral("file"), QString(), key);
}

void ReqFormDataRequest::setData(const QByteArray& data, const QString& fileName, const QString& contentType,
                                 const QString& key) {
    removeEntries(fileData_, key);
    addData(data, fileName, contentType, key);
}

// --- The body
// -------------------------------------------------------------------------------------------------

void ReqFormDataRequest::buildPostBody() {
    if (haveBuiltPostBody())
        return;
    if (!postData_.get() && !fileData_.get()) {
        ReqHTTPRequest::buildPostBody();
        return;
    }
    if (!fileData().isEmpty())
        setShouldStreamPostDataFromDisk(true);
    if (postFormat() == kURLEncodedPostFormat)
        buildURLEncodedPostBody();
    else
        buildMultipartFormDataPostBody();
    ReqHTTPRequest::buildPostBody();
}

void ReqFormDataRequest::appendPostString(const QString& text) {
    appendPostData(ReqTextEncoding::encode(text, stringEncoding()));
}

QString ReqFormDataRequest::encodeURL(const QString& text) const {
    // Letters, digits, "-", "." and "_" stay; everything else, the tilde too, is escaped.
    return QString::fromLatin1(
        ReqTextEncoding::encode(text, stringEncoding()).toPercentEncoding(QByteArray(), "~"));
}

QByteArray ReqFormDataRequest::charsetName() const {
    return ReqTextEncoding::canonicalName(stringEncoding()).value_or(stringEncoding()).toLower();
}

void ReqFormDataRequest::buildURLEncodedPostBody() {
    if (!fileData().isEmpty()) {
        setPostFormat(kMultipartFormDataPostFormat);
        buildMultipartFormDataPostBody();
        return;
    }
    addRequestHeader("Content-Type", "application/x-www-form-urlencoded; charset=" + charsetName());
    const QList<QVariantMap> values = postData();
    for (qsizetype i = 0; i < values.size(); ++i)
        appendPostString(encodeURL(values[i].value(kKey).toString()) + u'=' +
                         encodeURL(values[i].value(kValue).toString()) +
                         (i + 1 < values.size() ? QStringLiteral("&") : QString()));
}

void ReqFormDataRequest::buildMultipartFormDataPostBody() {
    const QString boundary = QStringLiteral("0xKhTmLbOuNdArY-%1")
                                 .arg(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    addRequestHeader("Content-Type",
                     "multipart/form-data; charset=" + charsetName() + "; boundary=" + boundary.toLatin1());
    const QString separator = QStringLiteral("\r\n--%1\r\n").arg(boundary);
    appendPostString(QStringLiteral("--%1\r\n").arg(boundary));
    const QList<QVariantMap> values = postData();
    const QList<QVariantMap> files = fileData();
    for (qsizetype i = 0; i < values.size(); ++i) {
        appendPostString(QStringLiteral("Content-Disposition: form-data; name=\"%1\"\r\n\r\n")
                             .arg(quotedSafe(values[i].value(kKey).toString())));
        appendPostString(values[i].value(kValue).toString());
        if (i + 1 < values.size() || !files.isEmpty())
            appendPostString(separator);
    }
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QVariantMap& file = files[i];
        appendPostString(QStringLiteral("Content-Disposition: form-data; name=\"%1\"; filename=\"%2\"\r\n"
                                        "Content-Type: %3\r\n\r\n")
                             .arg(quotedSafe(file.value(kKey).toString()),
                                  quotedSafe(file.value(kFileName).toString()),
                                  file.value(kContentType).toString()));
        const QVariant data = file.value(kData);
        if (data.typeId() == QMetaType::QByteArray)
            appendPostData(data.toByteArray());
        else
            appendPostDataFromFile(data.toString());
        if (i + 1 < files.size())
            appendPostString(separator);
    }
    appendPostString(QStringLiteral("\r\n--%1--\r\n").arg(boundary));
}
