#include "webservice/BaseClasses/DSObject.h"

#include "webservice/BaseClasses/DSEntryBase.h"
#include "webservice/BaseClasses/DSFeedBase.h"
#include "webservice/BaseClasses/DSNamespaces.h"

QString DSKindMap::keyFor(const QString& scheme, const QString& term) {
    if (scheme.isNull() || scheme == DSCategoryKindScheme())
        return term.isNull() ? QStringLiteral("") : term;
    return QStringLiteral("{\"%1\":\"%2\"}").arg(scheme, term);
}

bool DSObject::registerClass(const DSClass& cls, DSKindMap& map, const QString& scheme, const QString& term) {
    if (const DSClass* found = classForCategory(scheme, term, map)) {
        DSProgrammingError(
            QStringLiteral("%1 registration conflicts with %2").arg(cls.name(), found->name()));
        return false;
    }
    map.insert(DSKindMap::keyFor(scheme, term), &cls);
    return true;
}

bool DSObject::registerClassByKind(const DSClass& cls, DSKindMap& map) {
    bool registered = true;
    if (const QString kind = cls.standardKind(); !kind.isNull())
        registered = registerClass(cls, map, DSCategoryKindScheme(), kind);
    if (const QString value = cls.kindAttributeValue(); !value.isNull())
        registered = registerClass(cls, map, QString(), value) && registered;
    return registered;
}

const DSClass* DSObject::classForCategory(const QString& scheme, const QString& term, const DSKindMap& map) {
    if (const DSClass* cls = map.value(term.isNull() ? QStringLiteral("") : term))
        return cls;
    if (scheme.isNull())
        return nullptr;
    if (const DSClass* cls = map.value(DSKindMap::keyFor(scheme, term)))
        return cls;
    return map.value(DSKindMap::keyFor(scheme, QStringLiteral("")));
}

namespace {

QList<DSXMLElementRef> categoriesOf(const DSXMLElementRef& element) {
    QList<DSXMLElementRef> categories =
        element->elementsForLocalNameURI(QStringLiteral("category"), QLatin1String(kDSNamespaceAtom));
    if (!categories.isEmpty() ||
        !element->resolvePrefixForNamespaceURI(QLatin1String(kDSNamespaceAtom)).isEmpty())
        return categories;
    for (const DSXMLNodeRef& child : element->children())
        if (child->kind() == DSXMLNode::ElementKind && child->name() == QLatin1String("category"))
            categories.append(std::static_pointer_cast<DSXMLElement>(child));
    return categories;
}

const DSClass* classForKind(const DSXMLElementRef& element, bool isFeed) {
    const DSXMLNodeRef kind = element->attributeForLocalNameURI(QStringLiteral("kind"), DSNamespaceDS());
    if (kind) {
        const QString value = kind->stringValue();
        if (const DSClass* cls = isFeed ? DSFeedBase::feedClassForKindAttributeValue(value)
                                        : DSEntryBase::entryClassForKindAttributeValue(value))
            return cls;
    }
    for (const DSXMLElementRef& category : categoriesOf(element)) {
        const DSXMLNodeRef scheme = category->attributeForName(QStringLiteral("scheme"));
        const DSXMLNodeRef term = category->attributeForName(QStringLiteral("term"));
        if (!scheme && !term)
            continue;
        const QString schemeText = scheme ? scheme->stringValue() : QString();
        const QString termText = term ? term->stringValue() : QString();
        if (const DSClass* cls = isFeed ? DSFeedBase::feedClassForCategory(schemeText, termText)
                                        : DSEntryBase::entryClassForCategory(schemeText, termText))
            return cls;
    }
    return nullptr;
}

} // namespace

const DSClass* DSObject::objectClassForXMLElement(const DSClass& receiver, const DSXMLElementRef& element) {
    if (!element)
        return nullptr;
    const QString localName = element->localName();
    const bool isFeed = localName == QLatin1String("feed");
    if (isFeed || localName == QLatin1String("entry")) {
        if (const DSClass* cls = classForKind(element, isFeed))
            return cls;
        if (isFeed)
            return &DSFeedBase::staticClass();
        if (receiver.isSubclassOf(DSFeedBase::staticClass()))
            if (const DSClass* cls = receiver.defaultClassForEntries())
                return cls;
        return &DSEntryBase::staticClass();
    }
    if (localName == QLatin1String("service"))
        return DSClass::classNamed(QStringLiteral("DSAtomServiceDocument"));
    return nullptr;
}
