#include "webservice/DSServiceProviderVideoSite.h"

#include "platform/net/ServiceAddresses.h"
#include "webservice/BaseClasses/DSUtilities.h"
#include "webservice/DSEntryVideoSiteUpload.h"

using platform::net::ServiceAddress;
using platform::net::ServiceAddresses;

DSStringMap DSServiceProviderVideoSite::standardServiceNamespaces() const {
    return DSVideoSiteConstants::videoSiteNamespaces();
}

DSHTTPHeaders DSServiceProviderVideoSite::customAuthenticationRequestHeaders() const {
    return {{QStringLiteral("Content-Type"), QStringLiteral("application/x-www-form-urlencoded")}};
}

DSServiceBase::Request DSServiceProviderVideoSite::requestForURL(const QUrl& url, const QString& ETag,
                                                                 const QString& httpMethod,
                                                                 const DSServiceTicketRef& ticket) {
    Request request = DSServiceProvider::requestForURL(url, ETag, httpMethod, ticket);
    if (!developerKey_.isEmpty())
        request.setValue("X-DS-Key", "key=" + developerKey_.toUtf8());
    return request;
}

DSServiceTicketRef DSServiceProviderVideoSite::fetchAuthenticatedObjectWithURL(
    const QUrl& url, const DSClass* objectClass, const DSObjectRef& objectToPost, const QString& ETag,
    const QString& httpMethod, Delegate delegate, FinishedSelector finishedSelector,
    CompletionHandler handler) {
    // The service answers an upload with the video it made of it.
    if (objectClass && objectClass->isSubclassOf(DSEntryVideoSiteUpload::staticClass()))
        objectClass = &DSEntryVideoSiteVideo::staticClass();
    return DSServiceProvider::fetchAuthenticatedObjectWithURL(
        url, objectClass, objectToPost, ETag, httpMethod, std::move(delegate), std::move(finishedSelector),
        std::move(handler));
}

QString DSServiceProviderVideoSite::videoSiteRootURLString() {
    return ServiceAddresses::value(ServiceAddress::VideoServiceFeedRoot);
}

QString DSServiceProviderVideoSite::serviceUploadRootURLString() {
    return ServiceAddresses::value(ServiceAddress::VideoServiceUploadRoot);
}

QUrl DSServiceProviderVideoSite::videoSiteURLForFeedID(const QString& feedID) {
    const QString tail =
        feedID.isNull() ? QStringLiteral("videos") : QStringLiteral("standardfeeds/") + feedID;
    return QUrl(videoSiteRootURLString() + QStringLiteral("api/") + tail);
}

QUrl DSServiceProviderVideoSite::videoSiteURLForChannelsFeeds() {
    return QUrl(videoSiteRootURLString() + QStringLiteral("api/channels"));
}

QUrl DSServiceProviderVideoSite::videoSiteURLForChannelStandardFeedID(const QString& feedID) {
    return QUrl(videoSiteRootURLString() + QStringLiteral("api/channelstandardfeeds/") + feedID);
}

QUrl DSServiceProviderVideoSite::videoSiteURLForUserID(const QString& userID, const QString& userFeedID) {
    const QString tail = userFeedID.isNull() ? QString() : QLatin1Char('/') + userFeedID;
    return QUrl(videoSiteRootURLString() + QStringLiteral("api/users/") +
                DSUtilities::stringByURLEncodingForURI(userID) + tail);
}

QUrl DSServiceProviderVideoSite::videoSiteActivityFeedURLForUserID(const QString& userID) {
    return QUrl(videoSiteRootURLString() + QStringLiteral("api/events?author=") +
                DSUtilities::stringByURLEncodingStringParameter(userID));
}

QUrl DSServiceProviderVideoSite::videoSiteUploadURLForUserID(const QString& userID) {
    return QUrl(serviceUploadRootURLString() + QStringLiteral("api/users/") +
                DSUtilities::stringByURLEncodingForURI(userID) + QStringLiteral("/uploads"));
}
