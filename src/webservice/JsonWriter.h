#pragma once

#include "webservice/JsonBase.h"

#include <QString>
#include <QVariant>

#include <memory>

// A value the writer cannot write itself, standing in for itself with one it can.
class JsonProxy {
public:
    virtual ~JsonProxy() = default;
    virtual QVariant proxyForJson() const = 0;
};
using JsonProxyPointer = std::shared_ptr<const JsonProxy>;
Q_DECLARE_METATYPE(JsonProxyPointer)

// Writes values as JSON text: QVariantMap and QVariantHash (objects), QVariantList and QStringList
// (arrays), QString, numbers (bool as true or false; integers, finite floating point and JsonNumber as
// decimal text), null (QVariant::fromValue(nullptr)) and JsonProxyPointer. Every call answers a null
// QString on failure and leaves the chain of errors, innermost first, in errorTrace().
class JsonWriter : public JsonBase {
public:
    JsonWriter();

    // Any value at the top.
    QString stringWithFragment(const QVariant& value);
    // An object or an array at the top, or a proxy for one (else code 4).
    QString stringWithObject(const QVariant& value);

    // One element or member per line, indented by two blanks a level, " : " between key and value.
    bool humanReadable() const { return humanReadable_; }
    void setHumanReadable(bool humanReadable) { humanReadable_ = humanReadable; }
    // Object members in the order of their keys' UTF-16 units (a QVariantMap is in that order anyway).
    bool sortKeys() const { return sortKeys_; }
    void setSortKeys(bool sortKeys) { sortKeys_ = sortKeys; }

private:
    bool appendValue(const QVariant& value, QString& json);
    bool appendArray(const QVariantList& array, QString& json);
    template <typename Dictionary> bool appendDictionary(const Dictionary& dictionary, QString& json);
    bool appendNumber(const QVariant& value, QString& json);
    void appendString(const QString& string, QString& json) const;
    void beginElement(qsizetype index, QString& json) const; // the comma and, when human-readable, the indent
    void endContainer(bool empty, QChar closer, QString& json);
    void appendIndent(QString& json) const;

    bool humanReadable_ = false;
    bool sortKeys_ = false;
};
