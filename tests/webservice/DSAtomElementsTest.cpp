#include "support/DSTestClasses.h"
#include "webservice/DSBatchElements.h"

#include <gtest/gtest.h>

using namespace ds_test;

namespace {

std::shared_ptr<DSLink> makeLink(const char* rel, const char* type) {
    return DSLink::linkWithRel(QString::fromUtf8(rel), QString::fromUtf8(type), QString::fromUtf8(rel));
}

} // namespace

TEST(DSAtomElements, LinksDefaultToAlternateAndArePickedByRelationAndType) {
    EXPECT_EQ(parsed<DSLink>(QStringLiteral("<link href='x'/>"))->rel(), QStringLiteral("alternate"));
    EXPECT_EQ(parsed<DSLink>(QStringLiteral("<link rel='' href='x'/>"))->rel(), QStringLiteral("alternate"));
    const DSLink::Links links = {makeLink(nullptr, "text/html"), makeLink("self", "application/atom+xml"),
                                 makeLink("self", "text/html"),
                                 DSLink::linkWithRel(DSLinkRel("post"), QString(), QString())};
    const struct {
        const char* rel;
        const char* type;
        int expected; // index into links, -1 for none
    } cases[] = {{"alternate", nullptr, 0}, {"self", nullptr, 1},
                 {"self", "text/html", 2},  {"alternate", "application/atom+xml", -1},
                 {nullptr, "text/html", 0}, {"edit", nullptr, -1}};
    for (const auto& c : cases)
        EXPECT_EQ(DSLink::linkWithRel(QString::fromUtf8(c.rel), QString::fromUtf8(c.type), links),
                  c.expected < 0 ? nullptr : links[c.expected])
            << c.rel << " " << c.type;
    EXPECT_EQ(DSLink::linkNamesFromLinks(links), (QStringList{"alternate", "self", "self", "post"}));
    EXPECT_EQ(DSLink::linkWithRelAttributeSuffix(QStringLiteral("#post"), links), links[3]);
}

TEST(DSAtomElements, CategoriesIgnoreTheirLanguageAndCarryLabels) {
    const auto english = parsed<DSCategory>(QStringLiteral("<category scheme='s' term='t' xml:lang='en'/>"));
    const auto french = parsed<DSCategory>(QStringLiteral("<category scheme='s' term='t' xml:lang='fr'/>"));
    EXPECT_TRUE(english->isEqual(french.get()));
    french->setTerm(QStringLiteral("u"));
    EXPECT_FALSE(english->isEqual(french.get()));

    const auto starred = DSCategory::categoryWithLabel(QStringLiteral("starred"));
    EXPECT_EQ(starred->term(), DSCategoryLabelScheme() + QStringLiteral("#starred"));
    const DSCategory::Categories categories = {
        starred, DSCategory::categoryWithLabel(QStringLiteral("mine")),
        DSCategory::categoryWithLabel(QStringLiteral("starred")),
        DSCategory::categoryWithScheme(QString(), QStringLiteral("x"))};
    EXPECT_EQ(DSCategory::categoryLabelsFromCategories(categories), (QStringList{"starred", "mine"}));
    EXPECT_TRUE(DSCategory::categoriesContainsCategoryWithLabel(categories, QStringLiteral("mine")));
    EXPECT_FALSE(DSCategory::categoriesContainsCategoryWithLabel(categories, QStringLiteral("hidden")));
    EXPECT_EQ(DSCategory::categoriesWithSchemePrefix(QStringLiteral("http://"), categories).size(), 3);
}

TEST(DSAtomElements, TextTypesTextAndTextPlainEqualNone) {
    const struct {
        const char* first;
        const char* second;
        bool equal;
    } cases[] = {{"text", nullptr, true},
                 {"text/plain", "text", true},
                 {nullptr, "text/plain", true},
                 {"text", "html", false},
                 {"html", "html", true}};
    for (const auto& c : cases) {
        const auto a = DSAtomTitle::textConstructWithString(QStringLiteral("Holiday"));
        const auto b = DSAtomTitle::textConstructWithString(QStringLiteral("Holiday"));
        a->setType(QString::fromUtf8(c.first));
        b->setType(QString::fromUtf8(c.second));
        EXPECT_EQ(a->isEqual(b.get()), c.equal) << c.first << " " << c.second;
    }
}

TEST(DSAtomElements, EmbeddedEntriesAndFeedsParseIntoTheirObjects) {
    registerKinds();
    const auto entryLink = parsed<DSEntryLink>(QStringLiteral(
        "<ds:entryLink xmlns:ds='http://schemas.vistrelle.invalid/ds/2005' href='h' readOnly='TRUE'>"
        "<entry xmlns='http://www.w3.org/2005/Atom' "
        "ds:kind='test-entry-b'><id>inner</id></entry></ds:entryLink>"));
    ASSERT_TRUE(entryLink->entry());
    EXPECT_EQ(&entryLink->entry()->dsClass(), &OtherEntry::staticClass());
    EXPECT_EQ(entryLink->entry()->identifier(), QStringLiteral("inner"));
    EXPECT_TRUE(entryLink->isReadOnly());
    EXPECT_TRUE(entryLink->unknownChildren().isEmpty());
    const auto copy = std::static_pointer_cast<DSEntryLink>(entryLink->copy());
    EXPECT_TRUE(copy->isEqual(entryLink.get()));
    EXPECT_NE(copy->entry(), entryLink->entry());
    EXPECT_TRUE(copy->XMLElement()->XMLString().endsWith(QStringLiteral("</entry></ds:entryLink>")));
    copy->entry()->setIdentifier(QStringLiteral("other"));
    EXPECT_FALSE(copy->isEqual(entryLink.get()));

    const auto feedLink = parsed<DSFeedLink>(QStringLiteral(
        "<ds:feedLink xmlns:ds='http://schemas.vistrelle.invalid/ds/2005' href='f' countHint='3'>"
        "<feed xmlns='http://www.w3.org/2005/Atom'><entry/><entry/></feed></ds:feedLink>"));
    ASSERT_TRUE(feedLink->feed());
    EXPECT_EQ(feedLink->feed()->entries()->size(), 2);
    EXPECT_EQ(feedLink->countHint(), 3);
    feedLink->setIsReadOnly(false);
    EXPECT_FALSE(feedLink->attributes()->contains(QStringLiteral("readOnly")));

    const auto bare = DSEntryLink::entryLinkWithHref(QStringLiteral("h"), true);
    EXPECT_FALSE(bare->entry());
    EXPECT_EQ(bare->XMLElement()->XMLString(),
              QStringLiteral("<ds:entryLink href=\"h\" readOnly=\"true\"/>"));
}

TEST(DSAtomElements, ADraftIsAnAppDraftOfYes) {
    const auto control = DSAtomPubControl::atomPubControlWithIsDraft(true);
    EXPECT_TRUE(control->XMLElement()->XMLString().contains(QStringLiteral("<app:draft>yes</app:draft>")));
    EXPECT_TRUE(parsed<DSAtomPubControl>(QStringLiteral("<app:control xmlns:app='http://www.w3.org/2007/app'>"
                                                        "<app:draft>YES</app:draft></app:control>"))
                    ->isDraft());
    control->setIsDraft(false);
    EXPECT_FALSE(control->isDraft());
    EXPECT_FALSE(control->objectFor<DSAtomPubDraft>());
}

TEST(DSAtomElements, BatchStatusAndInterruptionReadAndWriteTheirAttributesAndText) {
    const QString status = QStringLiteral("<batch:status xmlns:batch='%1' code='404' reason='Not Found'>"
                                          "No such video</batch:status>")
                               .arg(DSNamespaceBatch());
    const auto parsedStatus = parsed<DSBatchStatus>(status);
    EXPECT_EQ(parsedStatus->code(), 404);
    EXPECT_EQ(parsedStatus->reason(), QStringLiteral("Not Found"));
    EXPECT_EQ(parsedStatus->stringValue(), QStringLiteral("No such video"));
    EXPECT_TRUE(parsed<DSBatchStatus>(parsedStatus->XMLElement()->XMLString())->isEqual(parsedStatus.get()));

    const auto interrupted = parsed<DSBatchInterrupted>(
        QStringLiteral("<batch:interrupted xmlns:batch='%1' parsed='10' success='7' failures='3'/>")
            .arg(DSNamespaceBatch()));
    EXPECT_EQ(interrupted->totalCount(), 10);
    EXPECT_EQ(interrupted->successCount(), 7);
    EXPECT_EQ(interrupted->errorCount(), 3);

    EXPECT_EQ(DSBatchID::batchIDWithString(QStringLiteral("item-1"))->XMLElement()->XMLString(),
              QStringLiteral("<batch:id>item-1</batch:id>"));
    EXPECT_EQ(DSBatchOperation::batchOperationWithType(QLatin1String(kDSBatchOperationDelete))
                  ->XMLElement()
                  ->XMLString(),
              QStringLiteral("<batch:operation type=\"delete\"/>"));
}
