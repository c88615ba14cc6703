#include "webservice/JsonWriter.h"

#include "webservice/JsonNumber.h"

#include <QStringList>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

using namespace json_error;

// A proxy whose value is a proxy again is followed this far; a chain that goes on is a loop.
constexpr int maxProxyHops = 64;

bool isProxy(const QVariant& value) {
    return value.metaType() == QMetaType::fromType<JsonProxyPointer>() && value.value<JsonProxyPointer>();
}

QVariant resolveProxies(QVariant value) {
    for (int hop = 0; hop < maxProxyHops && isProxy(value); ++hop)
        value = value.value<JsonProxyPointer>()->proxyForJson();
    return value;
}

bool isDictionary(const QVariant& value) {
    return value.typeId() == QMetaType::QVariantMap || value.typeId() == QMetaType::QVariantHash;
}

bool isArray(const QVariant& value) {
    return value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList;
}

bool forcesEscaping(QChar unit) {
    return unit.unicode() < 0x20 || unit == u'"' || unit == u'\\';
}

template <typename Real> QString shortestText(Real value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return QString::fromLatin1(text, result.ptr - text);
}

QString typeName(const QVariant& value) {
    return value.isValid() ? QString::fromLatin1(value.typeName()) : QStringLiteral("an invalid value");
}

} // namespace

JsonWriter::JsonWriter() {
    JsonNumber::registerConversions();
}

QString JsonWriter::stringWithFragment(const QVariant& value) {
    clearErrorTrace();
    depth_ = 0;
    QString json;
    json.reserve(128);
    if (!appendValue(value, json))
        return {};
    return json;
}

QString JsonWriter::stringWithObject(const QVariant& value) {
    const QVariant object = resolveProxies(value);
    if (isDictionary(object) || isArray(object))
        return stringWithFragment(object);
    clearErrorTrace();
    addErrorWithCode(notAnObject, QStringLiteral("Not valid type for JSON"));
    return {};
}

bool JsonWriter::appendValue(const QVariant& given, QString& json) {
    const QVariant value = resolveProxies(given);
    switch (value.typeId()) {
    case QMetaType::QVariantMap:
        return appendDictionary(value.toMap(), json);
    case QMetaType::QVariantHash:
        return appendDictionary(value.toHash(), json);
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        return appendArray(value.toList(), json);
    case QMetaType::QString:
        appendString(value.toString(), json);
        return true;
    case QMetaType::Nullptr:
        json += QLatin1String("null");
        return true;
    default:
        return appendNumber(value, json);
    }
}

bool JsonWriter::appendNumber(const QVariant& value, QString& json) {
    const int type = value.typeId();
    if (type == QMetaType::Bool) {
        json += value.toBool() ? QLatin1String("true") : QLatin1String("false");
    } else if (type == qMetaTypeId<JsonNumber>()) {
        json += value.value<JsonNumber>().toString();
    } else if (type == QMetaType::Int || type == QMetaType::LongLong || type == QMetaType::Long ||
               type == QMetaType::Short || type == QMetaType::Char || type == QMetaType::SChar) {
        json += QString::number(value.toLongLong());
    } else if (type == QMetaType::UInt || type == QMetaType::ULongLong || type == QMetaType::ULong ||
               type == QMetaType::UShort || type == QMetaType::UChar) {
        json += QString::number(value.toULongLong());
    } else if ((type == QMetaType::Double || type == QMetaType::Float) && std::isfinite(value.toDouble())) {
        // NaN and the infinities have no JSON form: they fall through to the failure below.
        json += type == QMetaType::Float ? shortestText(value.toFloat()) : shortestText(value.toDouble());
    } else {
        addErrorWithCode(unsupported,
                         QStringLiteral("JSON serialisation not supported for %1").arg(typeName(value)));
        return false;
    }
    return true;
}

bool JsonWriter::appendArray(const QVariantList& array, QString& json) {
    if (!enterNesting())
        return false;
    json += u'[';
    for (qsizetype index = 0; index < array.size(); ++index) {
        beginElement(index, json);
        if (!appendValue(array[index], json))
            return false;
    }
    endContainer(array.isEmpty(), u']', json);
    return true;
}

template <typename Dictionary>
bool JsonWriter::appendDictionary(const Dictionary& dictionary, QString& json) {
    if (!enterNesting())
        return false;
    json += u'{';
    QStringList keys = dictionary.keys();
    if (sortKeys_)
        std::sort(keys.begin(), keys.end());
    for (qsizetype index = 0; index < keys.size(); ++index) {
        const QString& key = keys[index];
        beginElement(index, json);
        appendString(key, json);
        json += humanReadable_ ? QLatin1String(" : ") : QLatin1String(":");
        if (!appendValue(dictionary.value(key), json)) {
            addErrorWithCode(unsupported, QStringLiteral("Unsupported value for key %1 in object").arg(key));
            return false;
        }
    }
    endContainer(dictionary.isEmpty(), u'}', json);
    return true;
}

void JsonWriter::appendString(const QString& string, QString& json) const {
    json += u'"';
    if (std::none_of(string.begin(), string.end(), forcesEscaping)) {
        json += string;
        json += u'"';
        return;
    }
    for (const QChar unit : string) {
        switch (unit.unicode()) {
        case u'"':
            json += QLatin1String("\\\"");
            break;
        case u'\\':
            json += QLatin1String("\\\\");
            break;
        case 0x08:
            json += QLatin1String("\\b");
            break;
        case 0x09:
            json += QLatin1String("\\t");
            break;
        case 0x0A:
            json += QLatin1String("\\n");
            break;
        case 0x0C:
            json += QLatin1String("\\f");
            break;
        case 0x0D:
            json += QLatin1String("\\r");
            break;
        default:
            if (unit.unicode() < 0x20)
                json += QStringLiteral("\\u%1").arg(unit.unicode(), 4, 16, QLatin1Char('0'));
            else
                json += unit;
        }
    }
    json += u'"';
}

void JsonWriter::beginElement(qsizetype index, QString& json) const {
    if (index > 0)
        json += u',';
    if (humanReadable_)
        appendIndent(json);
}

void JsonWriter::endContainer(bool empty, QChar closer, QString& json) {
    leaveNesting();
    if (humanReadable_ && !empty)
        appendIndent(json);
    json += closer;
}

void JsonWriter::appendIndent(QString& json) const {
    json += u'\n';
    json += QString(qsizetype(2 * depth_), u' ');
}
