#pragma once

#include "webservice/BaseClasses/DSObject.h"

// The base of every Atom entry. Entry classes register here under the kind their documents name.
class DSEntryBase : public DSClassOf<DSEntryBase, DSObject> {
public:
    static DSClassInfo classInfo() { return {.name = "DSEntryBase"}; }

    DSXMLElementRef XMLElement() const override {
        return XMLElementWithExtensionsAndDefaultName(QStringLiteral("entry"));
    }

    // Under the class's kind term (kind scheme) and its kind attribute value, each when it has one.
    static bool registerEntryClass(const DSClass& cls);
    static bool registerEntryClass(const DSClass& cls, const QString& scheme, const QString& term);
    static const DSClass* entryClassForCategory(const QString& scheme, const QString& term);
    static const DSClass* entryClassForKindAttributeValue(const QString& value);

private:
    static DSKindMap& entryKindMap();
};
