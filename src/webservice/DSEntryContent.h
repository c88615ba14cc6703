#pragma once

#include "webservice/BaseClasses/DSNamespaces.h"
#include "webservice/BaseClasses/DSObject.h"

#include <QUrl>

// The Atom content element. Its type decides what it holds: text for the text types, an embedded Atom object
// for "application/atom+xml;...", its child XML as it stands for KML, and for any other type nothing of its
// own.
class DSEntryContent : public DSClassOf<DSEntryContent, DSObject> {
public:
    static DSClassInfo classInfo();

    template <class T = DSEntryContent> static std::shared_ptr<T> contentWithString(const QString& text) {
        auto made = T::object();
        made->setStringValue(text);
        return made;
    }
    template <class T = DSEntryContent>
    static std::shared_ptr<T> textConstructWithString(const QString& text) {
        return contentWithString<T>(text);
    }
    template <class T = DSEntryContent>
    static std::shared_ptr<T> contentWithSourceURI(const QString& uri, const QString& type) {
        auto made = T::object();
        made->setSourceURI(uri);
        made->setType(type);
        return made;
    }
    template <class T = DSEntryContent>
    static std::shared_ptr<T> contentWithXMLValue(const DSXMLElementRef& value, const QString& type) {
        auto made = T::object();
        made->addChildXMLElementsDeclarationForThisObject();
        made->setType(type);
        made->addXMLValue(value);
        return made;
    }

    QString type() const { return stringValueForAttribute(QStringLiteral("type")); }
    void setType(const QString& type) { setStringValueForAttribute(type, QStringLiteral("type")); }
    QString lang() const { return stringValueForAttribute(QStringLiteral("xml:lang")); }
    void setLang(const QString& lang) { setStringValueForAttribute(lang, QStringLiteral("xml:lang")); }
    QString sourceURI() const { return stringValueForAttribute(QStringLiteral("src")); }
    void setSourceURI(const QString& uri) { setStringValueForAttribute(uri, QStringLiteral("src")); }
    QUrl sourceURL() const;

    // None unless this element holds text.
    QString stringValue() const;
    void setStringValue(const QString& text);
    DSObjectRef childObject() const { return childObject_; }
    void setChildObject(const DSObjectRef& object) { childObject_ = object; }
    QList<DSXMLElementRef> XMLValues() const { return childXMLElements(); }
    void setXMLValues(const QList<DSXMLElementRef>& values) { setChildXMLElements(values); }
    void addXMLValue(const DSXMLElementRef& value) { addChildXMLElement(value); }

    static bool isTextType(const QString& type);

    void initWithXMLElement(const DSXMLElementRef& element, const DSObjectRef& parent) override;
    using DSObject::initWithXMLElement;
    DSXMLElementRef XMLElement() const override;
    bool isEqual(const DSInstance* other) const override;
    QStringList itemsForDescription() const override;

protected:
    void copyFieldsInto(DSObject& copy) const override;

private:
    DSObjectRef childObject_;
};
