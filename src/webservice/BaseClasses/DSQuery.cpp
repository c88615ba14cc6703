#include "webservice/BaseClasses/DSQuery.h"

#include "webservice/BaseClasses/DSScanner.h"
#include "webservice/BaseClasses/DSUtilities.h"

#include <algorithm>

void DSQuery::addCategoryFilterWithCategory(const std::shared_ptr<DSCategory>& category) {
    auto filter = DSCategoryFilter::categoryFilter();
    filter->addCategory(category);
    addCategoryFilter(filter);
}

void DSQuery::addCategoryFilterWithScheme(const QString& scheme, const QString& term) {
    addCategoryFilterWithCategory(DSCategory::categoryWithScheme(scheme, term));
}

QString DSQuery::queryParamString() const {
    QStringList names = customParameters_.keys();
    std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    QStringList pairs;
    for (const QString& name : names)
        pairs.append(DSUtilities::stringByURLEncodingStringParameter(name) + QLatin1Char('=') +
                     DSUtilities::stringByURLEncodingStringParameter(customParameters_.value(name)));
    return pairs.join(QLatin1Char('&'));
}

QString DSQuery::categoryFilterString() const {
    if (categoryFilters_.isEmpty())
        return QString();
    QString path = QStringLiteral("-");
    for (const auto& filter : categoryFilters_)
        if (const QString segment = DSUtilities::stringByURLEncodingForURI(filter->stringValue());
            !segment.isEmpty())
            path += QLatin1Char('/') + segment;
    return path;
}

// Built as text: the feed's own query stays exactly as it was written.
QString DSQuery::URLString() const {
    QString base = QString::fromUtf8(feedURL_.toEncoded());
    QString query;
    if (const qsizetype mark = base.indexOf(QLatin1Char('?')); mark >= 0) {
        query = base.mid(mark + 1);
        base.truncate(mark);
    }
    if (const QString path = categoryFilterString(); !path.isEmpty()) {
        if (!base.endsWith(QLatin1Char('/')))
            base += QLatin1Char('/');
        base += path;
    }
    QString parameters = queryParamString();
    if (!query.isEmpty())
        parameters = parameters.isEmpty() ? query : query + QLatin1Char('&') + parameters;
    return parameters.isEmpty() ? base : base + QLatin1Char('?') + parameters;
}

QUrl DSQuery::URL() const {
    return QUrl::fromEncoded(URLString().toUtf8());
}

QString DSQuery::description() const {
    return QStringLiteral("DSQuery %1: {%2}")
        .arg(QString::asprintf("%p", static_cast<const void*>(this)), URLString());
}

// ---- parameters

void DSQuery::addCustomParameterWithName(const QString& name, const QString& value) {
    if (value.isNull())
        customParameters_.remove(name);
    else
        customParameters_.insert(name, value);
}

void DSQuery::addCustomParameterWithNameIntValue(const QString& name, qint64 value, qint64 removeForValue) {
    addCustomParameterWithName(name, value == removeForValue ? QString() : QString::number(qint32(value)));
}

qint64 DSQuery::intValueForParameterWithName(const QString& name, qint64 missingValue) const {
    const auto found = customParameters_.constFind(name);
    return found == customParameters_.cend() ? missingValue : DSLeadingInt(*found);
}

void DSQuery::addCustomParameterWithNameBoolValue(const QString& name, bool value, bool defaultValue) {
    addCustomParameterWithName(name, value == defaultValue ? QString()
                                     : value               ? QStringLiteral("true")
                                                           : QStringLiteral("false"));
}

bool DSQuery::boolValueForParameterWithName(const QString& name, bool defaultValue) const {
    const auto found = customParameters_.constFind(name);
    if (found == customParameters_.cend())
        return defaultValue;
    return found->compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

void DSQuery::addCustomParameterWithNameDateTime(const QString& name,
                                                 const std::optional<DSDateTime>& dateTime) {
    addCustomParameterWithName(name, dateTime ? dateTime->RFC3339String() : QString());
}

std::optional<DSDateTime> DSQuery::dateTimeForParameterWithName(const QString& name) const {
    const auto found = customParameters_.constFind(name);
    if (found == customParameters_.cend())
        return std::nullopt;
    return DSDateTime::dateTimeWithRFC3339String(*found);
}

bool DSQuery::isAscendingOrder() const {
    return valueForParameterWithName(QStringLiteral("sortorder"))
               .compare(QLatin1String("ascending"), Qt::CaseInsensitive) == 0;
}

void DSQuery::setIsAscendingOrder(bool ascending) {
    addCustomParameterWithName(QStringLiteral("sortorder"),
                               ascending ? QStringLiteral("ascending") : QStringLiteral("descending"));
}

bool DSQuery::shouldFormatErrorsAsXML() const {
    return valueForParameterWithName(QStringLiteral("err"))
               .compare(QLatin1String("xml"), Qt::CaseInsensitive) == 0;
}

void DSQuery::setShouldFormatErrorsAsXML(bool asXML) {
    addCustomParameterWithName(QStringLiteral("err"), asXML ? QStringLiteral("xml") : QString());
}
