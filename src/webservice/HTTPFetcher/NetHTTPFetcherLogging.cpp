// The fetcher's debug log: its class settings, the numbered records and their hooks into the fetch.

#include "webservice/HTTPFetcher/NetHTTPFetcher.h"

#include "webservice/HTTPFetcher/NetFetchLogFolder.h"
#include "webservice/HTTPFetcher/NetFetchLogText.h"
#include "webservice/HTTPFetcher/NetReadMonitorInputStream.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QStandardPaths>

#include <atomic>
#include <mutex>

namespace {

struct LoggingSettings {
    std::mutex mutex;
    bool enabled = false;
    bool toFiles = false;
    QString directory;
    QString processName;
    QString dateStamp;
};

LoggingSettings& settings() {
    static LoggingSettings loggingSettings;
    return loggingSettings;
}

template <class T> T stored(T LoggingSettings::*field) {
    std::lock_guard lock(settings().mutex);
    return settings().*field;
}

template <class T> void store(T LoggingSettings::*field, const T& value) {
    std::lock_guard lock(settings().mutex);
    settings().*field = value;
}

std::atomic<int> recordCount{0};

const char kRule[] = "-----------------------------------------------------------------------------";

QString indented(const QString& text) {
    QString answer;
    for (const QString& line : text.split(QLatin1Char('\n')))
        answer += QStringLiteral("  ") + line + QLatin1Char('\n');
    return answer;
}

void appendHeaders(QString& record, const platform::net::HttpHeaders& headers) {
    for (const auto& [name, value] : headers.all())
        record += QStringLiteral("  %1: %2\n")
                      .arg(QString::fromLatin1(name), NetFetchLogText::headerValue(name, value));
}

QString mimeTypeOf(const platform::net::HttpHeaders& headers) {
    return QString::fromLatin1(headers.value("Content-Type").split(';').first().trimmed()).toLower();
}

// The part of a body the log keeps, ending on a whole UTF-8 character so that a text cut short stays text.
QByteArray loggedPart(const QByteArray& bytes) {
    QByteArray part = bytes.left(NetHTTPFetcher::kMaximumLoggedBodyLength);
    for (qsizetype back = 1; back <= 3 && back <= part.size(); ++back) {
        const auto c = static_cast<unsigned char>(part[part.size() - back]);
        if ((c & 0xC0) == 0x80)
            continue;
        const int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (length > back)
            part.chop(back);
        break;
    }
    return part;
}

// A body as the log shows it, with a note of the bytes it leaves out.
QString loggedBody(const QByteArray& kept, qint64 length, const QString& mimeType, const char* verb) {
    const QByteArray part = loggedPart(kept);
    QString text = NetFetchLogText::body(part, mimeType);
    if (length > part.size())
        text += QStringLiteral("\n<<%1 more bytes %2>>").arg(length - part.size()).arg(QLatin1String(verb));
    return text;
}

// A reply's body as the record shows it; fills in what the entry keeps of it.
QString loggedResponseBody(const QByteArray& data, const QString& mimeType, NetFetchLogFolder::Entry& entry) {
    const QString body = loggedBody(data, data.size(), mimeType, "received");
    entry.extension = NetFetchLogText::fileExtension(data, mimeType);
    const bool isImage = !entry.extension.isEmpty() && entry.extension != u"xml";
    // An image is kept whole or not at all; a text only with its credentials taken out.
    if (isImage && data.size() <= NetHTTPFetcher::kMaximumLoggedBodyLength)
        entry.response = data;
    else if (!isImage && NetFetchLogText::isText(loggedPart(data), mimeType))
        entry.response = body.toUtf8();
    return body;
}

// A monitor is deleted on the thread it belongs to, where its reports are queued, whichever thread lets
// go of it last.
std::shared_ptr<NetReadMonitorInputStream> makeMonitor(std::shared_ptr<QIODevice> stream) {
    return std::shared_ptr<NetReadMonitorInputStream>(
        std::make_unique<NetReadMonitorInputStream>(std::move(stream)).release(),
        [](NetReadMonitorInputStream* monitor) { monitor->deleteLater(); });
}

} // namespace

void NetHTTPFetcher::setLoggingEnabled(bool enabled) {
    store(&LoggingSettings::enabled, enabled);
}

bool NetHTTPFetcher::isLoggingEnabled() {
    return stored(&LoggingSettings::enabled);
}

void NetHTTPFetcher::setLoggingToFileEnabled(bool enabled) {
    store(&LoggingSettings::toFiles, enabled);
}

bool NetHTTPFetcher::isLoggingToFileEnabled() {
    return stored(&LoggingSettings::toFiles);
}

void NetHTTPFetcher::setLoggingDirectory(const QString& path) {
    store(&LoggingSettings::directory, path);
}

QString NetHTTPFetcher::loggingDirectory() {
    const QString directory = stored(&LoggingSettings::directory);
    return !directory.isEmpty() ? directory
                                : QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                                      QStringLiteral("/NetHTTPDebugLogs");
}

void NetHTTPFetcher::setLoggingProcessName(const QString& name) {
    store(&LoggingSettings::processName, name);
}

QString NetHTTPFetcher::loggingProcessName() {
    const QString name = stored(&LoggingSettings::processName);
    const QString application = QCoreApplication::applicationName();
    return !name.isEmpty() ? name : !application.isEmpty() ? application : QStringLiteral("Vistrelle");
}

void NetHTTPFetcher::setLoggingDateStamp(const QString& stamp) {
    store(&LoggingSettings::dateStamp, stamp);
}

QString NetHTTPFetcher::loggingDateStamp() {
    std::lock_guard lock(settings().mutex);
    if (settings().dateStamp.isEmpty())
        settings().dateStamp = QDateTime::currentDateTime().toString(QStringLiteral("M-dd_hh-mm-ssAP"));
    return settings().dateStamp;
}

void NetHTTPFetcher::setupStreamLogging() {
    if (!isLoggingEnabled() || !request_ || !request_->httpBodyStream ||
        request_->httpBodyStream != postStream_)
        return;
    // A stream that knows its length goes on telling it: the monitor reads it as a sequence.
    if (!postStream_->isSequential() && !request_->headers.contains("Content-Length"))
        request_->setValue("Content-Length", QByteArray::number(postStream_->size() - postStream_->pos()));
    loggingStream_ = makeMonitor(postStream_);
    loggingStream_->open(QIODevice::ReadOnly);
    loggedStreamData_.clear();
    loggedStreamLength_ = 0;
    const std::weak_ptr<NetHTTPFetcher> weak = weak_from_this();
    loggingStream_->setReadHandler([weak](NetReadMonitorInputStream&, const char* bytes, qint64 length) {
        const auto fetcher = weak.lock();
        if (!fetcher)
            return;
        const qint64 room = kMaximumLoggedBodyLength - fetcher->loggedStreamData_.size();
        if (room > 0)
            fetcher->loggedStreamData_.append(bytes, std::min(room, length));
        fetcher->loggedStreamLength_ += length;
    });
    request_->httpBodyStream = loggingStream_;
}

void NetHTTPFetcher::logFetchWithError(const OptionalError& error) {
    if (!isLoggingEnabled())
        return;
    writeDebugLog(error, nullptr);
}

void NetHTTPFetcher::logRedirectToRequest(const Request& next) {
    if (!isLoggingEnabled())
        return;
    writeDebugLog(std::nullopt, &next);
}

QString NetHTTPFetcher::loggedRequestBody() const {
    const QString mimeType = request_ ? mimeTypeOf(request_->headers) : QString();
    if (!postData_.isNull())
        return loggedBody(postData_, postData_.size(), mimeType, "sent");
    if (!postStream_)
        return QString();
    if (!loggingStream_)
        return QStringLiteral("<<Uploaded stream log unavailable without NetReadMonitorInputStream>>");
    return loggedBody(loggedStreamData_, loggedStreamLength_, mimeType, "sent");
}

void NetHTTPFetcher::writeDebugLog(const OptionalError& error, const Request* redirect) {
    const int number = ++recordCount;
    const QString method = request_ ? QString::fromLatin1(request_->method()) : QString();
    const QString address = request_ ? NetFetchLogText::address(request_->url) : QString();
    const QString comment = NetFetchLogText::redacted(comment_);
    QString head =
        QStringLiteral("Fetch %1 at %2").arg(number).arg(QDateTime::currentDateTime().toString(Qt::ISODate));
    if (!comment.isEmpty())
        head += QStringLiteral(" (%1)").arg(comment);
    head += QStringLiteral("\n\nRequest: %1 %2\n").arg(method, address);
    if (request_)
        appendHeaders(head, request_->headers);
    if (const QString body = loggedRequestBody(); !body.isEmpty())
        head += QStringLiteral("Request body:\n") + indented(body);

    NetFetchLogFolder::Entry entry;
    entry.number = number;
    QString status = QStringLiteral("no reply");
    QString responseBody;
    if (response_) {
        status = QString::number(response_->statusCode);
        head += QStringLiteral("\nResponse: status %1\n").arg(status);
        appendHeaders(head, response_->headers);
        if (!redirect && !downloadPath_.isEmpty())
            head += QStringLiteral("Response body: written to a file, %1 bytes\n").arg(downloadedLength_);
        else if (!redirect && !downloadedData_.isEmpty())
            responseBody = QStringLiteral("Response body:\n") +
                           indented(loggedResponseBody(downloadedData_, response_->mimeType(), entry));
    }
    QString tail;
    if (redirect)
        tail += QStringLiteral("\nRedirected to: %1\n").arg(NetFetchLogText::address(redirect->url));
    if (error)
        tail += QStringLiteral("\nError: %1 %2: %3\n")
                    .arg(error->domain)
                    .arg(error->code)
                    .arg(NetFetchLogText::redacted(error->localizedDescription()));
    tail += QLatin1String(kRule) + QLatin1Char('\n');
    log_ = head + responseBody + tail;

    if (!isLoggingToFileEnabled())
        return;
    // A reply kept in a file of its own is not written out a second time in the record.
    entry.record = entry.response.isEmpty()
                       ? log_
                       : head +
                             QStringLiteral("Response body: in %1, %2 bytes received\n")
                                 .arg(NetFetchLogFolder::responseFileName(number, entry.extension))
                                 .arg(downloadedData_.size()) +
                             tail;
    entry.summary = QStringLiteral("%1. %2 %3: %4").arg(number).arg(method, address, status);
    if (!comment.isEmpty())
        entry.summary += QStringLiteral(" (%1)").arg(comment);
    NetFetchLogFolder::write(loggingDirectory(), loggingProcessName(), loggingDateStamp(), entry);
}
