#include "webservice/BaseClasses/DSFeedBase.h"

DSKindMap& DSFeedBase::feedKindMap() {
    static DSKindMap map;
    return map;
}

bool DSFeedBase::registerFeedClass(const DSClass& cls) {
    return registerClassByKind(cls, feedKindMap());
}

bool DSFeedBase::registerFeedClass(const DSClass& cls, const QString& scheme, const QString& term) {
    return registerClass(cls, feedKindMap(), scheme, term);
}

const DSClass* DSFeedBase::feedClassForCategory(const QString& scheme, const QString& term) {
    return classForCategory(scheme, term, feedKindMap());
}

const DSClass* DSFeedBase::feedClassForKindAttributeValue(const QString& value) {
    return classForCategory(QString(), value, feedKindMap());
}
