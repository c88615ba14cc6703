#pragma once

#include "webservice/DSCategory.h"

// The categories a feed's entries must carry (any one of them) and those they must not: one segment of a
// query's category path ("a|b|-c").
class DSCategoryFilter {
public:
    static std::shared_ptr<DSCategoryFilter> categoryFilter() { return std::make_shared<DSCategoryFilter>(); }

    const DSCategory::Categories& categories() const { return categories_; }
    void setCategories(const DSCategory::Categories& categories) { categories_ = categories; }
    void addCategory(const std::shared_ptr<DSCategory>& category) { categories_.append(category); }
    void addCategoryWithScheme(const QString& scheme, const QString& term) {
        addCategory(DSCategory::categoryWithScheme(scheme, term));
    }
    const DSCategory::Categories& excludeCategories() const { return excludeCategories_; }
    void setExcludeCategories(const DSCategory::Categories& categories) { excludeCategories_ = categories; }
    void addExcludeCategory(const std::shared_ptr<DSCategory>& category) {
        excludeCategories_.append(category);
    }
    void addExcludeCategoryWithScheme(const QString& scheme, const QString& term) {
        addExcludeCategory(DSCategory::categoryWithScheme(scheme, term));
    }

    // "{scheme}term", or the term alone without a scheme; nothing escaped.
    static QString queryStringForCategory(const DSCategory& category);
    QString stringValue() const;

    // A filter with copies of the categories.
    std::shared_ptr<DSCategoryFilter> copy() const;
    QString description() const;

private:
    DSCategory::Categories categories_;
    DSCategory::Categories excludeCategories_;
};
