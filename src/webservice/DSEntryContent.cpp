#include "webservice/DSEntryContent.h"

DSClassInfo DSEntryContent::classInfo() {
    return {.name = "DSEntryContent",
            .uri = kDSNamespaceAtom,
            .prefix = kDSNamespaceAtomPrefix,
            .localName = "content",
            .attributes = {QStringLiteral("type"), QStringLiteral("xml:lang"), QStringLiteral("src")},
            .attributesIgnoredForEquality = {QStringLiteral("type")}};
}

bool DSEntryContent::isTextType(const QString& type) {
    return type.isNull() || type == QLatin1String("text") || type == QLatin1String("html") ||
           type == QLatin1String("xhtml") || type.startsWith(QLatin1String("text/"));
}

QUrl DSEntryContent::sourceURL() const {
    const QString uri = sourceURI();
    return uri.isEmpty() ? QUrl() : QUrl(uri);
}

QString DSEntryContent::stringValue() const {
    return hasDeclaredContentValue() ? contentStringValue() : QString();
}

void DSEntryContent::setStringValue(const QString& text) {
    addContentValueDeclarationForThisObject();
    setContentStringValue(text);
}

void DSEntryContent::initWithXMLElement(const DSXMLElementRef& element, const DSObjectRef& parent) {
    DSObject::initWithXMLElement(element, parent);
    const QString type = this->type();
    if (isTextType(type)) {
        addContentValueDeclarationForThisObject();
        parseContentValueForElement(element);
    } else if (type.startsWith(QLatin1String("application/atom+xml;"))) {
        const DSXMLNodeRef child = childWithQualifiedName(QStringLiteral("*"), QStringLiteral("*"), element);
        if (child && child->kind() == DSXMLNode::ElementKind) {
            const auto childElement = std::static_pointer_cast<DSXMLElement>(child);
            if (const DSClass* cls = objectClassForXMLElement(dsClass(), childElement))
                childObject_ =
                    DSInstanceCast<DSObject>(makeParsedObject(*cls, childElement, shared_from_this()));
        }
    } else if (type.startsWith(QLatin1String("application/vnd.geo.kml+xml"))) {
        addChildXMLElementsDeclarationForThisObject();
        keepChildXMLElementsForElement(element);
    }
}

DSXMLElementRef DSEntryContent::XMLElement() const {
    const DSXMLElementRef element = DSObject::XMLElement();
    if (element && childObject_)
        if (const DSXMLElementRef child = childObject_->XMLElement())
            element->addChild(child);
    return element;
}

bool DSEntryContent::isEqual(const DSInstance* other) const {
    if (!DSObject::isEqual(other))
        return false;
    if (other == this)
        return true;
    const auto& that = static_cast<const DSEntryContent&>(*other);
    const bool sameType =
        ObjectsEqualOrBothNil(type(), that.type()) || (isTextType(type()) && isTextType(that.type()));
    return sameType && ObjectsEqualOrBothNil(childObject_, that.childObject_);
}

QStringList DSEntryContent::itemsForDescription() const {
    QStringList items = DSObject::itemsForDescription();
    if (childObject_)
        items.append(QStringLiteral("childObject:%1").arg(childObject_->dsClass().name()));
    return items;
}

void DSEntryContent::copyFieldsInto(DSObject& copy) const {
    DSObject::copyFieldsInto(copy);
    static_cast<DSEntryContent&>(copy).childObject_ = childObject_ ? childObject_->copy() : nullptr;
}
