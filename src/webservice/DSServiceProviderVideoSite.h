#pragma once

#include "webservice/BaseClasses/DSServiceProvider.h"

// The video service: its identity (service ID, feed and upload roots, protocol version 2.0, namespaces, the
// standard upload chunk size, so that media always takes the resumable road), its feed and upload URLs, the
// developer-key header on every request, and the reply to an upload parsed as a video entry.
class DSServiceProviderVideoSite : public DSServiceProvider {
public:
    static std::shared_ptr<DSServiceProviderVideoSite> create() {
        return DSServiceBase::create<DSServiceProviderVideoSite>();
    }

    QString defaultServiceVersion() const override { return QStringLiteral("2.0"); }
    quint64 defaultServiceUploadChunkSize() const override { return kStandardUploadChunkSize; }
    QString classServiceID() const override { return QStringLiteral("videosite"); }
    QString serviceRootURLString() const override { return videoSiteRootURLString(); }
    DSStringMap standardServiceNamespaces() const override;
    DSHTTPHeaders customAuthenticationRequestHeaders() const override;
    Request requestForURL(const QUrl& url, const QString& ETag, const QString& httpMethod,
                          const DSServiceTicketRef& ticket) override;
    using DSServiceBase::requestForURL;
    DSServiceTicketRef fetchAuthenticatedObjectWithURL(const QUrl& url, const DSClass* objectClass,
                                                       const DSObjectRef& objectToPost, const QString& ETag,
                                                       const QString& httpMethod, Delegate delegate,
                                                       FinishedSelector finishedSelector,
                                                       CompletionHandler handler) override;

    // Sent as "X-DS-Key: key=<key>" when not empty.
    QString videoSiteDeveloperKey() const { return developerKey_; }
    void setVideoSiteDeveloperKey(const QString& key) { developerKey_ = key; }

    // The feed root (".../feeds/") and the upload root (".../resumable/feeds/"), from the service addresses.
    static QString videoSiteRootURLString();
    static QString serviceUploadRootURLString();
    // A standard feed, or every video for no feed ID; the IDs go in as they are.
    static QUrl videoSiteURLForFeedID(const QString& feedID);
    static QUrl videoSiteURLForChannelsFeeds();
    static QUrl videoSiteURLForChannelStandardFeedID(const QString& feedID);
    // A user's profile, or one of the user's feeds; the user ID is escaped for the path.
    static QUrl videoSiteURLForUserID(const QString& userID, const QString& userFeedID);
    static QUrl videoSiteActivityFeedURLForUserID(const QString& userID);
    // Where an upload for the user ("default": the signed-in user) is posted.
    static QUrl videoSiteUploadURLForUserID(const QString& userID);

private:
    QString developerKey_;
};
