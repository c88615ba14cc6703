#pragma once

#include "platform/foundation/Clock.h"
#include "platform/foundation/Error.h"
#include "webservice/HTTPFetcher/NetFetcherProtocols.h"
#include "webservice/oauth2/NetOAuth2Errors.h"

#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class NetHTTPFetcher;

namespace platform {
class LoopContext;
}

// One authorization waiting for a refresh: the request, who to tell, and on which thread.
struct NetOAuth2AuthorizationArgs {
    using CompletionHandler = std::function<void(const platform::OptionalError&)>;

    std::shared_ptr<platform::net::UrlRequest> request; // may be null
    std::shared_ptr<void> delegate;                     // kept alive until told
    NetFetcherAuthorizationProtocol::FinishedSelector selector;
    CompletionHandler completionHandler;
    std::shared_ptr<platform::LoopContext> thread; // the thread that asked, where the callback runs
    platform::OptionalError error;

    static std::shared_ptr<NetOAuth2AuthorizationArgs>
    argsWithRequest(std::shared_ptr<platform::net::UrlRequest> request, std::shared_ptr<void> delegate,
                    NetFetcherAuthorizationProtocol::FinishedSelector selector, CompletionHandler handler,
                    std::shared_ptr<platform::LoopContext> thread);
};

// The OAuth 2 tokens of one signed-in account, and the authorizer that signs requests with them. The token
// state is kept under the provider's own field names, so that a token reply merges into it as it stands;
// before signing, an access token that is gone or expires within a minute is refreshed, with every request
// that arrives meanwhile held in one queue. It also exchanges a sign-in's authorization code for tokens and
// turns its lasting state into the form-encoded text the keychain keeps.
//
// Own it through a std::shared_ptr (see create()): a refresh keeps it alive until it ends. Callbacks run on
// the thread that asked for the authorization; the refresh runs on the thread of the first request that
// needed it.
class NetOAuth2Authentication : public NetFetcherAuthorizationProtocol,
                                public std::enable_shared_from_this<NetOAuth2Authentication> {
public:
    using Request = platform::net::UrlRequest;
    using OptionalError = platform::OptionalError;
    using Form = QMap<QString, QString>;
    using CompletionHandler = NetOAuth2AuthorizationArgs::CompletionHandler;
    // Told when a token fetch ends: the fetcher (null when it could not begin) and the error, if any.
    using TokenFetchSelector = std::function<void(
        NetOAuth2Authentication&, const std::shared_ptr<NetHTTPFetcher>&, const OptionalError&)>;

    static std::shared_ptr<NetOAuth2Authentication> create();
    static std::shared_ptr<NetOAuth2Authentication>
    authenticationWithServiceProvider(const QString& serviceProvider, const QUrl& tokenURL,
                                      const QString& redirectURI, const QString& clientID,
                                      const QString& clientSecret);
    // Use the factories: the authentication must be owned by a std::shared_ptr.
    NetOAuth2Authentication();
    ~NetOAuth2Authentication() override;
    NetOAuth2Authentication(const NetOAuth2Authentication&) = delete;
    NetOAuth2Authentication& operator=(const NetOAuth2Authentication&) = delete;

    // NetFetcherAuthorizationProtocol
    void authorizeRequest(const std::shared_ptr<Request>& request, std::shared_ptr<void> delegate,
                          FinishedSelector finished) override;
    void stopAuthorization() override;
    // Whether this very request object waits in the queue.
    bool isAuthorizingRequest(const Request& request) const override;
    bool isAuthorizedRequest(const Request& request) const override;
    QString userEmail() const override;
    // With a refresh token: forgets the access token so that the next authorization refreshes.
    bool primeForRefresh() override;
    NetHTTPFetcherServiceProtocol* fetcherService() const override;
    void setFetcherService(NetHTTPFetcherServiceProtocol* service) override;

    void authorizeRequest(const std::shared_ptr<Request>& request, CompletionHandler handler);
    // Signs at once with the token held, never refreshing; true when signed.
    bool authorizeRequest(Request& request);
    bool canAuthorize() const;
    bool shouldRefreshAccessToken() const;
    // Back to signed out; the service provider stays.
    void reset();
    // Runs this thread's loop until a running refresh has ended; false when `seconds` passed first.
    bool waitForCompletionWithTimeout(double seconds);
    QString userAgent() const;

    // Exchanges the code, or refreshes when a refresh token is held; null (nothing told) when there is
    // neither, or null after telling `finished` when the fetch could not begin.
    std::shared_ptr<NetHTTPFetcher> beginTokenFetchWithDelegate(std::shared_ptr<void> delegate,
                                                                TokenFetchSelector finished);

    QString persistenceResponseString() const;
    void setKeysForPersistenceResponseString(const QString& text);
    // Merges a reply. Values that are text are taken as they are, numbers as their decimal text and true
    // and false as "1" and "0"; other values are left out.
    void setKeysForResponseDictionary(const std::optional<QVariantMap>& dictionary);
    void setKeysForResponseString(const QString& text);
    void setKeysForResponseJSONData(const QByteArray& data);
    // A JSON object; nullopt for anything else (an array at the top, text that is not JSON).
    static std::optional<QVariantMap> dictionaryWithJSONData(const QByteArray& data);

    // The token state.
    QString accessToken() const { return parameter("access_token"); }
    void setAccessToken(const QString& value) { setParameter("access_token", value); }
    QString refreshToken() const { return parameter("refresh_token"); }
    void setRefreshToken(const QString& value) { setParameter("refresh_token", value); }
    QString code() const { return parameter("code"); }
    void setCode(const QString& value) { setParameter("code", value); }
    QString errorString() const { return parameter("error"); }
    void setErrorString(const QString& value) { setParameter("error", value); }
    QString tokenType() const { return parameter("token_type"); }
    void setTokenType(const QString& value) { setParameter("token_type", value); }
    QString scope() const { return parameter("scope"); }
    void setScope(const QString& value) { setParameter("scope", value); }
    QString serviceProvider() const { return parameter("serviceProvider"); }
    void setServiceProvider(const QString& value) { setParameter("serviceProvider", value); }
    void setUserEmail(const QString& value) { setParameter("email", value); }
    QString userEmailIsVerified() const { return parameter("isVerified"); }
    void setUserEmailIsVerified(const QString& value) { setParameter("isVerified", value); }
    // Whole seconds of validity from when it was set; setting it (also to nothing) recomputes the expiry.
    std::optional<qint64> expiresIn() const;
    void setExpiresIn(std::optional<qint64> seconds);
    QDateTime expirationDate() const;
    void setExpirationDate(const QDateTime& date);
    // Every token-state field; a null value removes one.
    Form parameters() const;
    QString parameter(const QString& key) const;
    void setParameter(const QString& key, const QString& value);

    QString clientID() const;
    void setClientID(const QString& value);
    QString clientSecret() const;
    void setClientSecret(const QString& value);
    QString redirectURI() const;
    void setRedirectURI(const QString& value);
    QUrl tokenURL() const;
    void setTokenURL(const QUrl& value);
    // Form fields merged last into every token request.
    Form additionalTokenRequestParameters() const;
    void setAdditionalTokenRequestParameters(const Form& value);
    bool shouldAuthorizeAllRequests() const { return shouldAuthorizeAllRequests_; }
    void setShouldAuthorizeAllRequests(bool value) { shouldAuthorizeAllRequests_ = value; }
    std::shared_ptr<NetHTTPFetcher> refreshFetcher() const;
    std::size_t pendingAuthorizationCount() const;
    // The name of the class that parses replies, carried for callers only.
    const QString& parserClass() const { return parserClass_; }
    void setParserClass(const QString& value) { parserClass_ = value; }
    const QVariant& userData() const { return userData_; }
    void setUserData(const QVariant& value) { userData_ = value; }
    // A null value removes the key.
    void setProperty(const QString& key, const QVariant& value);
    QVariant propertyForKey(const QString& key) const { return properties_.value(key); }
    // Expiry is read on this clock (tests set one).
    void setClock(std::shared_ptr<platform::Clock> clock) { clock_ = std::move(clock); }
    const std::shared_ptr<platform::Clock>& clock() const { return clock_; }
    QString description() const;
    // The object the authentication's notifications carry.
    QVariant notificationObject() const;
    // Posts "kNetOAuth2FetchStarted" or "kNetOAuth2FetchStopped" for a fetch of this account's.
    void notifyFetchIsRunning(bool isStarting, const NetHTTPFetcher& fetcher, const QString& type);

    // Form encoding: every byte but letters, digits and "-._~" escaped as %XX; keys sorted ignoring case.
    static QString encodedOAuthValueForString(const QString& text);
    // nullopt when the escapes do not decode to UTF-8.
    static std::optional<QString> unencodedOAuthParameterForString(const QString& text);
    static QString encodedQueryParametersForDictionary(const Form& dictionary);
    // nullopt for null text; pieces that do not decode are left out.
    static std::optional<Form> dictionaryWithResponseString(const QString& text);
    static std::optional<Form> dictionaryWithResponseData(const QByteArray& data);
    static QString scopeWithStrings(const QStringList& scopes);

private:
    bool authorizeRequestArgs(const std::shared_ptr<NetOAuth2AuthorizationArgs>& args);
    bool authorizeRequestImmediateArgs(NetOAuth2AuthorizationArgs& args);
    void deliverCallback(const std::shared_ptr<NetOAuth2AuthorizationArgs>& args);
    void finishedRefresh(const OptionalError& error);
    void tokenFetcherFinished(NetHTTPFetcher& fetcher, const QByteArray& data, const OptionalError& error,
                              const QString& fetchType, const TokenFetchSelector& finished);
    std::shared_ptr<NetHTTPFetcher> makeTokenFetcher(const Request& request) const;
    void mergeText(const Form& reply);
    void recomputeExpirationDateLocked();

    mutable std::mutex stateMutex_; // the token state and the fields below it
    QString clientID_;
    QString clientSecret_;
    QString redirectURI_;
    Form parameters_;
    QUrl tokenURL_;
    QDateTime expirationDate_;
    Form additionalTokenRequestParameters_;
    NetHTTPFetcherServiceProtocol* fetcherService_ = nullptr; // not owned

    // The queue lock: held while an authorization is decided and while a callback on the same thread runs.
    mutable std::recursive_mutex queueMutex_;
    std::shared_ptr<NetHTTPFetcher> refreshFetcher_;
    std::vector<std::shared_ptr<NetOAuth2AuthorizationArgs>> authorizationQueue_;

    QString parserClass_;
    bool shouldAuthorizeAllRequests_ = false;
    QVariant userData_;
    QVariantMap properties_;
    std::shared_ptr<platform::Clock> clock_ = platform::Clock::system();
};
