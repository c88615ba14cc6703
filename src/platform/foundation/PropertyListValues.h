#pragma once

// Property lists as Qt values, for resources such as the DVD-menu templates: arrays become QVariantList,
// dictionaries QVariantMap, strings QString, integers qint64, reals double, booleans bool, dates
// QDateTime, data QByteArray. Anything else (UIDs of keyed archives) becomes an invalid QVariant.

#include "platform/foundation/PropertyList.h"

#include <QString>
#include <QVariant>

namespace platform {

QVariant variantFromPropertyList(plist_t node);

// Reads a binary or XML property list file through the checks of parsePropertyList(); an invalid
// QVariant with a message when the file cannot be read or parsed.
QVariant readPropertyListFile(const QString& path, QString* error = nullptr);

// The property list of a value, the reverse of variantFromPropertyList: integers (also unsigned and
// narrower ones) become integers, other types their text. The caller owns the node.
plist_t propertyListFromVariant(const QVariant& value);
// Writes a dictionary as an XML property list file, atomically; false with a message when the file cannot
// be written.
bool writePropertyListFile(const QString& path, const QVariantMap& dictionary, QString* error = nullptr);

} // namespace platform
