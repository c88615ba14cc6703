#include "webservice/BaseClasses/DSFeedBase.h"

#include "webservice/BaseClasses/DSNamespaces.h"

DSKindMap& DSFeedBase::feedKindMap() {
    static DSKindMap map;
    return map;
}

bool DSFeedBase::registerFeedClass(const DSClass& cls) {
    bool registered = true;
    if (const QString kind = cls.standardKind(); !kind.isNull())
        registered = registerFeedClass(cls, QLatin1String(kDSCategoryKindScheme), kind);
    if (const QString value = cls.kindAttributeValue(); !value.isNull())
        registered = registerFeedClass(cls, QString(), value) && registered;
    return registered;
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
