#include "webservice/JsonCoder.h"

JsonCoder::JsonCoder() {
    setMaxDepth(defaultMaxDepth);
}

void JsonCoder::setMaxDepth(quint64 maxDepth) {
    JsonBase::setMaxDepth(maxDepth);
    jsonParser_.setMaxDepth(maxDepth);
    jsonWriter_.setMaxDepth(maxDepth);
}

template <typename Result>
Result JsonCoder::takeOutcome(Result result, const JsonBase& inner, JsonError* error) {
    clearErrorTrace();
    if (inner.errorTrace().isEmpty())
        return result;
    setErrorTrace(inner.errorTrace());
    if (error)
        *error = errorTrace().last();
    return result;
}

QVariant JsonCoder::objectWithString(const QString& text, bool allowScalar, JsonError* error) {
    QVariant value = allowScalar ? jsonParser_.fragmentWithString(text) : jsonParser_.objectWithString(text);
    return takeOutcome(std::move(value), jsonParser_, error);
}

QString JsonCoder::stringWithObject(const QVariant& value, bool allowScalar, JsonError* error) {
    QString json = allowScalar ? jsonWriter_.stringWithFragment(value) : jsonWriter_.stringWithObject(value);
    return takeOutcome(std::move(json), jsonWriter_, error);
}

QVariant JsonCoder::fragmentWithString(const QString& text, JsonError* error) {
    return objectWithString(text, true, error);
}

QVariant JsonCoder::objectWithString(const QString& text, JsonError* error) {
    return objectWithString(text, false, error);
}

QString JsonCoder::stringWithFragment(const QVariant& value, JsonError* error) {
    return stringWithObject(value, true, error);
}

QString JsonCoder::stringWithObject(const QVariant& value, JsonError* error) {
    return stringWithObject(value, false, error);
}

QVariant JsonCoder::objectWithString(const QString& text) {
    return objectWithString(text, false, nullptr);
}

QString JsonCoder::stringWithObject(const QVariant& value) {
    return stringWithObject(value, false, nullptr);
}

QVariant JSONValue(const QString& text) {
    return JsonParser().objectWithString(text);
}

QVariant JSONFragmentValue(const QString& text) {
    return JsonParser().fragmentWithString(text);
}

QString JSONRepresentation(const QVariant& value) {
    return JsonWriter().stringWithObject(value);
}

QString JSONFragment(const QVariant& value) {
    return JsonWriter().stringWithFragment(value);
}
