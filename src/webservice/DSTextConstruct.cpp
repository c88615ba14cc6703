#include "webservice/DSTextConstruct.h"

bool DSTextConstruct::isTypeEqualToText(const QString& type) {
    return type.isNull() || type == QLatin1String("text") || type == QLatin1String("text/plain");
}

bool DSTextConstruct::isEqual(const DSInstance* other) const {
    if (other == this)
        return true;
    if (!DSObject::isEqual(other))
        return false;
    const QString theirs = static_cast<const DSTextConstruct*>(other)->type();
    return ObjectsEqualOrBothNil(type(), theirs) || (isTypeEqualToText(type()) && isTypeEqualToText(theirs));
}
