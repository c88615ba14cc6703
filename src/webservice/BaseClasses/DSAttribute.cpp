#include "webservice/BaseClasses/DSAttribute.h"

const DSClass& DSAttribute::staticClass() {
    static const DSClass descriptor(DSClassInfo{.name = "DSAttribute"}, nullptr,
                                    [] { return DSInstanceRef(std::make_shared<DSAttribute>()); });
    return descriptor;
}

std::shared_ptr<DSAttribute> DSAttribute::attributeWithValue(const DSClass& cls, const QString& value) {
    auto attribute = DSInstanceCast<DSAttribute>(cls.make());
    if (attribute)
        attribute->setStringValue(value);
    return attribute;
}

DSInstanceRef DSAttribute::copyInstance() const {
    return attributeWithValue(dsClass(), value_);
}

bool DSAttribute::isEqual(const DSInstance* other) const {
    if (other == this)
        return true;
    if (!other || !other->isKindOfClass(staticClass()))
        return false;
    return ObjectsEqualOrBothNil(value_, static_cast<const DSAttribute*>(other)->value_);
}

QString DSAttribute::description() const {
    const DSClass& cls = dsClass();
    const QString name =
        cls.extensionElementPrefix().isEmpty()
            ? cls.extensionElementLocalName()
            : cls.extensionElementPrefix() + QLatin1Char(':') + cls.extensionElementLocalName();
    return QStringLiteral("%1 %2: {%3=%4}")
        .arg(cls.name(), QString::asprintf("%p", static_cast<const void*>(this)), name, value_);
}
