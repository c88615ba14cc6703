// The token fetches of the authentication: code exchange and refresh, their replies, the merging of
// replies into the token state, and the keychain's persistence string.
#include "webservice/oauth2/NetOAuth2Authentication.h"

#include "platform/foundation/ApplicationVersion.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StandardPaths.h"
#include "webservice/HTTPFetcher/NetHTTPFetcher.h"
#include "webservice/JsonNumber.h"
#include "webservice/JsonParser.h"

namespace {

// The text a reply value stands for; nullopt for values that are no text, number or truth value.
std::optional<QString> textOfReplyValue(const QVariant& value) {
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    if (value.metaType() == QMetaType::fromType<JsonNumber>())
        return value.value<JsonNumber>().toString();
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    return std::nullopt;
}

bool isJSONReply(const NetHTTPFetcher& fetcher) {
    const auto headers = fetcher.responseHeaders();
    return headers && headers->value("Content-Type").trimmed().toLower().startsWith("application/json");
}

} // namespace

QString NetOAuth2Authentication::userAgent() const {
    const QString identifier = platform::paths::bundleIdentifier();
    const QString version = platform::applicationVersion();
    if (identifier.isEmpty())
        return QStringLiteral("net-oauth2");
    return QStringLiteral("net-oauth2 ") + (version.isEmpty() ? identifier : identifier + u'/' + version);
}

std::shared_ptr<NetHTTPFetcher> NetOAuth2Authentication::makeTokenFetcher(const Request& request) const {
    if (NetHTTPFetcherServiceProtocol* service = fetcherService()) {
        std::shared_ptr<NetHTTPFetcher> fetcher = service->fetcherWithRequest(request);
        // The token fetch must not wait for the very authorization it serves.
        fetcher->setAuthorizer(nullptr);
        return fetcher;
    }
    return NetHTTPFetcher::fetcherWithRequest(request);
}

std::shared_ptr<NetHTTPFetcher>
NetOAuth2Authentication::beginTokenFetchWithDelegate(std::shared_ptr<void> delegate,
                                                     TokenFetchSelector finished) {
    Form fields;
    QString comment;
    QString fetchType;
    const QString host = tokenURL().host();
    if (const QString refresh = refreshToken(); !refresh.isEmpty()) {
        fields.insert(QStringLiteral("grant_type"), QStringLiteral("refresh_token"));
        fields.insert(QStringLiteral("refresh_token"), refresh);
        comment = QStringLiteral("refresh token for %1").arg(host);
        fetchType = QLatin1String(kNetOAuth2FetchTypeRefresh);
    } else if (const QString authorizationCode = code(); !authorizationCode.isEmpty()) {
        fields.insert(QStringLiteral("grant_type"), QStringLiteral("authorization_code"));
        fields.insert(QStringLiteral("code"), authorizationCode);
        if (const QString redirect = redirectURI(); !redirect.isEmpty())
            fields.insert(QStringLiteral("redirect_uri"), redirect);
        if (const QString scopes = scope(); !scopes.isEmpty())
            fields.insert(QStringLiteral("scope"), scopes);
        comment = QStringLiteral("fetch tokens for %1").arg(host);
        fetchType = QLatin1String(kNetOAuth2FetchTypeToken);
    } else {
        return nullptr;
    }
    if (const QString id = clientID(); !id.isEmpty())
        fields.insert(QStringLiteral("client_id"), id);
    if (const QString secret = clientSecret(); !secret.isEmpty())
        fields.insert(QStringLiteral("client_secret"), secret);
    fields.insert(additionalTokenRequestParameters());

    Request request(tokenURL());
    request.setValue("Content-Type", "application/x-www-form-urlencoded");
    request.setValue("User-Agent", userAgent().toUtf8());
    const std::shared_ptr<NetHTTPFetcher> fetcher = makeTokenFetcher(request);
    fetcher->setComment(comment);
    fetcher->setPostData(encodedQueryParametersForDictionary(fields).toUtf8());
    fetcher->setRetryEnabled(true);
    fetcher->setMaxRetryInterval(15.0);

    // A fetch that cannot begin reports to its callbacks at once; that report is answered below instead,
    // so the caller hears of it once.
    auto beginning = std::make_shared<bool>(true);
    const std::shared_ptr<NetOAuth2Authentication> self = shared_from_this();
    const bool began = fetcher->beginFetchWithDelegate(
        std::move(delegate), [self, beginning, fetchType, finished](
                                 NetHTTPFetcher& done, const QByteArray& data, const OptionalError& error) {
            if (!*beginning)
                self->tokenFetcherFinished(done, data, error, fetchType, finished);
        });
    *beginning = false;
    if (!began) {
        if (finished)
            finished(*this, nullptr, platform::Error(QString::fromLatin1(kNetHTTPFetcherStatusDomain), -1));
        return nullptr;
    }
    notifyFetchIsRunning(true, *fetcher, fetchType);
    return fetcher;
}

void NetOAuth2Authentication::tokenFetcherFinished(NetHTTPFetcher& fetcher, const QByteArray& data,
                                                   const OptionalError& error, const QString& fetchType,
                                                   const TokenFetchSelector& finished) {
    const std::shared_ptr<NetHTTPFetcher> held = fetcher.shared_from_this();
    notifyFetchIsRunning(false, fetcher, QString());
    const bool isJSON = isJSONReply(fetcher);
    OptionalError outcome = error;
    if (!error) {
        if (!data.isEmpty()) {
            if (isJSON)
                setKeysForResponseJSONData(data);
            else
                setKeysForResponseString(QString::fromUtf8(data));
        }
        // An exchange that brought no access token has not signed anyone in, whatever the status said.
        if (fetchType == QLatin1String(kNetOAuth2FetchTypeToken) && accessToken().isEmpty()) {
            QVariantMap info;
            if (const QString word = errorString(); !word.isEmpty())
                info.insert(QLatin1String(kNetOAuth2ErrorMessageKey), word);
            outcome = platform::Error(QString::fromLatin1(kNetOAuth2ErrorDomain),
                                      kNetOAuth2ErrorAuthorizationFailed, info);
        }
    } else if (!data.isEmpty() && isJSON) {
        if (const std::optional<QVariantMap> reply = dictionaryWithJSONData(data);
            reply && !reply->isEmpty()) {
            QVariantMap info{{QLatin1String(kNetOAuth2ErrorJSONKey), *reply}};
            info.insert(error->userInfo);
            outcome = platform::Error(error->domain, error->code, info);
        }
    }
    if (finished)
        finished(*this, held, outcome);
}

void NetOAuth2Authentication::notifyFetchIsRunning(bool isStarting, const NetHTTPFetcher& fetcher,
                                                   const QString& type) {
    QVariantMap info{{QLatin1String(kNetOAuth2FetcherKey), fetcher.notificationObject()}};
    if (!type.isEmpty())
        info.insert(QLatin1String(kNetOAuth2FetchTypeKey), type);
    platform::NotificationCenter::defaultCenter().post(
        QString::fromLatin1(isStarting ? kNetOAuth2FetchStarted : kNetOAuth2FetchStopped),
        notificationObject(), info);
}

// Merging replies.

std::optional<QVariantMap> NetOAuth2Authentication::dictionaryWithJSONData(const QByteArray& data) {
    JsonParser parser; // the default nesting limit: the reply comes from the network
    const QVariant value = parser.objectWithUtf8(data);
    if (value.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return value.toMap();
}

void NetOAuth2Authentication::setKeysForResponseJSONData(const QByteArray& data) {
    setKeysForResponseDictionary(dictionaryWithJSONData(data));
}

void NetOAuth2Authentication::setKeysForResponseString(const QString& text) {
    if (const std::optional<Form> form = dictionaryWithResponseString(text))
        mergeText(*form);
}

void NetOAuth2Authentication::setKeysForPersistenceResponseString(const QString& text) {
    setKeysForResponseString(text);
}

void NetOAuth2Authentication::setKeysForResponseDictionary(const std::optional<QVariantMap>& dictionary) {
    if (!dictionary)
        return;
    Form reply;
    for (auto it = dictionary->begin(); it != dictionary->end(); ++it)
        if (const std::optional<QString> text = textOfReplyValue(it.value()))
            reply.insert(it.key(), *text);
    mergeText(reply);
}

void NetOAuth2Authentication::mergeText(const Form& reply) {
    bool refreshTokenChanged = false;
    {
        std::lock_guard lock(stateMutex_);
        if (reply.contains(QStringLiteral("code")) || reply.contains(QStringLiteral("access_token")))
            parameters_.remove(QStringLiteral("expires_in"));
        const auto newRefresh = reply.constFind(QStringLiteral("refresh_token"));
        const auto oldRefresh = parameters_.constFind(QStringLiteral("refresh_token"));
        refreshTokenChanged = newRefresh != reply.constEnd() &&
                              (oldRefresh == parameters_.constEnd() || *oldRefresh != *newRefresh);
        parameters_.insert(reply);
        recomputeExpirationDateLocked();
    }
    if (refreshTokenChanged)
        platform::NotificationCenter::defaultCenter().post(QString::fromLatin1(kNetOAuth2RefreshTokenChanged),
                                                           notificationObject());
}

QString NetOAuth2Authentication::persistenceResponseString() const {
    const Form state = parameters();
    Form kept;
    const auto keep = [&](const char* key) {
        if (const auto it = state.constFind(QLatin1String(key)); it != state.constEnd())
            kept.insert(it.key(), it.value());
    };
    keep("refresh_token");
    if (!kept.contains(QStringLiteral("refresh_token")))
        keep("access_token");
    keep("serviceProvider");
    keep("email");
    keep("isVerified");
    return encodedQueryParametersForDictionary(kept);
}
