#include "webservice/BaseClasses/DSCategoryFilter.h"

namespace {

DSCategory::Categories copies(const DSCategory::Categories& categories) {
    DSCategory::Categories copied;
    for (const auto& category : categories)
        copied.append(std::static_pointer_cast<DSCategory>(category->copy()));
    return copied;
}

} // namespace

QString DSCategoryFilter::queryStringForCategory(const DSCategory& category) {
    const QString scheme = category.scheme();
    return scheme.isNull() ? category.term() : QStringLiteral("{%1}").arg(scheme) + category.term();
}

QString DSCategoryFilter::stringValue() const {
    QString text;
    const auto append = [&text](const QString& piece) {
        if (!text.isEmpty())
            text += QLatin1Char('|');
        text += piece;
    };
    for (const auto& category : categories_)
        append(queryStringForCategory(*category));
    for (const auto& category : excludeCategories_)
        append(QLatin1Char('-') + queryStringForCategory(*category));
    return text;
}

std::shared_ptr<DSCategoryFilter> DSCategoryFilter::copy() const {
    auto made = categoryFilter();
    made->categories_ = copies(categories_);
    made->excludeCategories_ = copies(excludeCategories_);
    return made;
}

QString DSCategoryFilter::description() const {
    return QStringLiteral("DSCategoryFilter %1: {%2}")
        .arg(QString::asprintf("%p", static_cast<const void*>(this)), stringValue());
}
