#pragma once

#include "webservice/BaseClasses/DSObject.h"

// Makers of text constructs of the class `Self` (`DSAtomTitle::textConstructWithString(...)`).
template <class Self, class Base> class DSTextClassOf : public DSClassOf<Self, Base> {
public:
    static std::shared_ptr<Self> textConstructWithString(const QString& text) {
        auto made = Self::object();
        made->setStringValue(text);
        return made;
    }
};

// A text in a language, of a type: the base of titles, summaries, rights and the media texts. Its types
// "text" and "text/plain" are the same as none.
class DSTextConstruct : public DSTextClassOf<DSTextConstruct, DSObject> {
public:
    static DSClassInfo classInfo() {
        return {.name = "DSTextConstruct",
                .attributes = {QStringLiteral("type"), QStringLiteral("xml:lang")},
                .contentValue = true,
                .attributesIgnoredForEquality = {QStringLiteral("type")}};
    }

    QString stringValue() const { return contentStringValue(); }
    void setStringValue(const QString& text) { setContentStringValue(text); }
    QString lang() const { return stringValueForAttribute(QStringLiteral("xml:lang")); }
    void setLang(const QString& lang) { setStringValueForAttribute(lang, QStringLiteral("xml:lang")); }
    QString type() const { return stringValueForAttribute(QStringLiteral("type")); }
    void setType(const QString& type) { setStringValueForAttribute(type, QStringLiteral("type")); }

    static bool isTypeEqualToText(const QString& type);

    bool isEqual(const DSInstance* other) const override;
};
