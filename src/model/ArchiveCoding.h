#pragma once

// Small helpers shared by the model's keyed-archive coders. Archives may come from anywhere, so an
// object of an unexpected kind is treated like a missing one instead of failing the whole load, and is
// never built: each helper names the classes it takes, and a plain value takes none of ours.

#include "platform/foundation/KeyedArchive.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <optional>
#include <vector>

namespace archive {

// nil for a null string, so that an unset field is stored as "$null" and reads back unset.
inline QVariant objectOrNil(const QString& value) {
    return value.isNull() ? QVariant() : QVariant(value);
}

// The string under key; a null string when it is missing, nil or not a string.
inline QString decodeString(platform::KeyedUnarchiver& coder, const QString& key) {
    const QVariant value = coder.decodeObjectOfClasses(key, {});
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

// The dictionary under key; nullopt when it is missing, nil or not a dictionary.
inline std::optional<QVariantMap> decodeMap(platform::KeyedUnarchiver& coder, const QString& key) {
    const QVariant value = coder.decodeObjectOfClasses(key, {});
    if (value.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return value.toMap();
}

inline bool holdsObject(const QVariant& value) {
    return value.metaType() == QMetaType::fromType<platform::ArchivableRef>();
}

// One of our objects of class T, archived under one of `classes`, under key; null when missing or of
// another kind.
template <class T>
std::shared_ptr<T> decodeObjectOf(platform::KeyedUnarchiver& coder, const QString& key,
                                  const QStringList& classes) {
    const QVariant value = coder.decodeObjectOfClasses(key, classes);
    if (!holdsObject(value))
        return nullptr;
    return std::dynamic_pointer_cast<T>(value.value<platform::ArchivableRef>());
}

// The objects of class T, archived under one of `classes`, in the array under key, skipping anything
// else; empty when the key is missing or not an array.
template <class T>
std::vector<std::shared_ptr<T>> decodeArrayOf(platform::KeyedUnarchiver& coder, const QString& key,
                                              const QStringList& classes) {
    std::vector<std::shared_ptr<T>> result;
    const QVariant value = coder.decodeObjectOfClasses(key, classes);
    if (value.typeId() != QMetaType::QVariantList)
        return result;
    for (const QVariant& item : value.toList()) {
        if (!holdsObject(item))
            continue;
        if (auto typed = std::dynamic_pointer_cast<T>(item.value<platform::ArchivableRef>()))
            result.push_back(std::move(typed));
    }
    return result;
}

template <class T> QVariant arrayOf(const std::vector<std::shared_ptr<T>>& objects) {
    QVariantList list;
    list.reserve(qsizetype(objects.size()));
    for (const auto& object : objects)
        list.append(QVariant::fromValue(platform::ArchivableRef(object)));
    return list;
}

} // namespace archive
