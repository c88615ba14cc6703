#include "webservice/BaseClasses/DSObject.h"

#include "webservice/BaseClasses/DSUtilities.h"

namespace {

QString filtered(const QString& value) {
    return DSUtilities::stringWithControlsFilteredForString(value);
}

// Kept XML compares by its whole text; an empty list is the same as none.
bool sameXML(const QList<DSXMLElementRef>& a, const QList<DSXMLElementRef>& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i]->XMLString() != b[i]->XMLString())
            return false;
    return true;
}

} // namespace

// ---- writing

DSXMLElementRef DSObject::XMLElement() const {
    return XMLElementWithExtensionsAndDefaultName(QString());
}

DSXMLElementRef DSObject::XMLElementWithExtensionsAndDefaultName(const QString& defaultName) const {
    QString name = elementName_;
    if (name.isEmpty())
        name = defaultName;
    if (name.isEmpty())
        name = dsClass().isExtension() ? dsClass().qualifiedName() : dsClass().name();
    const DSXMLElementRef element = DSXMLNode::elementWithName(name);
    if (!element)
        return nullptr;
    addNamespacesToElement(element);
    addAttributesToElement(element);
    addContentValueToElement(element);
    if (hasDeclaredChildXMLElements())
        for (const DSXMLElementRef& kept : childXMLElements_)
            element->addChild(kept);
    addExtensionsToElement(element);
    addUnknownChildNodesToElement(element);
    return element;
}

DSXMLDocumentRef DSObject::XMLDocument() const {
    const DSXMLDocumentRef document = DSXMLDocument::documentWithRootElement(XMLElement());
    if (document) {
        document->setVersion(QStringLiteral("1.0"));
        document->setCharacterEncoding(QStringLiteral("UTF-8"));
    }
    return document;
}

void DSObject::addNamespacesToElement(const DSXMLElementRef& element) const {
    if (!namespaces_)
        return;
    for (auto it = namespaces_->cbegin(); it != namespaces_->cend(); ++it)
        element->addNamespace(DSXMLNode::namespaceWithName(it.key(), it.value()));
}

void DSObject::addAttributesToElement(const DSXMLElementRef& element) const {
    if (!attributes_)
        return;
    for (auto it = attributes_->cbegin(); it != attributes_->cend(); ++it)
        addToElementAttributeValueIfNonNil(element, it.value(), it.key());
}

void DSObject::addContentValueToElement(const DSXMLElementRef& element) const {
    if (hasDeclaredContentValue() && !contentValue_.isEmpty())
        addStringValue(element, contentValue_);
}

void DSObject::addExtensionsToElement(const DSXMLElementRef& element) const {
    if (!extensions_)
        return;
    for (const ExtensionEntry& entry : *extensions_)
        for (const DSInstanceRef& object : entry.objects)
            addToElementXMLElementForObject(element, object);
}

void DSObject::addToElementXMLElementForObject(const DSXMLElementRef& element, const DSInstanceRef& object) {
    if (const auto attribute = DSInstanceCast<DSAttribute>(object)) {
        const DSClass& cls = attribute->dsClass();
        addToElementAttributeValueIfNonNil(element, attribute->stringValue(), cls.qualifiedName(),
                                           cls.extensionElementURI());
    } else if (const auto child = DSInstanceCast<DSObject>(object)) {
        if (const DSXMLElementRef childElement = child->XMLElement())
            element->addChild(childElement);
    }
}

void DSObject::addUnknownChildNodesToElement(const DSXMLElementRef& element) const {
    if (shouldIgnoreUnknowns_)
        return;
    for (const DSXMLNodeRef& child : unknownChildren_)
        element->addChild(child);
    for (const DSXMLNodeRef& attribute : unknownAttributes_)
        element->addChild(attribute);
}

DSXMLNodeRef DSObject::addToElementAttributeValueIfNonNil(const DSXMLElementRef& element,
                                                          const QString& value, const QString& name) {
    if (value.isNull() || !element)
        return nullptr;
    element->addAttribute(DSXMLNode::attributeWithName(name, filtered(value)));
    return element->attributeForName(name);
}

DSXMLNodeRef DSObject::addToElementAttributeValueIfNonNil(const DSXMLElementRef& element,
                                                          const QString& value, const QString& qualifiedName,
                                                          const QString& uri) {
    const QString prefix = DSXMLNode::prefixForName(qualifiedName);
    if (uri.isEmpty() || prefix.isEmpty())
        return addToElementAttributeValueIfNonNil(element, value, qualifiedName);
    if (value.isNull() || !element)
        return nullptr;
    // A namespaced attribute needs its prefix declared somewhere above it, or its name could not be written.
    if (element->resolvePrefixForNamespaceURI(uri).isEmpty())
        element->addNamespace(DSXMLNode::namespaceWithName(prefix, uri));
    element->addAttribute(DSXMLNode::attributeWithNameURI(qualifiedName, uri, filtered(value)));
    return element->attributeForLocalNameURI(DSXMLNode::localNameForName(qualifiedName), uri);
}

DSXMLNodeRef DSObject::addToElementAttributeValueWithInteger(const DSXMLElementRef& element, qint64 value,
                                                             const QString& name) {
    return addToElementAttributeValueIfNonNil(element, QString::number(value), name);
}

DSXMLElementRef DSObject::addToElementChildWithStringValueIfNonEmpty(const DSXMLElementRef& element,
                                                                     const QString& value,
                                                                     const QString& name) {
    if (value.isEmpty() || !element)
        return nullptr;
    const DSXMLElementRef child = DSXMLNode::elementWithName(name);
    addStringValue(child, value);
    element->addChild(child);
    const DSXMLNodeRef added = element->childAtIndex(element->childCount() - 1);
    return added && added->kind() == DSXMLNode::ElementKind ? std::static_pointer_cast<DSXMLElement>(added)
                                                            : nullptr;
}

void DSObject::addStringValue(const DSXMLElementRef& element, const QString& value) {
    if (element)
        element->addChild(DSXMLNode::textWithStringValue(filtered(value)));
}

DSXMLElementRef DSObject::elementWithNameAttribute(const QString& name, const QString& attributeName,
                                                   const QString& attributeValue) {
    const DSXMLElementRef element = DSXMLNode::elementWithName(name);
    if (element)
        element->addAttribute(DSXMLNode::attributeWithName(attributeName, filtered(attributeValue)));
    return element;
}

// ---- equality

bool DSObject::extensionsEqual(const std::optional<Extensions>& a, const std::optional<Extensions>& b) {
    if (!a || !b)
        return !a && !b;
    if (a->size() != b->size())
        return false;
    for (const ExtensionEntry& mine : *a) {
        const auto theirs =
            std::find_if(b->cbegin(), b->cend(), [&](const auto& e) { return e.cls == mine.cls; });
        if (theirs == b->cend() || theirs->isList != mine.isList ||
            theirs->objects.size() != mine.objects.size())
            return false;
        for (qsizetype i = 0; i < mine.objects.size(); ++i)
            if (!ObjectsEqualOrBothNil(mine.objects[i], theirs->objects[i]))
                return false;
    }
    return true;
}

bool DSObject::hasAttributesEqualToAttributesOf(const DSObject& other) const {
    const QStringList ignored = attributesIgnoredForEquality();
    if (ignored.isEmpty())
        return attributes_ == other.attributes_;
    for (const QString& name : attributeDeclarations())
        if (!ignored.contains(name) &&
            !ObjectsEqualOrBothNil(stringValueForAttribute(name), other.stringValueForAttribute(name)))
            return false;
    return true;
}

bool DSObject::hasChildXMLElementsEqualTo(const DSObject& other) const {
    return sameXML(childXMLElements_, other.childXMLElements_);
}

bool DSObject::isEqual(const DSInstance* other) const {
    if (other == this)
        return true;
    if (!other || !other->isKindOfClass(dsClass()))
        return false;
    const auto& that = static_cast<const DSObject&>(*other);
    return extensionsEqual(extensions_, that.extensions_) && hasAttributesEqualToAttributesOf(that) &&
           (!hasDeclaredContentValue() || ObjectsEqualOrBothNil(contentValue_, that.contentValue_)) &&
           (!hasDeclaredChildXMLElements() || hasChildXMLElementsEqualTo(that)) &&
           namespaces_ == that.namespaces_;
}

// ---- copying

void DSObject::copyFieldsInto(DSObject& copy) const {
    copy.elementName_ = elementName_;
    copy.setServiceVersion(serviceVersion_);
    copy.namespaces_ = namespaces_;
    // What the copy's own init made (an entry's kind category) gives way to the source's.
    copy.extensions_.reset();
    if (extensions_) {
        copy.extensions_.emplace();
        for (const ExtensionEntry& entry : *extensions_) {
            ExtensionEntry copied{entry.cls, entry.isList, {}};
            for (const DSInstanceRef& object : entry.objects)
                copied.objects.append(object->copyInstance());
            copy.extensions_->push_back(copied);
        }
    }
    copy.attributes_ = attributes_;
    copy.attributeDeclarations_ = std::make_shared<QStringList>(attributeDeclarations());
    if (hasDeclaredContentValue())
        copy.contentValue_ = contentValue_;
    if (hasDeclaredChildXMLElements())
        for (const DSXMLElementRef& kept : childXMLElements_)
            copy.childXMLElements_.append(std::static_pointer_cast<DSXMLElement>(kept->copy()));
    copy.shouldIgnoreUnknowns_ = shouldIgnoreUnknowns_;
    if (shouldIgnoreUnknowns_)
        return;
    for (const DSXMLNodeRef& child : unknownChildren_)
        copy.unknownChildren_.append(child->copy());
    for (const DSXMLNodeRef& attribute : unknownAttributes_)
        copy.unknownAttributes_.append(attribute->copy());
}
