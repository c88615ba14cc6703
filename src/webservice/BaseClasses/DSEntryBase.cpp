#include "webservice/BaseClasses/DSEntryBase.h"

#include "webservice/BaseClasses/DSNamespaces.h"

DSKindMap& DSEntryBase::entryKindMap() {
    static DSKindMap map;
    return map;
}

bool DSEntryBase::registerEntryClass(const DSClass& cls) {
    bool registered = true;
    if (const QString kind = cls.standardKind(); !kind.isNull())
        registered = registerEntryClass(cls, QLatin1String(kDSCategoryKindScheme), kind);
    if (const QString value = cls.kindAttributeValue(); !value.isNull())
        registered = registerEntryClass(cls, QString(), value) && registered;
    return registered;
}

bool DSEntryBase::registerEntryClass(const DSClass& cls, const QString& scheme, const QString& term) {
    return registerClass(cls, entryKindMap(), scheme, term);
}

const DSClass* DSEntryBase::entryClassForCategory(const QString& scheme, const QString& term) {
    return classForCategory(scheme, term, entryKindMap());
}

const DSClass* DSEntryBase::entryClassForKindAttributeValue(const QString& value) {
    return classForCategory(QString(), value, entryKindMap());
}
