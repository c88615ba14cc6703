#include "webservice/BaseClasses/DSObject.h"

#include "webservice/BaseClasses/DSScanner.h"
#include "webservice/BaseClasses/DSUtilities.h"

#include <QSet>

#include <cmath>

namespace {

bool isPresent(const QVariant& value) {
    if (!value.isValid())
        return false;
    switch (value.typeId()) {
    case QMetaType::QString:
        return !value.toString().isNull();
    case QMetaType::QByteArray:
        return !value.toByteArray().isNull();
    default:
        return !value.isNull();
    }
}

QStringList itemsOf(const QVariant& value) {
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList();
    QStringList items;
    if (value.typeId() == QMetaType::QVariantList)
        for (const QVariant& item : value.toList())
            items.append(item.toString());
    return items;
}

qsizetype lengthOf(const QVariant& value) {
    if (value.typeId() == QMetaType::QByteArray)
        return value.toByteArray().size();
    return value.toString().size();
}

QString textOf(const QVariant& value) {
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("YES") : QStringLiteral("NO");
    if (value.typeId() == QMetaType::QStringList || value.typeId() == QMetaType::QVariantList)
        return QStringLiteral("(%1)").arg(itemsOf(value).join(QStringLiteral(", ")));
    return value.toString();
}

QString named(const QString& name, const QString& value) {
    return name + QLatin1Char(':') + value;
}

} // namespace

// ---- typed values of stored attributes

std::optional<int> DSObject::intNumberForAttribute(const QString& name) const {
    const QString text = stringValueForAttribute(name);
    if (text.isEmpty())
        return std::nullopt;
    return DSLeadingInt(text);
}

std::optional<qint64> DSObject::longLongNumberForAttribute(const QString& name) const {
    const QString text = stringValueForAttribute(name);
    if (text.isNull())
        return std::nullopt;
    return DSLeadingLongLong(text);
}

std::optional<double> DSObject::doubleNumberForAttribute(const QString& name) const {
    return DSUtilities::doubleNumberOrInfForString(stringValueForAttribute(name));
}

std::optional<double> DSObject::decimalNumberForAttribute(const QString& name) const {
    const QString text = stringValueForAttribute(name);
    if (text.isEmpty())
        return std::nullopt;
    return DSLeadingDouble(text).value_or(std::nan(""));
}

std::optional<DSDateTime> DSObject::dateTimeForAttribute(const QString& name) const {
    const QString text = stringValueForAttribute(name);
    if (text.isEmpty())
        return std::nullopt;
    return DSDateTime::dateTimeWithRFC3339String(text);
}

bool DSObject::boolValueForAttribute(const QString& name, bool defaultValue) const {
    const QString text = stringValueForAttribute(name);
    if (text.isNull())
        return defaultValue;
    if (defaultValue)
        return text.compare(QLatin1String("false"), Qt::CaseInsensitive) != 0;
    return text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

void DSObject::setBoolValue(bool value, bool defaultValue, const QString& name) {
    setStringValueForAttribute(value == defaultValue ? QString()
                               : value               ? QStringLiteral("true")
                                                     : QStringLiteral("false"),
                               name);
}

void DSObject::setExplicitBoolValue(bool value, const QString& name) {
    setStringValueForAttribute(value ? QStringLiteral("true") : QStringLiteral("false"), name);
}

void DSObject::setDecimalNumberValue(const std::optional<double>& value, const QString& name) {
    setStringValueForAttribute(value ? DSDecimalString(*value) : QString(), name);
}

void DSObject::setNumberValue(const std::optional<qint64>& value, const QString& name) {
    setStringValueForAttribute(value ? QString::number(*value) : QString(), name);
}

void DSObject::setDateTimeValue(const std::optional<DSDateTime>& value, const QString& name) {
    setStringValueForAttribute(value ? value->RFC3339String() : QString(), name);
}

// ---- descriptions

QString DSObject::description() const {
    QStringList items = itemsForDescription();
    if (!unknownChildren_.isEmpty()) {
        QSet<QString> names;
        for (const DSXMLNodeRef& child : unknownChildren_)
            names.insert(QStringLiteral("<%1>").arg(child->name()));
        QStringList sorted(names.cbegin(), names.cend());
        sorted.sort();
        items.append(named(QStringLiteral("unparsed"), sorted.join(QLatin1Char(','))));
    }
    if (!unknownAttributes_.isEmpty()) {
        QStringList names;
        for (const DSXMLNodeRef& attribute : unknownAttributes_)
            names.append(attribute->name());
        items.append(named(QStringLiteral("unparsedAttr"), names.join(QLatin1Char(','))));
    }
    return descriptionWithItems(items);
}

QString DSObject::descriptionWithItems(const QStringList& items) const {
    const QString head = QStringLiteral("%1 %2").arg(dsClass().name(),
                                                     QString::asprintf("%p", static_cast<const void*>(this)));
    if (items.isEmpty())
        return head;
    return QStringLiteral("%1: {%2}").arg(head, items.join(QLatin1Char(' ')));
}

QStringList DSObject::itemsForDescription() const {
    QStringList items;
    addAttributeDescriptionsToArray(items);
    addContentDescriptionToArray(items, QStringLiteral("content"));
    addChildXMLElementsDescriptionToArray(items);
    return items;
}

void DSObject::addToArray(QStringList& items, const QVariant& value, const QString& name) {
    if (!isPresent(value))
        return;
    items.append(name.isEmpty() ? textOf(value) : named(name, textOf(value)));
}

void DSObject::addAttributeDescriptionsToArray(QStringList& items) const {
    for (const QString& name : attributeDeclarations()) {
        const QString value = stringValueForAttribute(name);
        if (!value.isNull())
            items.append(named(name, value));
    }
}

void DSObject::addContentDescriptionToArray(QStringList& items, const QString& name) const {
    if (hasDeclaredContentValue())
        addToArray(items, contentValue_, name);
}

void DSObject::addChildXMLElementsDescriptionToArray(QStringList& items) const {
    if (!hasDeclaredChildXMLElements() || childXMLElements_.isEmpty())
        return;
    QString xml;
    for (const DSXMLElementRef& element : childXMLElements_)
        xml += element->XMLString();
    items.append(named(QStringLiteral("XML"), xml));
}

void DSObject::addDescriptionRecords(const std::vector<DSDescriptionRecord>& records,
                                     QStringList& items) const {
    for (const DSDescriptionRecord& record : records) {
        const QString label = labelAdjustedForVersion(record.label);
        if (label.isNull())
            continue;
        const QVariant value = record.value ? record.value(*this) : QVariant();
        switch (record.reportKind) {
        case 1:
        case 8:
            addToArray(items, value, label);
            break;
        case 2:
            if (isPresent(value))
                items.append(label);
            break;
        case 3:
            if (const qsizetype count = itemsOf(value).size())
                items.append(named(label, QString::number(count)));
            break;
        case 4:
            if (!itemsOf(value).isEmpty())
                items.append(named(label, textOf(value)));
            break;
        case 5:
            items.append(named(label, value.toBool() ? QStringLiteral("YES") : QStringLiteral("NO")));
            break;
        case 6:
            if (value.toBool())
                items.append(named(label, QStringLiteral("YES")));
            break;
        case 7:
            if (const qsizetype length = lengthOf(value))
                items.append(named(label, QStringLiteral("#%1").arg(length)));
            break;
        default:
            break;
        }
    }
}

QString DSObject::labelAdjustedForVersion(const QString& label) const {
    const bool atLeast = label.startsWith(QLatin1String("version>="));
    if (!atLeast && !label.startsWith(QLatin1String("version<=")))
        return label;
    DSScanner scanner(label);
    QString version;
    QString text;
    if (!scanner.scanString(atLeast ? u"version>=" : u"version<=") ||
        !scanner.scanUpToString(u":", &version) || !scanner.scanString(u":") ||
        !scanner.scanUpToCharactersFromSet(u"\r\n", &text))
        return label;
    const bool shown = atLeast ? isServiceVersionAtLeast(version) : isServiceVersionAtMost(version);
    return shown ? text : QString();
}
