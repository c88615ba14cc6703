#include "webservice/BaseClasses/DSEntryBase.h"

DSKindMap& DSEntryBase::entryKindMap() {
    static DSKindMap map;
    return map;
}

bool DSEntryBase::registerEntryClass(const DSClass& cls) {
    return registerClassByKind(cls, entryKindMap());
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
