#include "webservice/DSEntryLink.h"

void DSEmbeddingLink::initWithXMLElement(const DSXMLElementRef& element, const DSObjectRef& parent) {
    DSObject::initWithXMLElement(element, parent);
    if (element && !embeddedLocalName().isEmpty())
        embedded_ = DSInstanceCast<DSObject>(
            objectForChildOfElement(element, embeddedLocalName(), QLatin1String(kDSNamespaceAtom), nullptr));
}

DSXMLElementRef DSEmbeddingLink::XMLElement() const {
    const DSXMLElementRef element = DSObject::XMLElement();
    if (element && embedded_)
        if (const DSXMLElementRef child = embedded_->XMLElement())
            element->addChild(child);
    return element;
}

bool DSEmbeddingLink::isEqual(const DSInstance* other) const {
    if (other == this)
        return true;
    return DSObject::isEqual(other) &&
           ObjectsEqualOrBothNil(embedded_, static_cast<const DSEmbeddingLink*>(other)->embedded_);
}

void DSEmbeddingLink::copyFieldsInto(DSObject& copy) const {
    DSObject::copyFieldsInto(copy);
    static_cast<DSEmbeddingLink&>(copy).embedded_ = embedded_ ? embedded_->copy() : nullptr;
}

QStringList DSEntryLink::itemsForDescription() const {
    QStringList items = DSObject::itemsForDescription();
    if (const auto embeddedEntry = entry())
        addToArray(items, embeddedEntry->description(), QStringLiteral("entry"));
    return items;
}
