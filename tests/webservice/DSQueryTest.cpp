#include "webservice/BaseClasses/DSQuery.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<DSQuery> query(const char* feedURL) {
    return DSQuery::queryWithFeedURL(QUrl(QString::fromUtf8(feedURL)));
}

} // namespace

TEST(DSQuery, URLsJoinTheFeedsOwnQueryTheCategoryPathAndSortedParameters) {
    const auto plain = query("http://h/feeds/v?alt=rss&x=%2F");
    EXPECT_EQ(plain->URLString(), QStringLiteral("http://h/feeds/v?alt=rss&x=%2F"));

    const auto sorted = query("http://h/feeds/v");
    sorted->setMaxResults(10);
    sorted->setResultFormat(QStringLiteral("atom"));
    sorted->setAuthor(QStringLiteral("Some One"));
    EXPECT_EQ(sorted->URLString(),
              QStringLiteral("http://h/feeds/v?alt=atom&author=Some+One&max-results=10"));

    const auto withQuery = query("http://h/feeds/v?key=a%20b");
    withQuery->setFullTextQueryString(QStringLiteral("cats & dogs"));
    EXPECT_EQ(withQuery->URLString(), QStringLiteral("http://h/feeds/v?key=a%20b&q=cats+%26+dogs"));
    EXPECT_EQ(query("http://h/feeds/v?")->URLString(), QStringLiteral("http://h/feeds/v"));

    const auto filtered = query("http://h/feeds/v/");
    filtered->addCategoryFilterWithScheme(QStringLiteral("s"), QStringLiteral("t"));
    auto second = DSCategoryFilter::categoryFilter();
    second->addCategoryWithScheme(QString(), QStringLiteral("a"));
    second->addCategoryWithScheme(QString(), QStringLiteral("b"));
    second->addExcludeCategoryWithScheme(QString(), QStringLiteral("c"));
    filtered->addCategoryFilter(second);
    filtered->setStartIndex(3);
    EXPECT_EQ(second->stringValue(), QStringLiteral("a|b|-c"));
    EXPECT_EQ(filtered->URLString(), QStringLiteral("http://h/feeds/v/-/%7Bs%7Dt/a%7Cb%7C-c?start-index=3"));
    EXPECT_EQ(filtered->URL().toString(QUrl::FullyEncoded), filtered->URLString());

    const auto onlyEmpty = query("http://h/feeds/v?x=1");
    onlyEmpty->addCategoryFilter(DSCategoryFilter::categoryFilter());
    EXPECT_EQ(onlyEmpty->URLString(), QStringLiteral("http://h/feeds/v/-?x=1"));
}

TEST(DSQuery, TypedParametersAndTheirAbsentValues) {
    const auto q = query("http://h/f");
    EXPECT_EQ(q->startIndex(), -1);
    q->setStartIndex(5);
    q->setStartIndex(-1);
    EXPECT_TRUE(q->customParameters().isEmpty());
    q->setStartIndex(qint64(1) << 32 | 7);
    EXPECT_EQ(q->valueForParameterWithName(QStringLiteral("start-index")), QStringLiteral("7"));

    q->setShouldShowDeleted(false);
    EXPECT_FALSE(q->customParameters().contains(QStringLiteral("showdeleted")));
    q->setShouldShowDeleted(true);
    EXPECT_EQ(q->valueForParameterWithName(QStringLiteral("showdeleted")), QStringLiteral("true"));
    q->addCustomParameterWithName(QStringLiteral("strict"), QStringLiteral("TRUE"));
    EXPECT_TRUE(q->isStrict());

    q->setIsAscendingOrder(false);
    EXPECT_EQ(q->valueForParameterWithName(QStringLiteral("sortorder")), QStringLiteral("descending"));
    EXPECT_FALSE(q->isAscendingOrder());
    q->setShouldFormatErrorsAsXML(true);
    EXPECT_TRUE(q->shouldFormatErrorsAsXML());
    q->setShouldFormatErrorsAsXML(false);
    EXPECT_FALSE(q->customParameters().contains(QStringLiteral("err")));

    q->setUpdatedMinDateTime(DSDateTime::dateTimeWithRFC3339String(QStringLiteral("2012-05-01T10:00:00Z")));
    EXPECT_EQ(q->updatedMinDateTime()->RFC3339String(), QStringLiteral("2012-05-01T10:00:00Z"));
    EXPECT_FALSE(q->publishedMaxDateTime());
}

TEST(DSQuery, CopiesHaveTheirOwnParametersAndFilterLists) {
    const auto source = query("http://h/f");
    source->setAuthor(QStringLiteral("a"));
    source->addCategoryFilterWithScheme(QString(), QStringLiteral("t"));
    const auto copy = source->copy();
    copy->setAuthor(QStringLiteral("b"));
    copy->addCategoryFilterWithScheme(QString(), QStringLiteral("u"));
    EXPECT_EQ(source->author(), QStringLiteral("a"));
    EXPECT_EQ(source->categoryFilters().size(), 1);
    EXPECT_EQ(copy->URLString(), QStringLiteral("http://h/f/-/t/u?author=b"));

    const auto filter = source->categoryFilters().first();
    const auto filterCopy = filter->copy();
    filterCopy->categories().first()->setTerm(QStringLiteral("changed"));
    EXPECT_EQ(filter->stringValue(), QStringLiteral("t"));
}
