#pragma once

#include "webservice/DSAtomElements.h"

DS_ELEMENT_CLASS(DSPersonName, DSValueClassOf, DSValueElementConstruct, kDSNamespaceAtom, "atom", "name");
DS_ELEMENT_CLASS(DSPersonEmail, DSValueClassOf, DSValueElementConstruct, kDSNamespaceAtom, "atom", "email");
DS_ELEMENT_CLASS(DSPersonURI, DSValueClassOf, DSValueElementConstruct, kDSNamespaceAtom, "atom", "uri");

// Makers of people of the class `Self` (`DSAtomAuthor::personWithName(...)`).
template <class Self, class Base> class DSPersonClassOf : public DSClassOf<Self, Base> {
public:
    static std::shared_ptr<Self> personWithName(const QString& name, const QString& email) {
        auto made = Self::object();
        made->setName(name);
        made->setEmail(email);
        return made;
    }
};

// A person named in an entry or a feed: the author, or through the subclasses a contributor.
class DSPerson : public DSPersonClassOf<DSPerson, DSObject> {
public:
    static DSClassInfo classInfo() {
        DSClassInfo info = DSElementInfo("DSPerson", kDSNamespaceAtom, "atom", "author");
        info.attributes = {QStringLiteral("xml:lang")};
        info.children = {&DSPersonName::staticClass, &DSPersonEmail::staticClass, &DSPersonURI::staticClass};
        return info;
    }

    QString name() const { return stringValueFor<DSPersonName>(); }
    void setName(const QString& name) { setStringValueFor<DSPersonName>(name); }
    QString email() const { return stringValueFor<DSPersonEmail>(); }
    void setEmail(const QString& email) { setStringValueFor<DSPersonEmail>(email); }
    QString URI() const { return stringValueFor<DSPersonURI>(); }
    void setURI(const QString& uri) { setStringValueFor<DSPersonURI>(uri); }
    QString nameLang() const { return stringValueForAttribute(QStringLiteral("xml:lang")); }
    void setNameLang(const QString& lang) { setStringValueForAttribute(lang, QStringLiteral("xml:lang")); }

    QStringList itemsForDescription() const override {
        QStringList items = DSObject::itemsForDescription();
        addToArray(items, name(), QStringLiteral("name"));
        addToArray(items, URI(), QStringLiteral("URI"));
        addToArray(items, email(), QStringLiteral("email"));
        return items;
    }
};

class DSAtomAuthor : public DSPersonClassOf<DSAtomAuthor, DSPerson> {
public:
    static DSClassInfo classInfo() { return {.name = "DSAtomAuthor"}; }
};

class DSAtomContributor : public DSPersonClassOf<DSAtomContributor, DSPerson> {
public:
    static DSClassInfo classInfo() {
        return DSElementInfo("DSAtomContributor", kDSNamespaceAtom, "atom", "contributor");
    }
};
