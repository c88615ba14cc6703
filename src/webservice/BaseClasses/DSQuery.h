#pragma once

#include "webservice/BaseClasses/DSCategoryFilter.h"
#include "webservice/DSDateTime.h"

#include <QMap>
#include <QUrl>

// The URL of a feed request: the feed's URL, a category path made of filters, and named parameters, the
// typed ones among them. Feed queries of the service derive from it.
class DSQuery {
public:
    using Filters = QList<std::shared_ptr<DSCategoryFilter>>;
    using Parameters = QMap<QString, QString>;

    explicit DSQuery(const QUrl& feedURL = QUrl()) : feedURL_(feedURL) {}
    virtual ~DSQuery() = default;
    static std::shared_ptr<DSQuery> queryWithFeedURL(const QUrl& feedURL) {
        return std::make_shared<DSQuery>(feedURL);
    }
    // A query of the same class with its own filter list (sharing the filters) and its own parameters.
    virtual std::shared_ptr<DSQuery> copy() const { return std::make_shared<DSQuery>(*this); }

    QUrl feedURL() const { return feedURL_; }
    void setFeedURL(const QUrl& url) { feedURL_ = url; }
    const Filters& categoryFilters() const { return categoryFilters_; }
    void setCategoryFilters(const Filters& filters) { categoryFilters_ = filters; }
    void addCategoryFilter(const std::shared_ptr<DSCategoryFilter>& filter) {
        categoryFilters_.append(filter);
    }
    void addCategoryFilterWithCategory(const std::shared_ptr<DSCategory>& category);
    void addCategoryFilterWithScheme(const QString& scheme, const QString& term);
    const Parameters& customParameters() const { return customParameters_; }
    void setCustomParameters(const Parameters& parameters) { customParameters_ = parameters; }

    // The feed's URL and its own query as written, the category path, then the parameters.
    QUrl URL() const;
    QString URLString() const;
    // "name=value" pairs in name order ignoring case, joined with "&"; blanks as "+".
    QString queryParamString() const;
    // "-" and a segment for each filter that has one.
    QString categoryFilterString() const;
    QString description() const;

    // ---- parameters (none removes one)
    void addCustomParameterWithName(const QString& name, const QString& value);
    void removeCustomParameterWithName(const QString& name) { customParameters_.remove(name); }
    QString valueForParameterWithName(const QString& name) const { return customParameters_.value(name); }
    // Removed when the value is the one given for that; else written as a 32-bit number.
    void addCustomParameterWithNameIntValue(const QString& name, qint64 value, qint64 removeForValue);
    qint64 intValueForParameterWithName(const QString& name, qint64 missingValue) const;
    // Removed when the value is the default; else "true" or "false".
    void addCustomParameterWithNameBoolValue(const QString& name, bool value, bool defaultValue);
    bool boolValueForParameterWithName(const QString& name, bool defaultValue) const;
    void addCustomParameterWithNameDateTime(const QString& name, const std::optional<DSDateTime>& dateTime);
    std::optional<DSDateTime> dateTimeForParameterWithName(const QString& name) const;

    // ---- typed parameters; an index or count of -1 is absent
    qint64 startIndex() const { return intValueForParameterWithName(QStringLiteral("start-index"), -1); }
    void setStartIndex(qint64 index) {
        addCustomParameterWithNameIntValue(QStringLiteral("start-index"), index, -1);
    }
    qint64 maxResults() const { return intValueForParameterWithName(QStringLiteral("max-results"), -1); }
    void setMaxResults(qint64 count) {
        addCustomParameterWithNameIntValue(QStringLiteral("max-results"), count, -1);
    }
    QString fieldSelection() const { return valueForParameterWithName(QStringLiteral("fields")); }
    void setFieldSelection(const QString& fields) {
        addCustomParameterWithName(QStringLiteral("fields"), fields);
    }
    QString fullTextQueryString() const { return valueForParameterWithName(QStringLiteral("q")); }
    void setFullTextQueryString(const QString& text) {
        addCustomParameterWithName(QStringLiteral("q"), text);
    }
    QString author() const { return valueForParameterWithName(QStringLiteral("author")); }
    void setAuthor(const QString& author) { addCustomParameterWithName(QStringLiteral("author"), author); }
    QString orderBy() const { return valueForParameterWithName(QStringLiteral("orderby")); }
    void setOrderBy(const QString& order) { addCustomParameterWithName(QStringLiteral("orderby"), order); }
    bool isAscendingOrder() const;
    void setIsAscendingOrder(bool ascending);
    bool shouldShowDeleted() const { return flag("showdeleted"); }
    void setShouldShowDeleted(bool show) { setFlag("showdeleted", show); }
    bool shouldRequireAllDeleted() const { return flag("requirealldeleted"); }
    void setShouldRequireAllDeleted(bool require) { setFlag("requirealldeleted", require); }
    bool shouldShowOnlyDeleted() const { return flag("onlydeleted"); }
    void setShouldShowOnlyDeleted(bool only) { setFlag("onlydeleted", only); }
    bool isStrict() const { return flag("strict"); }
    void setIsStrict(bool strict) { setFlag("strict", strict); }
    bool shouldPrettyPrint() const { return flag("prettyprint"); }
    void setShouldPrettyPrint(bool pretty) { setFlag("prettyprint", pretty); }
    QString protocolVersion() const { return valueForParameterWithName(QStringLiteral("v")); }
    void setProtocolVersion(const QString& version) {
        addCustomParameterWithName(QStringLiteral("v"), version);
    }
    QString resultFormat() const { return valueForParameterWithName(QStringLiteral("alt")); }
    void setResultFormat(const QString& format) { addCustomParameterWithName(QStringLiteral("alt"), format); }
    QString language() const { return valueForParameterWithName(QStringLiteral("hl")); }
    void setLanguage(const QString& language) { addCustomParameterWithName(QStringLiteral("hl"), language); }
    std::optional<DSDateTime> publishedMinDateTime() const { return dateTimeFor("published-min"); }
    void setPublishedMinDateTime(const std::optional<DSDateTime>& date) {
        setDateTimeFor("published-min", date);
    }
    std::optional<DSDateTime> publishedMaxDateTime() const { return dateTimeFor("published-max"); }
    void setPublishedMaxDateTime(const std::optional<DSDateTime>& date) {
        setDateTimeFor("published-max", date);
    }
    std::optional<DSDateTime> updatedMinDateTime() const { return dateTimeFor("updated-min"); }
    void setUpdatedMinDateTime(const std::optional<DSDateTime>& date) { setDateTimeFor("updated-min", date); }
    std::optional<DSDateTime> updatedMaxDateTime() const { return dateTimeFor("updated-max"); }
    void setUpdatedMaxDateTime(const std::optional<DSDateTime>& date) { setDateTimeFor("updated-max", date); }
    bool shouldFormatErrorsAsXML() const;
    void setShouldFormatErrorsAsXML(bool asXML);

private:
    bool flag(const char* name) const { return boolValueForParameterWithName(QLatin1String(name), false); }
    void setFlag(const char* name, bool value) {
        addCustomParameterWithNameBoolValue(QLatin1String(name), value, false);
    }
    std::optional<DSDateTime> dateTimeFor(const char* name) const {
        return dateTimeForParameterWithName(QLatin1String(name));
    }
    void setDateTimeFor(const char* name, const std::optional<DSDateTime>& date) {
        addCustomParameterWithNameDateTime(QLatin1String(name), date);
    }

    QUrl feedURL_;
    Filters categoryFilters_;
    Parameters customParameters_;
};
