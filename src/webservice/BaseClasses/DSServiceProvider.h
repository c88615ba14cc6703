#pragma once

#include "webservice/BaseClasses/DSServiceBase.h"
#include "webservice/BaseClasses/DSServiceTicket.h"

#include <QDateTime>

// A request of the authenticated service, kept so that it can run after an account login, or once more
// after its login token expired.
struct DSRetryInvocation {
    QUrl url;
    const DSClass* objectClass = nullptr;
    DSObjectRef objectToPost;
    QString ETag;
    QString httpMethod;
    DSServiceBase::Delegate delegate;
    DSServiceBase::FinishedSelector finishedSelector;
    DSServiceBase::CompletionHandler completionHandler;
    std::shared_ptr<DSServiceTicket> ticket;
    // Whether an expired token may still send it back to the login: once per request.
    bool mayRetryAfterLogin = false;
};

// One account-login fetch and the requests waiting for it.
struct DSLoginFetch {
    std::shared_ptr<NetHTTPFetcher> fetcher;
    QList<std::shared_ptr<DSRetryInvocation>> invocations;
};

// The base of the service classes of this family: the fetch, insert, update and delete entry points, the
// "Authorization" and method-override headers, the OAuth 2 scope of the service, and an account login (a
// form post of user name and password to the sign-in host that yields a token, with captcha support) during
// which requests wait and after which they run with the token. With an OAuth 2 authorizer no user name is
// set, and every request runs at once.
class DSServiceProvider : public DSServiceBase {
public:
    using AuthenticationSelector =
        std::function<void(const DSServiceTicketRef&, const platform::OptionalError&)>;

    DSServiceTicketRef makeTicket() override;
    Request requestForURL(const QUrl& url, const QString& ETag, const QString& httpMethod,
                          const DSServiceTicketRef& ticket) override;
    using DSServiceBase::requestForURL;

    // ---- class-side values
    // The service's feed root; the OAuth 2 scope.
    virtual QString serviceRootURLString() const { return QString(); }
    QString authorizationScope() const { return serviceRootURLString(); }
    // The service name a login asks for, when none is set.
    virtual QString classServiceID() const { return QString(); }
    virtual DSStringMap standardServiceNamespaces() const { return DSEntryBase::baseDSNamespaces(); }
    // Headers of the login request.
    virtual DSHTTPHeaders customAuthenticationRequestHeaders() const { return {}; }

    // ---- entry points: each answers the ticket, or none
    DSServiceTicketRef fetchFeedWithURL(const QUrl& url, const DSClass* feedClass, const QString& ETag,
                                        Delegate delegate, FinishedSelector finishedSelector);
    DSServiceTicketRef fetchFeedWithURL(const QUrl& url, CompletionHandler handler);
    DSServiceTicketRef fetchEntryWithURL(const QUrl& url, const DSClass* entryClass, const QString& ETag,
                                         Delegate delegate, FinishedSelector finishedSelector);
    DSServiceTicketRef fetchEntryWithURL(const QUrl& url, CompletionHandler handler);
    DSServiceTicketRef fetchFeedWithQuery(const DSQuery& query, const DSClass* feedClass, Delegate delegate,
                                          FinishedSelector finishedSelector);
    DSServiceTicketRef fetchFeedWithQuery(const DSQuery& query, CompletionHandler handler);
    DSServiceTicketRef fetchEntryByInsertingEntry(const std::shared_ptr<DSEntryBase>& entry,
                                                  const QUrl& feedURL, Delegate delegate,
                                                  FinishedSelector finishedSelector);
    DSServiceTicketRef fetchEntryByInsertingEntry(const std::shared_ptr<DSEntryBase>& entry,
                                                  const QUrl& feedURL, CompletionHandler handler);
    // To the entry's edit link.
    DSServiceTicketRef fetchEntryByUpdatingEntry(const std::shared_ptr<DSEntryBase>& entry, Delegate delegate,
                                                 FinishedSelector finishedSelector);
    DSServiceTicketRef fetchEntryByUpdatingEntry(const std::shared_ptr<DSEntryBase>& entry,
                                                 CompletionHandler handler);
    // "PATCH" for an entry with a field selection, else "PUT".
    DSServiceTicketRef fetchEntryByUpdatingEntry(const std::shared_ptr<DSEntryBase>& entry,
                                                 const QUrl& entryURL, Delegate delegate,
                                                 FinishedSelector finishedSelector);
    DSServiceTicketRef fetchEntryByUpdatingEntry(const std::shared_ptr<DSEntryBase>& entry,
                                                 const QUrl& entryURL, CompletionHandler handler);
    DSServiceTicketRef deleteEntry(const std::shared_ptr<DSEntryBase>& entry, Delegate delegate,
                                   FinishedSelector finishedSelector);
    DSServiceTicketRef deleteEntry(const std::shared_ptr<DSEntryBase>& entry, CompletionHandler handler);
    DSServiceTicketRef deleteResourceURL(const QUrl& url, const QString& ETag, Delegate delegate,
                                         FinishedSelector finishedSelector);
    DSServiceTicketRef deleteResourceURL(const QUrl& url, const QString& ETag, CompletionHandler handler);
    DSServiceTicketRef fetchFeedWithBatchFeed(const std::shared_ptr<DSFeedBase>& batchFeed,
                                              const QUrl& batchFeedURL, Delegate delegate,
                                              FinishedSelector finishedSelector, CompletionHandler handler);
    // Where every entry point ends; the video service maps its upload entry to the video entry here.
    virtual DSServiceTicketRef fetchAuthenticatedObjectWithURL(const QUrl& url, const DSClass* objectClass,
                                                               const DSObjectRef& objectToPost,
                                                               const QString& ETag, const QString& httpMethod,
                                                               Delegate delegate,
                                                               FinishedSelector finishedSelector,
                                                               CompletionHandler handler);

    // ---- account login
    void setUserCredentialsWithUsername(const QString& username, const QString& password) override;
    void setCaptchaToken(const QString& token, const QString& answer);
    QString authToken() const { return authToken_; }
    void setAuthToken(const QString& token) { authToken_ = token; }
    QString subAuthToken() const { return subAuthToken_; }
    void setSubAuthToken(const QString& token) { subAuthToken_ = token; }
    QString serviceID() const;
    void setServiceID(const QString& identifier) { serviceID_ = identifier; }
    QString accountType() const;
    void setAccountType(const QString& type) { accountType_ = type; }
    // host[:port]; the provider's sign-in host when unset.
    QString signInDomain() const;
    void setSignInDomain(const QString& domain) { signInDomain_ = domain; }
    bool shouldUseMethodOverrideHeader() const { return shouldUseMethodOverrideHeader_; }
    void setShouldUseMethodOverrideHeader(bool use) { shouldUseMethodOverrideHeader_ = use; }
    std::shared_ptr<NetHTTPFetcher> pendingAuthFetcher() const {
        return pendingLogin_ ? pendingLogin_->fetcher : nullptr;
    }
    QDateTime credentialDate() const { return credentialDate_; }
    void setCredentialDate(const QDateTime& date) { credentialDate_ = date; }

    // A login on its own; the selector gets (ticket, error).
    DSServiceTicketRef authenticateWithDelegate(Delegate delegate, AuthenticationSelector selector);
    // The login fetch of the current credentials; none without user name or password.
    std::shared_ptr<NetHTTPFetcher> authenticationFetcher() const;
    // A cancelled ticket leaves its login; the last one to leave stops it.
    void stopAuthenticationForTicket(DSServiceTicket& ticket);

protected:
    void objectFetcherFinished(const std::shared_ptr<DSFetchContext>& context, NetHTTPFetcher& fetcher,
                               const QByteArray& data, const platform::OptionalError& error) override;

private:
    void addNamespacesIfNoneToObject(DSObject& object) const;
    DSServiceTicketRef updateEntry(const std::shared_ptr<DSEntryBase>& entry, const QUrl& entryURL,
                                   Delegate delegate, FinishedSelector finishedSelector,
                                   CompletionHandler handler);
    DSServiceTicketRef runInvocation(const std::shared_ptr<DSRetryInvocation>& invocation);
    DSServiceTicketRef
    deferUntilAuthenticationForInvocation(const std::shared_ptr<DSRetryInvocation>& invocation);
    DSServiceTicketRef authenticateThenInvoke(const std::shared_ptr<DSRetryInvocation>& invocation);
    void authFetcherFinished(const std::shared_ptr<DSLoginFetch>& login, const QByteArray& data,
                             const platform::OptionalError& error);
    void authFetcherFailed(const std::shared_ptr<DSLoginFetch>& login, platform::Error error,
                           const QByteArray& data);
    bool authFetcherWillRetry(const std::shared_ptr<DSLoginFetch>& login, bool willRetry,
                              const platform::Error& error);
    platform::Error errorForAuthFetcherStatus(qint64 status, const QByteArray& data) const;
    static platform::Error emptyCredentialsError();
    void prepareLoginFetcher(NetHTTPFetcher& fetcher) const;

    QString captchaToken_;
    QString captchaAnswer_;
    QString authToken_;
    QString subAuthToken_;
    QString accountType_;
    QString signInDomain_;
    QString serviceID_;
    std::shared_ptr<DSLoginFetch> pendingLogin_;
    QDateTime credentialDate_;
    bool shouldUseMethodOverrideHeader_ = false;
};

// Builds the account-login fetch: a form post to the sign-in host's "/accounts/AccountLogin".
namespace DSAuthenticationFetcher {
// None when the user name or the password is empty.
std::shared_ptr<NetHTTPFetcher>
authTokenFetcherWithUsername(const QString& username, const QString& password, const QString& service,
                             const QString& source, const QString& signInDomain, const QString& accountType,
                             const QMap<QString, QString>& additionalParameters,
                             const DSHTTPHeaders& customHeaders);
} // namespace DSAuthenticationFetcher

// What a failed login's error tells: the reply's "Error", "Info", "CaptchaToken" and the absolute captcha
// URL.
namespace DSServiceProviderAdditions {
inline constexpr char kCaptchaFullURLKey[] = "CaptchaFullUrl";
QString authenticationError(const QVariantMap& userInfo);
QString authenticationInfo(const QVariantMap& userInfo);
QString captchaToken(const QVariantMap& userInfo);
QUrl captchaURL(const QVariantMap& userInfo);
} // namespace DSServiceProviderAdditions
