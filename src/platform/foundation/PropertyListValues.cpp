#include "platform/foundation/PropertyListValues.h"

#include "platform/foundation/FileUtils.h"

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
    QFile file;
    if (!openRegularFile(file, path, error))
        return {};
    const PlistPtr root = parsePropertyList(file.readAll(), error);
    return root ? variantFromPropertyList(root.get()) : QVariant();
}

plist_t propertyListFromVariant(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        return plist_new_bool(value.toBool());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return plist_new_uint(quint64(value.toLongLong())); // signed values keep their 64 bits
    case QMetaType::Double:
    case QMetaType::Float:
        return plist_new_real(value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return plist_new_data(bytes.constData(), quint64(bytes.size()));
    }
    case QMetaType::QDateTime: {
        const qint64 ms = value.toDateTime().toMSecsSinceEpoch() - referenceDateSeconds * 1000;
        return plist_new_date(int32_t(ms / 1000), int32_t(ms % 1000) * 1000);
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        plist_t array = plist_new_array();
        for (const QVariant& item : value.toList())
            plist_array_append_item(array, propertyListFromVariant(item));
        return array;
    }
    case QMetaType::QVariantMap: {
        plist_t dictionary = plist_new_dict();
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            plist_dict_set_item(dictionary, it.key().toUtf8().constData(),
                                propertyListFromVariant(it.value()));
        return dictionary;
    }
    default:
        return plist_new_string(value.toString().toUtf8().constData());
    }
}

bool writePropertyListFile(const QString& path, const QVariantMap& dictionary, QString* error) {
    const PlistPtr root(propertyListFromVariant(dictionary));
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &xml, &length);
    const QByteArray bytes(xml, qsizetype(length));
    plist_to_xml_free(xml);
    if (bytes.isEmpty()) {
        if (error)
            *error = QStringLiteral("Cannot write \"%1\": the dictionary has no property list").arg(path);
        return false;
    }
    return writeFileAtomically(path, bytes, error);
}

} // namespace platform
