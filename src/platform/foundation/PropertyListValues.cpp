#include "platform/foundation/PropertyListValues.h"

#include <QDateTime>
#include <QFile>
#include <QVariantList>
#include <QVariantMap>

#include <cstdlib>

namespace platform {
namespace {

// The reference date of property-list dates: 2001-01-01 00:00:00 UTC.
constexpr qint64 referenceDateSeconds = 978307200;

QString stringOf(plist_t node) {
    char* text = nullptr;
    plist_get_string_val(node, &text);
    const QString value = QString::fromUtf8(text ? text : "");
    std::free(text);
    return value;
}

QVariant integerOf(plist_t node) {
    uint64_t raw = 0;
    plist_get_uint_val(node, &raw);
    return QVariant(qint64(raw)); // libplist keeps signed values in the same 64 bits
}

QVariant dataOf(plist_t node) {
    char* bytes = nullptr;
    uint64_t length = 0;
    plist_get_data_val(node, &bytes, &length);
    const QByteArray value(bytes, qsizetype(length));
    std::free(bytes);
    return value;
}

QVariant dateOf(plist_t node) {
    int32_t seconds = 0;
    int32_t microseconds = 0;
    plist_get_date_val(node, &seconds, &microseconds);
    const qint64 ms = (referenceDateSeconds + seconds) * 1000 + microseconds / 1000;
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

QVariant arrayOf(plist_t node) {
    QVariantList list;
    const uint32_t count = plist_array_get_size(node);
    for (uint32_t i = 0; i < count; ++i)
        list.append(variantFromPropertyList(plist_array_get_item(node, i)));
    return list;
}

QVariant dictionaryOf(plist_t node) {
    QVariantMap map;
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(node, &iterator);
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, iterator, &key, &value);
        if (!key)
            break;
        map.insert(QString::fromUtf8(key), variantFromPropertyList(value));
        std::free(key);
    }
    std::free(iterator);
    return map;
}

} // namespace

// Depth is bounded by parsePropertyList's checks, so plain recursion is safe here.
QVariant variantFromPropertyList(plist_t node) {
    if (!node)
        return {};
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return bool(value);
    }
    case PLIST_UINT:
        return integerOf(node);
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return value;
    }
    case PLIST_STRING:
        return stringOf(node);
    case PLIST_ARRAY:
        return arrayOf(node);
    case PLIST_DICT:
        return dictionaryOf(node);
    case PLIST_DATE:
        return dateOf(node);
    case PLIST_DATA:
        return dataOf(node);
    default:
        return {};
    }
}

QVariant readPropertyListFile(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot read \"%1\": %2").arg(path, file.errorString());
        return {};
    }
    const PlistPtr root = parsePropertyList(file.readAll(), error);
    return root ? variantFromPropertyList(root.get()) : QVariant();
}

} // namespace platform
