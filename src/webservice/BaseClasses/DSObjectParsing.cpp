#include "webservice/BaseClasses/DSObject.h"

#include "webservice/BaseClasses/DSEntryBase.h"
#include "webservice/BaseClasses/DSNamespaces.h"
#include "webservice/BaseClasses/DSScanner.h"
#include "webservice/BaseClasses/DSUtilities.h"
#include "webservice/DSClasses.h"

#include <QSet>

namespace {

const QString& any() {
    static const QString star = QStringLiteral("*");
    return star;
}

DSXMLElementRef asElement(const DSXMLNodeRef& node) {
    return node && node->kind() == DSXMLNode::ElementKind ? std::static_pointer_cast<DSXMLElement>(node)
                                                          : nullptr;
}

void removeNode(QList<DSXMLNodeRef>& nodes, const DSXMLNodeRef& node) {
    if (node)
        nodes.removeIf([&](const DSXMLNodeRef& kept) { return kept->XMLNode() == node->XMLNode(); });
}

} // namespace

DSObjectRef DSObject::objectWithXMLElement(const DSXMLElementRef& element, const DSClass* cls,
                                           const QString& serviceVersion,
                                           const std::optional<DSSurrogates>& surrogates,
                                           bool shouldIgnoreUnknowns) {
    registerDsClasses();
    if (!element)
        return nullptr;
    if (!cls)
        cls = objectClassForXMLElement(staticClass(), element);
    if (cls && surrogates && surrogates->contains(cls))
        cls = surrogates->value(cls);
    auto object = cls ? DSInstanceCast<DSObject>(cls->make()) : nullptr;
    if (object)
        object->initWithXMLElement(element, nullptr, serviceVersion, surrogates, shouldIgnoreUnknowns);
    return object;
}

DSObjectRef DSObject::objectWithXMLData(const QByteArray& data, const DSClass* cls,
                                        const QString& serviceVersion) {
    const DSXMLDocumentRef document = DSXMLDocument::documentWithData(data);
    DSObjectRef object =
        document ? objectWithXMLElement(document->rootElement(), cls, serviceVersion) : nullptr;
    if (object)
        object->clearExtensionDeclarationsCache();
    return object;
}

DSInstanceRef DSObject::makeParsedObject(const DSClass& cls, const DSXMLElementRef& element,
                                         const DSObjectRef& parent) {
    auto object = DSInstanceCast<DSObject>(cls.make());
    if (object)
        object->initWithXMLElement(element, parent);
    return object;
}

void DSObject::initWithXMLElement(const DSXMLElementRef& element, const DSObjectRef& parent,
                                  const QString& serviceVersion,
                                  const std::optional<DSSurrogates>& surrogates, bool shouldIgnoreUnknowns) {
    setServiceVersion(serviceVersion);
    surrogates_ = surrogates;
    shouldIgnoreUnknowns_ = shouldIgnoreUnknowns;
    initWithXMLElement(element, parent);
}

void DSObject::initWithXMLElement(const DSXMLElementRef& element, const DSObjectRef& parent) {
    parent_ = parent;
    if (parent) {
        setServiceVersion(parent->serviceVersion());
        shouldIgnoreUnknowns_ = parent->shouldIgnoreUnknowns_;
        extensionDeclarationsCache_ = parent->extensionDeclarationsCache();
        attributeDeclarationsCache_ = parent->attributeDeclarationsCache();
    }
    if (!extensionDeclarationsCache_)
        extensionDeclarationsCache_ = std::make_shared<DSExtensionDeclarationsCache>();
    if (!attributeDeclarationsCache_)
        attributeDeclarationsCache_ = std::make_shared<DSAttributeDeclarationsCache>();
    if (element) {
        namespaces_ = dictionaryForElementNamespaces(element);
        if (!shouldIgnoreUnknowns_) {
            unknownChildren_ = element->children();
            unknownAttributes_ = element->attributes();
        }
        if (!extensionDeclarationsCache_->contains(&dsClass()))
            addExtensionDeclarations();
        if (attributeDeclarationsCache_->contains(&dsClass()))
            attributeDeclarations_ = attributeDeclarationsCache_->value(&dsClass());
        else
            addParseDeclarations();
        parseExtensionsForElement(element);
        parseAttributesForElement(element);
        parseContentValueForElement(element);
        keepChildXMLElementsForElement(element);
        elementName_ = element->name();
    }
    if (parent) {
        extensionDeclarationsCache_.reset();
        attributeDeclarationsCache_.reset();
    }
}

void DSObject::storeParsed(const QList<DSInstanceRef>& objects, const DSClass& cls) {
    if (objects.size() > 1)
        setObjects(objects, cls);
    else if (objects.size() == 1)
        setObject(objects.first(), cls);
}

void DSObject::parseExtensionsForElement(const DSXMLElementRef& element) {
    QSet<QString> names{any()};
    for (const DSXMLNodeRef& child : element->children())
        names.insert(child->localName());
    const DSClass& cls = dsClass();
    // The declarations nearer this object come first; the first one met for a class wins.
    for (DSObjectRef holder = shared_from_this(); holder; holder = holder->parent()) {
        for (const DSExtensionDeclaration& declaration : holder->extensionDeclarationsForParentClass(cls)) {
            const DSClass& child = *declaration.childClass;
            if (entryFor(child) ||
                (!declaration.isAttribute && !names.contains(child.extensionElementLocalName())))
                continue;
            if (!declaration.isAttribute) {
                storeParsed(objectOrArrayForChildrenOfElement(element, child.qualifiedName(),
                                                              child.extensionElementURI(), &child),
                            child);
                continue;
            }
            const DSXMLNodeRef attribute = attributeForName(child.qualifiedName(), element);
            if (attribute && !attribute->stringValue().isNull())
                setAttributeValue(attribute->stringValue(), child);
        }
    }
}

QList<DSInstanceRef> DSObject::objectOrArrayForChildrenOfElement(const DSXMLElementRef& element,
                                                                 const QString& qualifiedName,
                                                                 const QString& namespaceURI,
                                                                 const DSClass* cls) {
    QList<DSXMLNodeRef> children;
    if (DSXMLNode::localNameForName(qualifiedName) == any()) {
        QString prefix = DSXMLNode::prefixForName(qualifiedName);
        if (prefix.isEmpty())
            prefix = element->resolvePrefixForNamespaceURI(namespaceURI);
        if (!prefix.isEmpty())
            children = childrenOfElement(element, prefix);
    } else {
        children = elementsForName(qualifiedName, namespaceURI, element);
    }
    QList<DSInstanceRef> objects;
    for (const DSXMLNodeRef& child : children) {
        const DSXMLElementRef childElement = asElement(child);
        const DSClass* childClass = cls ? cls : objectClassForXMLElement(dsClass(), childElement);
        if (!childClass && qualifiedName == QLatin1String("entry") &&
            namespaceURI == QLatin1String(kDSNamespaceAtom))
            childClass = &DSEntryBase::staticClass();
        if (!childClass)
            continue;
        if (DSInstanceRef object =
                makeParsedObject(classOrSurrogateForClass(*childClass), childElement, shared_from_this()))
            objects.append(object);
    }
    handleParsedElements(children);
    return objects;
}

DSInstanceRef DSObject::objectForChildOfElement(const DSXMLElementRef& element, const QString& qualifiedName,
                                                const QString& namespaceURI, const DSClass* cls) {
    const DSXMLElementRef child = asElement(childWithQualifiedName(qualifiedName, namespaceURI, element));
    if (!child)
        return nullptr;
    const DSClass* childClass = cls ? cls : objectClassForXMLElement(dsClass(), child);
    if (!childClass)
        return nullptr;
    return makeParsedObject(classOrSurrogateForClass(*childClass), child, shared_from_this());
}

DSXMLNodeRef DSObject::childWithQualifiedName(const QString& qualifiedName, const QString& namespaceURI,
                                              const DSXMLElementRef& element) {
    if (!element)
        return nullptr;
    QList<DSXMLNodeRef> found;
    if (qualifiedName != any())
        found = elementsForName(qualifiedName, namespaceURI, element);
    else if (namespaceURI == any())
        found = element->children();
    else
        found = elementsForName(any(), namespaceURI, element);
    if (found.isEmpty())
        return nullptr;
    if (found.size() > 1) {
        QStringList xml;
        for (const DSXMLNodeRef& node : found)
            xml.append(node->XMLString());
        DSProgrammingError(
            QStringLiteral("childWithQualifiedName: could not handle multiple '%1' elements in list, "
                           "use elementsForName:\nFound elements: %2\nURI: %3")
                .arg(qualifiedName, xml.join(QLatin1Char(',')), namespaceURI));
        return nullptr;
    }
    handleParsedElement(found.first());
    return found.first();
}

QList<DSXMLNodeRef> DSObject::elementsForName(const QString& qualifiedName, const QString& namespaceURI,
                                              const DSXMLElementRef& parent) const {
    QList<DSXMLNodeRef> found;
    if (!parent)
        return found;
    if (!namespaceURI.isEmpty())
        for (const DSXMLElementRef& element :
             parent->elementsForLocalNameURI(DSXMLNode::localNameForName(qualifiedName), namespaceURI))
            found.append(element);
    if (!found.isEmpty())
        return found;
    for (const DSXMLNodeRef& child : parent->children())
        if (child->kind() == DSXMLNode::ElementKind && child->name() == qualifiedName)
            found.append(child);
    return found;
}

QList<DSXMLNodeRef> DSObject::childrenOfElement(const DSXMLElementRef& element, const QString& prefix) const {
    QList<DSXMLNodeRef> found;
    for (const DSXMLNodeRef& child : element->children())
        if (child->kind() == DSXMLNode::ElementKind && child->prefix() == prefix)
            found.append(child);
    return found;
}

const DSClass& DSObject::classOrSurrogateForClass(const DSClass& cls) const {
    if (surrogates_ && surrogates_->contains(&cls))
        return *surrogates_->value(&cls);
    for (DSObjectRef object = parent(); object; object = object->parent())
        if (object->surrogates_ && object->surrogates_->contains(&cls))
            return *object->surrogates_->value(&cls);
    return cls;
}

void DSObject::handleParsedElement(const DSXMLNodeRef& node) {
    removeNode(unknownChildren_, node);
}

void DSObject::handleParsedElements(const QList<DSXMLNodeRef>& nodes) {
    for (const DSXMLNodeRef& node : nodes)
        removeNode(unknownChildren_, node);
}

void DSObject::handleParsedAttribute(const DSXMLNodeRef& node) {
    removeNode(unknownAttributes_, node);
}

void DSObject::parseAttributesForElement(const DSXMLElementRef& element) {
    const QStringList declared = attributeDeclarations();
    for (const DSXMLNodeRef& attribute : element->attributes()) {
        const QString name = attribute->name();
        if (!declared.contains(name))
            continue;
        setStringValueForAttribute(attribute->stringValue(), name);
        handleParsedAttribute(attribute);
    }
}

void DSObject::parseContentValueForElement(const DSXMLElementRef& element) {
    if (hasDeclaredContentValue())
        contentValue_ = stringValueFromElement(element);
}

void DSObject::keepChildXMLElementsForElement(const DSXMLElementRef& element) {
    if (!hasDeclaredChildXMLElements())
        return;
    for (const DSXMLNodeRef& child : element->children())
        if (child->kind() == DSXMLNode::ElementKind) {
            childXMLElements_.append(asElement(child->copy()));
            handleParsedElement(child);
        }
}

// ---- readers of an element being parsed

DSXMLNodeRef DSObject::attributeForName(const QString& name, const DSXMLElementRef& element) {
    if (!element)
        return nullptr;
    for (const DSXMLNodeRef& attribute : element->attributes())
        if (attribute->name() == name) {
            handleParsedAttribute(attribute);
            return attribute;
        }
    return nullptr;
}

DSXMLNodeRef DSObject::attributeForLocalName(const QString& localName, const QString& uri,
                                             const DSXMLElementRef& element) {
    const DSXMLNodeRef attribute = element ? element->attributeForLocalNameURI(localName, uri) : nullptr;
    handleParsedAttribute(attribute);
    return attribute;
}

QString DSObject::stringForAttributeName(const QString& name, const DSXMLElementRef& element) {
    const DSXMLNodeRef attribute = attributeForName(name, element);
    return attribute ? attribute->stringValue() : QString();
}

QString DSObject::stringForAttributeLocalName(const QString& localName, const QString& uri,
                                              const DSXMLElementRef& element) {
    const DSXMLNodeRef attribute = attributeForLocalName(localName, uri, element);
    return attribute ? attribute->stringValue() : QString();
}

std::optional<DSDateTime> DSObject::dateTimeForAttributeName(const QString& name,
                                                             const DSXMLElementRef& element) {
    const QString text = stringForAttributeName(name, element);
    if (text.isEmpty())
        return std::nullopt;
    return DSDateTime::dateTimeWithRFC3339String(text);
}

bool DSObject::boolForAttributeName(const QString& name, const DSXMLElementRef& element) {
    return stringForAttributeName(name, element).compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

std::optional<double> DSObject::doubleNumberForAttributeName(const QString& name,
                                                             const DSXMLElementRef& element) {
    return DSUtilities::doubleNumberOrInfForString(stringForAttributeName(name, element));
}

std::optional<int> DSObject::intNumberForAttributeName(const QString& name, const DSXMLElementRef& element) {
    const QString text = stringForAttributeName(name, element);
    if (text.isNull())
        return std::nullopt;
    return DSLeadingInt(text);
}

QString DSObject::stringValueFromElement(const DSXMLElementRef& element) {
    if (!element)
        return QString();
    QString text = QStringLiteral("");
    for (const DSXMLNodeRef& child : element->children())
        if (child->kind() == DSXMLNode::TextKind) {
            text += child->stringValue();
            handleParsedElement(child);
        }
    return text;
}

std::optional<DSDateTime> DSObject::dateTimeFromElement(const DSXMLElementRef& element) {
    const QString text = stringValueFromElement(element);
    if (text.isEmpty())
        return std::nullopt;
    return DSDateTime::dateTimeWithRFC3339String(text);
}

std::optional<int> DSObject::intNumberValueFromElement(const DSXMLElementRef& element) {
    const QString text = stringValueFromElement(element);
    if (text.isEmpty())
        return std::nullopt;
    return DSLeadingInt(text);
}

std::optional<double> DSObject::doubleNumberValueFromElement(const DSXMLElementRef& element) {
    return DSUtilities::doubleNumberOrInfForString(stringValueFromElement(element));
}
