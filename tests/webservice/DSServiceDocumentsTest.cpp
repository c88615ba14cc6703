#include "support/DSServiceDocuments.h"
#include "support/DSTestClasses.h"

#include <gtest/gtest.h>

using namespace ds_test;

namespace {

const QString kBase = QStringLiteral("https://127.0.0.1:8443");

// Written out and read again, the object is equal to itself and writes the same bytes.
template <class T> void expectRoundTrip(const std::shared_ptr<T>& object, const DSClass& cls) {
    const QByteArray written = object->XMLDocument()->XMLData();
    const DSObjectRef again = DSObject::objectWithXMLData(written, &cls);
    ASSERT_TRUE(again) << written.constData();
    EXPECT_TRUE(again->isEqual(object.get()));
    EXPECT_EQ(again->XMLDocument()->XMLData(), written);
}

} // namespace

TEST(DSServiceDocuments, TheUploadReplyReadsIntoItsElementsAndWritesBackEqual) {
    const auto entry = DSInstanceCast<VideoEntry>(DSObject::objectWithXMLData(
        ds_documents::videoEntry(kBase, QStringLiteral("abc"), QStringLiteral("Our <holiday>")),
        &VideoEntry::staticClass()));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->title()->stringValue(), QStringLiteral("Our <holiday>"));
    EXPECT_TRUE(entry->atomPubControl()->isDraft());
    EXPECT_EQ(entry->editLink()->href(), kBase + QStringLiteral("/feeds/api/users/tester/uploads/abc"));
    EXPECT_EQ(entry->HTMLLink()->href(), kBase + QStringLiteral("/watch?v=abc"));
    EXPECT_EQ(entry->objectFor<DSComment>()->feedLink()->countHint(), 0);
    EXPECT_EQ(DSGeo::geoLocationForObject(*entry)->coordinateString(), QStringLiteral("45.256 -71.92"));
    const auto group = entry->objectFor<DSMediaGroup>();
    ASSERT_TRUE(group);
    EXPECT_EQ(group->mediaKeywords()->keywords(), (QStringList{"holiday", "beach", "Vistrelle"}));
    EXPECT_EQ(group->mediaContents().first()->fileSize(), 120000);
    EXPECT_EQ(group->mediaThumbnails().first()->time()->timeOffsetInMilliseconds(), 47500);
    EXPECT_EQ(group->mediaCategories().first()->stringValue(), QStringLiteral("Entertainment"));
    // The service's own elements are not this library's: they are kept as they came.
    EXPECT_EQ(group->unknownChildren().size(), 3);
    expectRoundTrip(entry, VideoEntry::staticClass());
}

TEST(DSServiceDocuments, FeedPagesAndTheBatchReplyWriteBackEqual) {
    const auto page = VideoFeed::feedWithXMLData(ds_documents::videoFeedPage(kBase, 1, 3));
    ASSERT_TRUE(page);
    EXPECT_EQ(page->entries()->size(), 2);
    EXPECT_EQ(page->entryAtIndex(1)->title()->stringValue(), QStringLiteral("Slideshow 2"));
    expectRoundTrip(page, VideoFeed::staticClass());

    const auto batch = DSFeedBase::feedWithXMLData(ds_documents::batchReplyFeed(kBase));
    ASSERT_TRUE(batch);
    EXPECT_EQ(batch->batchOperation()->type(), QStringLiteral("update"));
    QList<std::optional<int>> codes;
    for (const auto& entry : *batch)
        codes.append(entry->batchStatus() ? entry->batchStatus()->code() : std::nullopt);
    EXPECT_EQ(codes, (QList<std::optional<int>>{201, 404, 200, std::nullopt}));
    EXPECT_EQ(batch->entryAtIndex(1)->batchID()->stringValue(), QStringLiteral("item-2"));
    EXPECT_EQ(batch->entryAtIndex(3)->batchInterrupted()->errorCount(), 3);
    expectRoundTrip(batch, DSFeedBase::staticClass());
}

// Declarations go out of scope with their entry, so however many entries declare them the feed is read.
TEST(DSServiceDocuments, AFeedWhoseEveryEntryDeclaresItsNamespacesIsReadWhole) {
    const QByteArray declarations =
        QByteArray("<entry xmlns='") + kDSNamespaceAtom + "' xmlns:media='" + kDSNamespaceMedia + "' ";
    const QByteArray feed = ds_documents::videoFeedPage(kBase, 1, 1, 200).replace("<entry ", declarations);
    ASSERT_EQ(feed.count(declarations), 200);
    const auto page = VideoFeed::feedWithXMLData(feed);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->entries()->size(), 200);
    EXPECT_EQ(page->entryAtIndex(199)->title()->stringValue(), QStringLiteral("Slideshow 200"));
}

// A page as long as the service makes them is far inside the bounds on what a document may hold.
TEST(DSServiceDocuments, APageOf500EntriesIsReadWhole) {
    const auto page = VideoFeed::feedWithXMLData(ds_documents::videoFeedPage(kBase, 1, 1, 500));
    ASSERT_TRUE(page);
    EXPECT_EQ(page->entries()->size(), 500);
    EXPECT_EQ(page->entryAtIndex(499)->title()->stringValue(), QStringLiteral("Slideshow 500"));
}

TEST(DSServiceDocuments, TheErrorDocumentHoldsTwoDSErrors) {
    const DSXMLDocumentRef document = DSXMLDocument::documentWithData(ds_documents::errorDocument());
    ASSERT_TRUE(document);
    const auto errors =
        document->rootElement()->elementsForLocalNameURI(QStringLiteral("error"), DSNamespaceDS());
    ASSERT_EQ(errors.size(), 2);
    EXPECT_EQ(errors[1]->elementsForLocalNameURI(QStringLiteral("internalReason"), DSNamespaceDS()).size(),
              0);
}
