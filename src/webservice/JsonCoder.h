#pragma once

#include "webservice/JsonBase.h"
#include "webservice/JsonParser.h"
#include "webservice/JsonWriter.h"

// One parser and one writer behind one face. On failure a call copies the inner trace into its own and
// hands out the outermost error through `error` when one is given.
class JsonCoder : public JsonBase {
public:
    JsonCoder();

    // allowScalar chooses the fragment form (any value at the top).
    QVariant objectWithString(const QString& text, bool allowScalar, JsonError* error);
    QString stringWithObject(const QVariant& value, bool allowScalar, JsonError* error);

    QVariant fragmentWithString(const QString& text, JsonError* error);
    QVariant objectWithString(const QString& text, JsonError* error);
    QString stringWithFragment(const QVariant& value, JsonError* error);
    QString stringWithObject(const QVariant& value, JsonError* error);
    QVariant objectWithString(const QString& text);
    QString stringWithObject(const QVariant& value);

    // Sets the limit of parser and writer alike.
    void setMaxDepth(quint64 maxDepth) override;
    bool humanReadable() const { return jsonWriter_.humanReadable(); }
    void setHumanReadable(bool humanReadable) { jsonWriter_.setHumanReadable(humanReadable); }
    bool sortKeys() const { return jsonWriter_.sortKeys(); }
    void setSortKeys(bool sortKeys) { jsonWriter_.setSortKeys(sortKeys); }

    const JsonParser& jsonParser() const { return jsonParser_; }
    const JsonWriter& jsonWriter() const { return jsonWriter_; }

private:
    template <typename Result> Result takeOutcome(Result result, const JsonBase& inner, JsonError* error);

    JsonParser jsonParser_;
    JsonWriter jsonWriter_;
};

// One-call forms with a fresh parser or writer each; a failure answers an invalid QVariant or a null
// QString and nothing more.
QVariant JSONValue(const QString& text);           // an object or an array
QVariant JSONFragmentValue(const QString& text);   // any value
QString JSONRepresentation(const QVariant& value); // an object or an array
QString JSONFragment(const QVariant& value);       // any value
