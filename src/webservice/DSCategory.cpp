#include "webservice/DSCategory.h"

#include <algorithm>

std::shared_ptr<DSCategory> DSCategory::categoryWithScheme(const QString& scheme, const QString& term) {
    auto category = object();
    category->setScheme(scheme);
    category->setTerm(term);
    return category;
}

std::shared_ptr<DSCategory> DSCategory::categoryWithLabel(const QString& label) {
    const QString scheme = DSCategoryLabelScheme();
    auto category = categoryWithScheme(scheme, QStringLiteral("%1#%2").arg(scheme, label));
    category->setLabel(label);
    return category;
}

DSCategory::Categories DSCategory::categoriesWithScheme(const QString& scheme, const Categories& categories) {
    Categories found;
    for (const auto& category : categories)
        if (ObjectsEqualOrBothNil(category->scheme(), scheme))
            found.append(category);
    return found;
}

DSCategory::Categories DSCategory::categoriesWithSchemePrefix(const QString& prefix,
                                                              const Categories& categories) {
    Categories found;
    for (const auto& category : categories)
        if (const QString scheme = category->scheme(); !scheme.isNull() && scheme.startsWith(prefix))
            found.append(category);
    return found;
}

QStringList DSCategory::categoryLabelsFromCategories(const Categories& categories) {
    QStringList labels;
    for (const auto& category : categories)
        if (const QString label = category->label(); !label.isNull() && !labels.contains(label))
            labels.append(label);
    return labels;
}

bool DSCategory::categoriesContainsCategoryWithScheme(const Categories& categories, const QString& scheme,
                                                      const QString& term, const QString& label) {
    const auto matches = [](const QString& wanted, const QString& value) {
        return wanted.isNull() || wanted == value;
    };
    return std::any_of(categories.cbegin(), categories.cend(), [&](const auto& category) {
        return matches(scheme, category->scheme()) && matches(term, category->term()) &&
               matches(label, category->label());
    });
}

bool DSCategory::categoriesContainsCategoryWithLabel(const Categories& categories, const QString& label) {
    return categoriesContainsCategoryWithScheme(categories, DSCategoryLabelScheme(), QString(), label);
}
