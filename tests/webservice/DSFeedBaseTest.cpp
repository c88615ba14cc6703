#include "support/DSServiceDocuments.h"
#include "support/DSTestClasses.h"

#include <gtest/gtest.h>

using namespace ds_test;

namespace {

const QString kBase = QStringLiteral("https://127.0.0.1:8443");

// Three entries: of the first kind, of the second kind, and of no kind.
std::shared_ptr<Feed> kindsFeed() {
    registerKinds();
    const QByteArray document =
        "<feed xmlns='http://www.w3.org/2005/Atom'><title>kinds</title>"
        "<entry><id>e1</id><category scheme='http://schemas.vistrelle.invalid/ds/2005#kind' "
        "term='test-entry-a'/>"
        "</entry><entry><id>e2</id><category scheme='http://schemas.vistrelle.invalid/ds/2005#kind' "
        "term='test-entry-b'/></entry><entry><id>e3</id></entry></feed>";
    return Feed::feedWithXMLData(document);
}

QStringList classNames(const DSFeedBase& feed) {
    QStringList names;
    for (const auto& entry : feed)
        names.append(entry->dsClass().name());
    return names;
}

} // namespace

TEST(DSFeedBase, EntriesKeepDocumentOrderTheirFeedAndTheClassOfTheirKind) {
    const auto feed = kindsFeed();
    ASSERT_TRUE(feed);
    EXPECT_EQ(classNames(*feed), (QStringList{"TestEntry", "TestOtherEntry", "TestOtherEntry"}));
    for (const auto& entry : *feed)
        EXPECT_EQ(entry->parent(), feed);
    EXPECT_EQ(feed->firstEntry()->identifier(), QStringLiteral("e1"));
    EXPECT_EQ(feed->entryAtIndex(2)->identifier(), QStringLiteral("e3"));
    EXPECT_FALSE(feed->entryAtIndex(3));
    EXPECT_EQ(feed->entryForIdentifier(QStringLiteral("e2")), feed->entryAtIndex(1));
    EXPECT_EQ(feed->entriesWithCategoryKind(QStringLiteral("test-entry-b")).size(), 1);
    EXPECT_TRUE(feed->entriesWithCategoryKind(QStringLiteral("unknown")).isEmpty());

    // A feed class that names its entries' class makes every entry of it.
    const auto videos = VideoFeed::feedWithXMLData(ds_documents::videoFeedPage(kBase, 1, 2, 3));
    EXPECT_EQ(classNames(*videos), QStringList(3, QStringLiteral("TestVideoEntry")));
    EXPECT_FALSE(Feed::feedWithXMLData("<feed><entry></feed>"));
}

TEST(DSFeedBase, FeedsWithoutEntriesOrWithOneAndNewFeedsOfAKind) {
    const auto empty = DSFeedBase::feedWithXMLData("<feed xmlns='http://www.w3.org/2005/Atom'/>");
    EXPECT_FALSE(empty->entries());
    EXPECT_FALSE(empty->firstEntry());
    EXPECT_EQ(empty->begin(), empty->end());
    const auto one = DSFeedBase::feedWithXMLData("<feed xmlns='http://www.w3.org/2005/Atom'><entry/></feed>");
    EXPECT_EQ(one->entries()->size(), 1);
    EXPECT_EQ(Feed::object()->kindCategory()->term(), QStringLiteral("test-feed"));
}

TEST(DSFeedBase, LinksAreFoundByRelationAndCountsAndGeneratorReadBack) {
    const auto page = DSFeedBase::feedWithXMLData(ds_documents::videoFeedPage(kBase, 2, 3, 4));
    ASSERT_TRUE(page);
    const QString uploads = kBase + ds_documents::uploadsFeedPath();
    EXPECT_EQ(page->nextLink()->href(), uploads + QStringLiteral("?start-index=9&max-results=4"));
    EXPECT_EQ(page->postLink()->href(), uploads);
    EXPECT_EQ(page->feedLink()->href(), uploads);
    EXPECT_EQ(page->batchLink()->href(), uploads + QStringLiteral("/batch"));
    EXPECT_EQ(page->alternateLink()->type(), QStringLiteral("text/html"));
    EXPECT_TRUE(page->canPost());
    EXPECT_FALSE(page->uploadLink());
    EXPECT_FALSE(page->previousLink());
    EXPECT_EQ(page->totalResults(), 12);
    EXPECT_EQ(page->startIndex(), 5);
    EXPECT_EQ(page->itemsPerPage(), 4);
    EXPECT_EQ(page->generator()->version(), QStringLiteral("2.1"));
    EXPECT_EQ(page->logo(), kBase + QStringLiteral("/img/logo.png"));
    EXPECT_EQ(page->ETag(), QStringLiteral("W/\"page2\""));
    EXPECT_FALSE(DSFeedBase::feedWithXMLData(ds_documents::videoFeedPage(kBase, 3, 3, 4))->nextLink());

    // Of two links of one relation the first counts; a link without "rel" is an alternate one.
    page->setLinks({DSLink::linkWithRel(QString(), QString(), QStringLiteral("a")),
                    DSLink::linkWithRel(QStringLiteral("next"), QString(), QStringLiteral("n1")),
                    DSLink::linkWithRel(QStringLiteral("next"), QString(), QStringLiteral("n2"))});
    EXPECT_EQ(page->nextLink()->href(), QStringLiteral("n1"));
    EXPECT_EQ(page->alternateLink()->href(), QStringLiteral("a"));
}

TEST(DSFeedBase, SettersWriteTheirElementsAndNoneRemovesThem) {
    const auto feed = DSFeedBase::object();
    feed->setTitleWithString(QStringLiteral("Mine"));
    feed->setIcon(QStringLiteral("i.png"));
    feed->setIdentifier(QStringLiteral("id1"));
    feed->setStartIndex(7);
    feed->setIdentifier(QString());
    const QString xml = feed->XMLElement()->XMLString();
    EXPECT_TRUE(xml.contains(QStringLiteral("<title>Mine</title>"))) << qPrintable(xml);
    EXPECT_TRUE(xml.contains(QStringLiteral("<icon>i.png</icon>")));
    EXPECT_TRUE(xml.contains(QStringLiteral(">7</openSearch:startIndex>")));
    EXPECT_FALSE(xml.contains(QStringLiteral("<id>")));
    EXPECT_EQ(feed->title()->stringValue(), QStringLiteral("Mine"));
    EXPECT_EQ(feed->icon(), QStringLiteral("i.png"));
}

TEST(DSFeedBase, AnEntryOfAnotherFeedIsRefusedUnlessCopied) {
    const auto source = kindsFeed();
    const auto other = DSFeedBase::object();
    EXPECT_FALSE(other->addEntry(source->firstEntry()));
    EXPECT_FALSE(other->setEntries(*source->entries()));
    EXPECT_FALSE(other->entries());
    EXPECT_EQ(source->firstEntry()->parent(), source);

    other->addEntryWithEntry(source->firstEntry());
    other->setEntriesWithEntries(source->entries());
    ASSERT_EQ(other->entries()->size(), 3);
    EXPECT_EQ(other->firstEntry()->parent(), other);
    EXPECT_NE(other->firstEntry(), source->firstEntry());
    EXPECT_TRUE(other->firstEntry()->isEqual(source->firstEntry().get()));
}

TEST(DSFeedBase, CopiesOwnCopiesOfTheEntriesAndCompareEqualUntilAnEntryDiffers) {
    const auto feed = DSFeedBase::feedWithXMLData(ds_documents::videoFeedPage(kBase, 1, 2, 2));
    const auto copy = std::static_pointer_cast<DSFeedBase>(feed->copy());
    EXPECT_TRUE(copy->isEqual(feed.get()));
    EXPECT_EQ(copy->generator()->name(), feed->generator()->name());
    ASSERT_EQ(copy->entries()->size(), 2);
    EXPECT_NE(copy->firstEntry(), feed->firstEntry());
    EXPECT_EQ(copy->firstEntry()->parent(), copy);
    copy->entryAtIndex(1)->setTitleWithString(QStringLiteral("Changed"));
    EXPECT_FALSE(copy->isEqual(feed.get()));
}
