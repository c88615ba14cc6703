// What the upload controller offers beyond the upload road, and nothing in the window reaches yet: the
// service's list of categories for a pop-up, and the restart of a stopped upload at its last location.
#include "ui/upload/VideoSiteUploaderObject.h"

#include "ui/editing/ExportProgressWindowController.h"
#include "webservice/BaseClasses/DSNamespaces.h"
#include "webservice/BaseClasses/DSUtilities.h"
#include "webservice/DSEntryVideoSiteUpload.h"
#include "webservice/DSServiceProviderVideoSite.h"
#include "webservice/DSVideoSiteConstants.h"
#include "webservice/DSXMLDocument.h"
#include "webservice/HTTPFetcher/NetHTTPFetcher.h"

void VideoSiteUploaderObject::fetchStandardCategories(const QUrl& categoriesURL) {
    const QUrl address = categoriesURL.isEmpty()
                             ? QUrl(DSVideoSiteConstants::categoryScheme("categories.cat"))
                             : categoriesURL;
    if (categoryFetch)
        categoryFetch->stopFetching();
    categoryFetch = NetHTTPFetcher::fetcherWithURL(address);
    categoryFetch->setComment(QStringLiteral("VideoSite categories"));
    const QPointer<VideoSiteUploaderObject> guard(this);
    categoryFetch->beginFetchWithDelegate(nullptr, [guard](NetHTTPFetcher& fetcher, const QByteArray& data,
                                                           const platform::OptionalError& error) {
        if (guard)
            guard->categoryFetcher(fetcher, data, error);
    });
}

// The categories an upload may name, titled by their labels; a failed fetch or a document that does not
// parse leaves the pop-up as it was.
void VideoSiteUploaderObject::categoryFetcher(NetHTTPFetcher&, const QByteArray& data,
                                              const platform::OptionalError& error) {
    if (error || !mCategoryPopup)
        return;
    const DSXMLDocumentRef document = DSXMLDocument::documentWithData(data);
    if (!document)
        return;
    const QMap<QString, QString> namespaces{
        {QString::fromLatin1(kDSNamespaceAtomPubPrefix), QString::fromLatin1(kDSNamespaceAtomPub)},
        {QString::fromLatin1(kDSNamespaceAtomPrefix), QString::fromLatin1(kDSNamespaceAtom)},
        {QString::fromLatin1(kDSNamespaceVideoSitePrefix), DSNamespaceVideoSite()}};
    const auto nodes =
        document->nodesForXPath(QStringLiteral("app:categories/atom:category[vs:assignable]"), namespaces);
    if (!nodes || nodes->isEmpty())
        return;
    mCategoryPopup->clear();
    for (const DSXMLNodeRef& node : *nodes) {
        const auto element = std::dynamic_pointer_cast<DSXMLElement>(node);
        if (!element)
            continue;
        const DSXMLNodeRef term = element->attributeForName(QStringLiteral("term"));
        const DSXMLNodeRef label = element->attributeForName(QStringLiteral("label"));
        const QString value = term ? term->stringValue() : QString();
        mCategoryPopup->addItem(label ? label->stringValue() : value, value);
    }
}

// A new entry without metadata for the same movie, posted to no feed: the service asks the stored location
// how much it holds and sends the rest.
void VideoSiteUploaderObject::restartUpload() {
    if (mUploadLocationURL.isEmpty())
        return;
    if (mUploadTicket) {
        mUploadTicket->cancelTicket();
        endUpload();
    }
    QString reason;
    const DSUploadFileHandle movie = openMovie(mUploadFilePath, mUploadWritten, &reason);
    if (!movie) {
        uploadFailed(reason);
        return;
    }
    mUploadFile = movie;
    const auto entry = DSEntryVideoSiteUpload::uploadEntryWithMediaGroup(
        nullptr, movie, DSUtilities::MIMETypeForFileAtPath(mUploadFilePath, QStringLiteral("video/mp4")),
        QString());
    entry->setUploadLocationURL(mUploadLocationURL);
    keepTicket(insertEntry(entry, QUrl()));
}
