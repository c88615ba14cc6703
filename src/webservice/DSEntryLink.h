#pragma once

#include "webservice/BaseClasses/DSEntryBase.h"

// A DS link that may carry the resource it points at as its last child: an Atom entry or feed, made by the
// class its kind names.
class DSEmbeddingLink : public DSClassOf<DSEmbeddingLink, DSObject> {
public:
    static DSClassInfo classInfo() { return {.name = "DSEmbeddingLink"}; }

    QString href() const { return stringValueForAttribute(QStringLiteral("href")); }
    void setHref(const QString& href) { setStringValueForAttribute(href, QStringLiteral("href")); }
    QString rel() const { return stringValueForAttribute(QStringLiteral("rel")); }
    void setRel(const QString& rel) { setStringValueForAttribute(rel, QStringLiteral("rel")); }
    bool isReadOnly() const { return boolValueForAttribute(QStringLiteral("readOnly"), false); }
    void setIsReadOnly(bool readOnly) { setBoolValue(readOnly, false, QStringLiteral("readOnly")); }

    void initWithXMLElement(const DSXMLElementRef& element, const DSObjectRef& parent) override;
    using DSObject::initWithXMLElement;
    DSXMLElementRef XMLElement() const override;
    bool isEqual(const DSInstance* other) const override;

protected:
    template <class T> static std::shared_ptr<T> linkWithHref(const QString& href, bool isReadOnly) {
        auto link = T::object();
        link->setHref(href);
        link->setIsReadOnly(isReadOnly);
        return link;
    }
    // The local name of the embedded element in the Atom namespace.
    virtual QString embeddedLocalName() const { return QString(); }
    const DSObjectRef& embedded() const { return embedded_; }
    void setEmbedded(const DSObjectRef& object) { embedded_ = object; }
    void copyFieldsInto(DSObject& copy) const override;

private:
    DSObjectRef embedded_;
};

// A link to an entry (ds:entryLink), with the entry itself when the document embeds it.
class DSEntryLink : public DSClassOf<DSEntryLink, DSEmbeddingLink> {
public:
    static DSClassInfo classInfo() {
        DSClassInfo info = DSElementInfo("DSEntryLink", DSNamespaceDS(), "ds", "entryLink");
        info.attributes = {QStringLiteral("href"), QStringLiteral("readOnly"), QStringLiteral("rel")};
        return info;
    }

    static std::shared_ptr<DSEntryLink> entryLinkWithHref(const QString& href, bool isReadOnly) {
        return linkWithHref<DSEntryLink>(href, isReadOnly);
    }

    std::shared_ptr<DSEntryBase> entry() const { return DSInstanceCast<DSEntryBase>(embedded()); }
    void setEntry(const std::shared_ptr<DSEntryBase>& entry) { setEmbedded(entry); }

    QStringList itemsForDescription() const override;

protected:
    QString embeddedLocalName() const override { return QStringLiteral("entry"); }
};
