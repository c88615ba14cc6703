#pragma once

#include "webservice/BaseClasses/DSNamespaces.h"
#include "webservice/BaseClasses/DSObject.h"

// The labels a user may put on an entry (as categories of the label scheme).
inline constexpr char kDSLabelStarred[] = "starred";
inline constexpr char kDSLabelTrashed[] = "trashed";
inline constexpr char kDSLabelPublished[] = "published";
inline constexpr char kDSLabelPrivate[] = "private";
inline constexpr char kDSLabelMine[] = "mine";
inline constexpr char kDSLabelSharedWithDomain[] = "shared-with-domain";
inline constexpr char kDSLabelHidden[] = "hidden";
inline constexpr char kDSLabelViewed[] = "viewed";

// An Atom category: a term of a scheme, with a label for people. Its language takes no part in equality.
class DSCategory : public DSClassOf<DSCategory, DSObject> {
public:
    static DSClassInfo classInfo() {
        DSClassInfo info = DSElementInfo("DSCategory", kDSNamespaceAtom, "atom", "category");
        info.attributes = {QStringLiteral("scheme"), QStringLiteral("term"), QStringLiteral("label"),
                           QStringLiteral("xml:lang")};
        info.attributesIgnoredForEquality = {QStringLiteral("xml:lang")};
        return info;
    }

    using Categories = QList<std::shared_ptr<DSCategory>>;

    static std::shared_ptr<DSCategory> categoryWithScheme(const QString& scheme, const QString& term);
    // A category of the label scheme whose term is that scheme, "#" and the label.
    static std::shared_ptr<DSCategory> categoryWithLabel(const QString& label);

    QString scheme() const { return stringValueForAttribute(QStringLiteral("scheme")); }
    void setScheme(const QString& scheme) { setStringValueForAttribute(scheme, QStringLiteral("scheme")); }
    QString term() const { return stringValueForAttribute(QStringLiteral("term")); }
    void setTerm(const QString& term) { setStringValueForAttribute(term, QStringLiteral("term")); }
    QString label() const { return stringValueForAttribute(QStringLiteral("label")); }
    void setLabel(const QString& label) { setStringValueForAttribute(label, QStringLiteral("label")); }
    QString labelLang() const { return stringValueForAttribute(QStringLiteral("xml:lang")); }
    void setLabelLang(const QString& lang) { setStringValueForAttribute(lang, QStringLiteral("xml:lang")); }

    static Categories categoriesWithScheme(const QString& scheme, const Categories& categories);
    // Categories without a scheme are left out.
    static Categories categoriesWithSchemePrefix(const QString& prefix, const Categories& categories);
    // The distinct labels in order of first appearance.
    static QStringList categoryLabelsFromCategories(const Categories& categories);
    // Whether one category has every value given (a null value matches anything).
    static bool categoriesContainsCategoryWithScheme(const Categories& categories, const QString& scheme,
                                                     const QString& term, const QString& label);
    static bool categoriesContainsCategoryWithLabel(const Categories& categories, const QString& label);
};
