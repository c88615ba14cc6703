#include "webservice/BaseClasses/DSServiceBase.h"

#include "platform/foundation/ApplicationVersion.h"
#include "platform/foundation/StandardPaths.h"
#include "webservice/BaseClasses/DSParseQueue.h"
#include "webservice/BaseClasses/DSUtilities.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QRegularExpression>

#include <sys/utsname.h>

namespace {

// Any non-zero byte: the mask only keeps the password from resting in memory in clear.
constexpr char kPasswordMask = char(0x5C);

void maskInPlace(QByteArray& bytes) {
    for (char& byte : bytes)
        byte = char(byte ^ kPasswordMask);
}

} // namespace

DSServiceBase::DSServiceBase()
    : operationQueue_(std::make_shared<DSParseQueue>()), fetcherService_(NetHTTPFetcherService::create()) {
    fetcherService_->setShouldRememberETags(true);
}

DSServiceBase::~DSServiceBase() = default;

void DSServiceBase::init() {
    setServiceUploadChunkSize(defaultServiceUploadChunkSize());
}

DSServiceTicketRef DSServiceBase::makeTicket() {
    return DSServiceTicketBase::ticketForService(shared_from_this());
}

QString DSServiceBase::serviceVersion() const {
    return serviceVersion_.isNull() ? defaultServiceVersion() : serviceVersion_;
}

void DSServiceBase::setUserAgent(const QString& userAgent) {
    userAgent_ = DSUtilities::userAgentStringForString(userAgent);
}

void DSServiceBase::setAuthorizer(const std::shared_ptr<NetFetcherAuthorizationProtocol>& authorizer) {
    if (authorizer)
        setUserCredentialsWithUsername(QString(), QString());
    if (fetcherService_->authorizer() != authorizer) {
        clearResponseDataCache();
        fetcherService_->setAuthorizer(authorizer);
    }
}

void DSServiceBase::setServiceProperty(const QString& key, const QVariant& value) {
    if (value.isValid())
        serviceProperties_.insert(key, value);
    else
        serviceProperties_.remove(key);
}

void DSServiceBase::setServiceUploadChunkSize(quint64 bytes) {
    // Every platform this runs on reports data as it is sent: the standard size is the large one.
    uploadChunkSize_ = bytes == kStandardUploadChunkSize ? quint64(26214400) : bytes;
}

void DSServiceBase::setUserCredentialsWithUsername(const QString& username, const QString& password) {
    if (!username.isNull() && username != username_)
        fetcherService_->clearHistory();
    username_ = username;
    if (password.isNull()) {
        password_ = QByteArray();
        return;
    }
    password_ = password.toUtf8();
    maskInPlace(password_);
}

QString DSServiceBase::password() const {
    if (password_.isNull())
        return QString();
    QByteArray clear = password_;
    maskInPlace(clear);
    const QString text = QString::fromUtf8(clear);
    clear.fill('\0');
    return text;
}

// ---- requests

DSServiceBase::Request DSServiceBase::requestForURL(const QUrl& url, const QString& ETag,
                                                    const QString& httpMethod, const DSServiceTicketRef&) {
    Request request(url);
    request.cachePolicy = platform::net::CachePolicy::ReloadIgnoringLocalCacheData;
    request.timeoutInterval = 60.0; // idle: a large chunk on a slow line may take far longer in all
    request.setValue("User-Agent", requestUserAgent().toUtf8());

    const QString version = serviceVersion();
    const QString query = url.query(QUrl::FullyEncoded);
    if (!version.isEmpty() && !query.contains(QLatin1String("&v=")) && !query.startsWith(QLatin1String("v=")))
        request.setValue("DS-Version", version.toUtf8());
    if (!httpMethod.isEmpty())
        request.httpMethod = httpMethod.toUtf8();

    if (!ETag.isEmpty()) {
        const auto is = [&](const char* method) {
            return httpMethod.compare(QLatin1String(method), Qt::CaseInsensitive) == 0;
        };
        if (httpMethod.isEmpty() || is("GET"))
            request.setValue("If-None-Match", ETag.toUtf8());
        else if ((is("PUT") || is("DELETE") || is("PATCH")) && !ETag.startsWith(QLatin1String("W/")))
            request.setValue("If-Match", ETag.toUtf8());
    }
    return request;
}

DSServiceBase::Request DSServiceBase::objectRequestForURL(const QUrl& url, const DSObjectRef& object,
                                                          QString ETag, const QString& httpMethod,
                                                          const DSServiceTicketRef& ticket) {
    if (object && ETag.isNull())
        ETag = object->attributeValueForExtensionClass(DSETagAttribute::staticClass());
    const bool isPatch = object && httpMethod == QLatin1String("PATCH");
    const QByteArray contentType =
        isPatch ? "application/xml; charset=utf-8" : "application/atom+xml; charset=utf-8";
    Request request = requestForURL(url, ETag, httpMethod, ticket);
    request.setValue("Accept", "application/atom+xml, text/xml");
    request.setValue("Content-Type", contentType);
    request.setValue("Cache-Control", "no-cache");
    return request;
}

QString DSServiceBase::requestUserAgent() const {
    QString agent = userAgent();
    if (agent.isEmpty() || agent.startsWith(QLatin1String("MyCompany-")))
        agent = defaultApplicationIdentifier();
    if (agent.contains(QLatin1String("DS-Client"), Qt::CaseInsensitive))
        return agent;
    return QStringLiteral("%1 %2/%3 %4 (gzip)")
        .arg(agent, QStringLiteral("DS-Client"), DSLibraryVersionString(), systemVersionString());
}

QString DSServiceBase::systemVersionString() {
    int numbers[3] = {0, 0, 0};
    struct utsname name {};
    if (::uname(&name) == 0) {
        static const QRegularExpression leading(QStringLiteral("^(\\d+)(?:\\.(\\d+))?(?:\\.(\\d+))?"));
        const QRegularExpressionMatch match = leading.match(QString::fromLatin1(name.release));
        for (int i = 0; i < 3; ++i)
            numbers[i] = match.captured(i + 1).toInt();
    }
    return QStringLiteral("Linux/%1.%2.%3").arg(numbers[0]).arg(numbers[1]).arg(numbers[2]);
}

QString DSServiceBase::defaultApplicationIdentifier() {
    static const QString identifier = [] {
        QString text = platform::paths::bundleIdentifier();
        if (text.isEmpty())
            text = QStringLiteral("proc_%1").arg(QCoreApplication::applicationName());
        if (const QString version = platform::applicationVersion(); !version.isEmpty())
            text += QLatin1Char('-') + version;
        return DSUtilities::userAgentStringForString(text);
    }();
    return identifier;
}

// ---- waiting and progress

bool DSServiceBase::waitForTicket(const DSServiceTicketRef& ticket, double seconds,
                                  DSObjectRef* fetchedObject, platform::OptionalError* error) {
    const QDeadlineTimer deadline(qint64(seconds * 1000.0));
    while (ticket && !ticket->hasCalledCallback() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    const DSObjectRef object = ticket ? ticket->fetchedObject() : nullptr;
    if (fetchedObject)
        *fetchedObject = object;
    if (error)
        *error = ticket ? ticket->fetchError() : std::nullopt;
    return object != nullptr;
}

NetHTTPFetcher::SentDataSelector DSServiceBase::objectFetcherSentDataSelector() {
    const std::weak_ptr<DSServiceBase> weak = weak_from_this();
    return [weak](NetHTTPFetcher& fetcher, qint64, qint64 totalSent, qint64 totalExpected) {
        const auto service = weak.lock();
        const DSServiceTicketRef ticket = DSServiceTicketBase::ticketForFetcher(fetcher);
        if (service && ticket)
            service->invokeProgressCallbackForTicket(ticket, quint64(qMax<qint64>(totalSent, 0)),
                                                     quint64(qMax<qint64>(totalExpected, 0)));
    };
}

void DSServiceBase::invokeProgressCallbackForTicket(const DSServiceTicketRef& ticket, quint64 delivered,
                                                    quint64 total) {
    if (const ProgressSelector selector = ticket->uploadProgressSelector())
        selector(ticket, delivered, total);
    if (const ProgressHandler handler = ticket->uploadProgressHandler())
        handler(ticket, delivered, total);
}
