#pragma once

#include "webservice/BaseClasses/DSEntryBase.h"

// The base of every Atom feed. Feed classes register here under the kind their documents name; entries of a
// kind no class registered become the class's default entry class.
class DSFeedBase : public DSClassOf<DSFeedBase, DSObject> {
public:
    static DSClassInfo classInfo() {
        return {.name = "DSFeedBase", .defaultClassForEntries = &DSEntryBase::staticClass};
    }

    DSXMLElementRef XMLElement() const override {
        return XMLElementWithExtensionsAndDefaultName(QStringLiteral("feed"));
    }

    static bool registerFeedClass(const DSClass& cls);
    static bool registerFeedClass(const DSClass& cls, const QString& scheme, const QString& term);
    static const DSClass* feedClassForCategory(const QString& scheme, const QString& term);
    static const DSClass* feedClassForKindAttributeValue(const QString& value);

private:
    static DSKindMap& feedKindMap();
};
