#include "http/ReqDownloadCache.h"

#include "http/ReqHTTPRequest.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/PropertyListValues.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {

constexpr char kSessionStore[] = "SessionStore";
constexpr char kPermanentStore[] = "PermanentStore";
constexpr char kHeadersExtension[] = "cachedheaders";
constexpr char kExpiresKey[] = "X-ReqHTTPRequest-Expires";
constexpr char kStatusKey[] = "X-ReqHTTPRequest-Response-Status-Code";

QString cacheRoot() {
    // The XDG cache folder itself, shared by all programs (the application's own folder lies beneath it).
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/ReqHTTPRequestCache");
}

platform::net::HttpHeaders headersOf(const QVariantMap& dictionary) {
    platform::net::HttpHeaders headers;
    for (auto it = dictionary.begin(); it != dictionary.end(); ++it)
        headers.add(it.key().toLatin1(), it.value().toString().toLatin1());
    return headers;
}

bool hasDirective(const QString& value, const QStringList& refused) {
    for (const QString& directive : value.split(u','))
        if (refused.contains(directive.trimmed().section(u'=', 0, 0).trimmed(), Qt::CaseInsensitive))
            return true;
    return false;
}

void ensureFolder(const QString& path) {
    const QFileInfo info(path);
    if (info.exists() && !info.isDir())
        throw ReqException(
            QStringLiteral("FileExistsAtCachePath"),
            QStringLiteral("Cannot create a directory for the cache at '%1', because a file already exists")
                .arg(path));
    if (!info.exists()) {
        QDir().mkdir(path);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    if (!QFileInfo(path).isDir())
        throw ReqException(QStringLiteral("FailedToCreateCacheDirectory"),
                           QStringLiteral("Failed to create a directory for the cache at '%1'").arg(path));
}

} // namespace

std::shared_ptr<ReqDownloadCache> ReqDownloadCache::sharedCache() {
    static std::mutex mutex;
    static std::shared_ptr<ReqDownloadCache> shared;
    std::lock_guard lock(mutex);
    if (!shared) {
        auto made = std::make_shared<ReqDownloadCache>();
        QDir().mkpath(QFileInfo(cacheRoot()).path());
        made->setStoragePath(cacheRoot());
        shared = made;
    }
    return shared;
}

// --- Paths
// --------------------------------------------------------------------------------------------------

QString ReqDownloadCache::storagePath() const {
    std::lock_guard lock(accessLock);
    return root;
}

void ReqDownloadCache::setStoragePath(const QString& path) {
    std::lock_guard lock(accessLock);
    clearCachedResponsesForStoragePolicy(ReqCacheForSessionDurationCacheStoragePolicy);
    root = path;
    for (const QString& folder :
         {path, path + u'/' + QLatin1String(kSessionStore), path + u'/' + QLatin1String(kPermanentStore)})
        ensureFolder(folder);
    clearCachedResponsesForStoragePolicy(ReqCacheForSessionDurationCacheStoragePolicy);
}

QString ReqDownloadCache::storeFolder(int storagePolicy) const {
    return root + u'/' +
           QLatin1String(storagePolicy == ReqCacheForSessionDurationCacheStoragePolicy ? kSessionStore
                                                                                       : kPermanentStore);
}

QString ReqDownloadCache::keyForURL(const QUrl& url) {
    QString text = url.toString(QUrl::FullyEncoded);
    if (text.isEmpty())
        return QString();
    if (text.endsWith(u'/'))
        text.chop(1);
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex().toUpper());
}

QStringList ReqDownloadCache::fileExtensionsToHandleAsHTML() {
    return {"asp", "aspx", "jsp", "php", "rb", "py", "pl", "cgi"};
}

QString ReqDownloadCache::dataFileName(const QUrl& url) {
    // The extension comes from the network: only a plain one names a file.
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_-]{1,32}$"));
    QString extension = QFileInfo(url.path()).suffix();
    if (!plain.match(extension).hasMatch() || fileExtensionsToHandleAsHTML().contains(extension.toLower()))
        extension = QStringLiteral("html");
    return keyForURL(url) + u'.' + extension;
}

QString ReqDownloadCache::pathToFile(const QString& file) const {
    std::lock_guard lock(accessLock);
    if (root.isEmpty())
        return QString();
    for (int storage :
         {ReqCacheForSessionDurationCacheStoragePolicy, ReqCachePermanentlyCacheStoragePolicy}) {
        const QString path = storeFolder(storage) + u'/' + file;
        if (QFileInfo::exists(path))
            return path;
    }
    return QString();
}

QString ReqDownloadCache::pathToCachedResponseDataForURL(const QUrl& url) {
    return keyForURL(url).isEmpty() ? QString() : pathToFile(dataFileName(url));
}

QString ReqDownloadCache::pathToCachedResponseHeadersForURL(const QUrl& url) {
    const QString key = keyForURL(url);
    return key.isEmpty() ? QString() : pathToFile(key + u'.' + QLatin1String(kHeadersExtension));
}

QString ReqDownloadCache::pathToStoreCachedResponseHeadersForRequest(ReqHTTPRequest& request) {
    std::lock_guard lock(accessLock);
    const QString key = keyForURL(request.url());
    if (root.isEmpty() || key.isEmpty())
        return QString();
    return storeFolder(request.cacheStoragePolicy()) + u'/' + key + u'.' + QLatin1String(kHeadersExtension);
}

QString ReqDownloadCache::pathToStoreCachedResponseDataForRequest(ReqHTTPRequest& request) {
    std::lock_guard lock(accessLock);
    if (root.isEmpty() || keyForURL(request.url()).isEmpty())
        return QString();
    return storeFolder(request.cacheStoragePolicy()) + u'/' + dataFileName(request.url());
}

// --- Reading
// ------------------------------------------------------------------------------------------------

QVariantMap ReqDownloadCache::cachedDictionaryForURL(const QUrl& url) {
    const QString path = pathToCachedResponseHeadersForURL(url);
    return path.isEmpty() ? QVariantMap() : platform::readPropertyListFile(path).toMap();
}

std::optional<platform::net::HttpHeaders> ReqDownloadCache::cachedResponseHeadersForURL(const QUrl& url) {
    std::lock_guard lock(accessLock);
    const QString path = pathToCachedResponseHeadersForURL(url);
    if (path.isEmpty())
        return std::nullopt;
    const QVariant stored = platform::readPropertyListFile(path);
    if (stored.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return headersOf(stored.toMap());
}

std::optional<QByteArray> ReqDownloadCache::cachedResponseDataForURL(const QUrl& url) {
    std::lock_guard lock(accessLock);
    QFile file(pathToCachedResponseDataForURL(url));
    if (file.fileName().isEmpty() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

int ReqDownloadCache::defaultCachePolicy() const {
    std::lock_guard lock(accessLock);
    return policy;
}

void ReqDownloadCache::setDefaultCachePolicy(int value) {
    std::lock_guard lock(accessLock);
    policy = value == ReqUseDefaultCachePolicy ? ReqAskServerIfModifiedWhenStaleCachePolicy : value;
}

std::optional<QDateTime> ReqDownloadCache::expiryDateForRequest(ReqHTTPRequest& request, double maxAge) {
    return ReqHTTPRequest::expiryDateForRequest(request, maxAge);
}

bool ReqDownloadCache::canUseCachedDataForRequest(ReqHTTPRequest& request) {
    const int bits = request.cachePolicy();
    if (bits & ReqDoNotReadFromCacheCachePolicy)
        return false;
    if (bits & ReqDontLoadCachePolicy)
        return true;
    const QUrl url = request.url();
    if (!cachedResponseHeadersForURL(url) || pathToCachedResponseDataForURL(url).isEmpty())
        return false;
    if (bits & ReqOnlyLoadIfNotCachedCachePolicy)
        return true;
    if (request.complete() && (bits & ReqFallbackToCacheIfLoadFailsCachePolicy))
        return true;
    if (!(bits & (ReqAskServerIfModifiedWhenStaleCachePolicy | ReqAskServerIfModifiedCachePolicy)))
        return false;
    if ((bits & ReqAskServerIfModifiedCachePolicy) && !(bits & ReqAskServerIfModifiedWhenStaleCachePolicy) &&
        !request.responseHeaders())
        return false;
    return isCachedDataCurrentForRequest(request);
}

bool ReqDownloadCache::isCachedDataCurrentForRequest(ReqHTTPRequest& request) {
    std::lock_guard lock(accessLock);
    const QUrl url = request.url();
    const QVariantMap cached = cachedDictionaryForURL(url);
    if (root.isEmpty() || cached.isEmpty() || pathToCachedResponseDataForURL(url).isEmpty())
        return false;
    if (request.responseStatusCode() == 304)
        return true;
    const auto fresh = request.responseHeaders();
    if (fresh && request.complete()) {
        for (const char* name : {"Etag", "Last-Modified"}) {
            const QByteArray now = fresh->value(name);
            if (now.isNull() || QString::fromLatin1(now) != headersOf(cached).text(name))
                return false;
        }
    }
    if (respectsCacheControl) {
        if (!cached.contains(QLatin1String(kExpiresKey)))
            return false;
        const double expires = cached.value(QLatin1String(kExpiresKey)).toDouble();
        if (expires * 1000.0 < double(QDateTime::currentMSecsSinceEpoch()))
            return false;
    }
    return true;
}

// --- Writing
// --------------------------------------------------------------------------------------------------

bool ReqDownloadCache::serverAllowsResponseCachingForRequest(ReqHTTPRequest& request) {
    const platform::net::HttpHeaders headers =
        request.responseHeaders().value_or(platform::net::HttpHeaders());
    // Each directive counts, wherever it stands in the field.
    return !hasDirective(QString::fromLatin1(headers.combinedValue("Cache-Control")),
                         {"no-cache", "no-store"}) &&
           !hasDirective(QString::fromLatin1(headers.combinedValue("Pragma")), {"no-cache"});
}

void ReqDownloadCache::storeResponseForRequest(ReqHTTPRequest& request, double maxAge) {
    std::lock_guard lock(accessLock);
    const auto headers = request.responseHeaders();
    const int status = request.responseStatusCode();
    if (request.error() || !headers || (request.cachePolicy() & ReqDoNotWriteToCacheCachePolicy) ||
        (status != 200 && status != 301 && status != 302 && status != 303 && status != 307) ||
        (respectsCacheControl && !serverAllowsResponseCachingForRequest(request)))
        return;
    QVariantMap dictionary;
    for (const auto& field : headers->all())
        if (!dictionary.contains(QString::fromLatin1(field.first)))
            dictionary.insert(QString::fromLatin1(field.first),
                              QString::fromLatin1(headers->combinedValue(field.first)));
    if (request.isResponseCompressed())
        for (const QString& name : dictionary.keys())
            if (name.compare(QLatin1String("Content-Encoding"), Qt::CaseInsensitive) == 0)
                dictionary.remove(name);
    if (const auto expiry = expiryDateForRequest(request, maxAge))
        dictionary.insert(QLatin1String(kExpiresKey), double(expiry->toMSecsSinceEpoch()) / 1000.0);
    dictionary.insert(QLatin1String(kStatusKey), status);
    const QString headersPath = pathToStoreCachedResponseHeadersForRequest(request);
    const QString dataPath = pathToStoreCachedResponseDataForRequest(request);
    if (headersPath.isEmpty() || !platform::writePropertyListFile(headersPath, dictionary))
        return;
    const QString downloaded = request.downloadDestinationPath();
    if (downloaded.isEmpty()) {
        platform::writeFileAtomically(dataPath, request.responseData());
    } else if (downloaded != dataPath) {
        QFile::remove(dataPath);
        QFile::copy(downloaded, dataPath);
    }
}

void ReqDownloadCache::updateExpiryForRequest(ReqHTTPRequest& request, double maxAge) {
    const QString path = pathToStoreCachedResponseHeadersForRequest(request);
    if (path.isEmpty() || !QFileInfo::exists(path))
        return;
    QVariantMap dictionary = platform::readPropertyListFile(path).toMap();
    if (const auto expiry = expiryDateForRequest(request, maxAge)) {
        dictionary.insert(QLatin1String(kExpiresKey), double(expiry->toMSecsSinceEpoch()) / 1000.0);
        platform::writePropertyListFile(path, dictionary);
    }
}

// --- Removing
// -------------------------------------------------------------------------------------------------

void ReqDownloadCache::removeCachedDataForRequest(ReqHTTPRequest& request) {
    removeCachedDataForURL(request.url());
}

void ReqDownloadCache::removeCachedDataForURL(const QUrl& url) {
    std::lock_guard lock(accessLock);
    if (root.isEmpty())
        return;
    for (const QString& path : {pathToCachedResponseHeadersForURL(url), pathToCachedResponseDataForURL(url)})
        if (!path.isEmpty())
            QFile::remove(path);
}

void ReqDownloadCache::clearCachedResponsesForStoragePolicy(int storagePolicy) {
    std::lock_guard lock(accessLock);
    if (root.isEmpty())
        return;
    const QString folder = storeFolder(storagePolicy);
    const QFileInfo info(folder);
    if (!info.isDir())
        return;
    const QDir directory(folder);
    if (!directory.isReadable())
        throw ReqException(QStringLiteral("FailedToTraverseCacheDirectory"),
                           QStringLiteral("Listing cache directory failed at path '%1'").arg(folder));
    for (const QString& name :
         directory.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        const QString path = folder + u'/' + name;
        const bool removed = QFileInfo(path).isDir() && !QFileInfo(path).isSymLink()
                                 ? QDir(path).removeRecursively()
                                 : QFile::remove(path);
        if (!removed)
            throw ReqException(QStringLiteral("FailedToRemoveCacheFile"),
                               QStringLiteral("Failed to remove cached data at path '%1'").arg(folder));
    }
}
