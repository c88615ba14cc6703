#include "webservice/DSValueConstruct.h"

#include "webservice/BaseClasses/DSScanner.h"
#include "webservice/BaseClasses/DSUtilities.h"

void DSValueConstruct::addParseDeclarations() {
    DSObject::addParseDeclarations();
    const QString name = attributeName();
    if (name.isEmpty())
        addContentValueDeclaration();
    else
        addLocalAttributeDeclarations({name});
}

QString DSValueConstruct::stringValue() const {
    const QString name = attributeName();
    return name.isEmpty() ? contentStringValue() : stringValueForAttribute(name);
}

void DSValueConstruct::setStringValue(const QString& value) {
    const QString name = attributeName();
    if (name.isEmpty())
        setContentStringValue(value);
    else
        setStringValueForAttribute(value, name);
}

int DSValueConstruct::intValue() const {
    return DSLeadingInt(stringValue());
}

void DSValueConstruct::setIntValue(int value) {
    setStringValue(QString::number(value));
}

qint64 DSValueConstruct::longLongValue() const {
    return DSLeadingLongLong(stringValue());
}

void DSValueConstruct::setLongLongValue(qint64 value) {
    setStringValue(QString::number(value));
}

double DSValueConstruct::doubleValue() const {
    return DSUtilities::doubleNumberOrInfForString(stringValue()).value_or(0.0);
}

void DSValueConstruct::setDoubleValue(double value) {
    setStringValue(DSDoubleString(value));
}

bool DSValueConstruct::boolValue() const {
    return stringValue().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

void DSValueConstruct::setBoolValue(bool value) {
    setStringValue(value ? QStringLiteral("true") : QStringLiteral("false"));
}

std::optional<DSDateTime> DSValueConstruct::dateTimeValue() const {
    const QString text = stringValue();
    if (text.isEmpty())
        return std::nullopt;
    return DSDateTime::dateTimeWithRFC3339String(text);
}

void DSValueConstruct::setDateTimeValue(const std::optional<DSDateTime>& value) {
    setStringValue(value ? value->RFC3339String() : QString());
}

void DSNameValueConstruct::addParseDeclarations() {
    DSValueConstruct::addParseDeclarations();
    if (const QString name = nameAttributeName(); !name.isEmpty())
        addLocalAttributeDeclarations({name});
}

QString DSNameValueConstruct::name() const {
    const QString attribute = nameAttributeName();
    return attribute.isEmpty() ? QString() : stringValueForAttribute(attribute);
}

void DSNameValueConstruct::setName(const QString& name) {
    if (const QString attribute = nameAttributeName(); !attribute.isEmpty())
        setStringValueForAttribute(name, attribute);
}
