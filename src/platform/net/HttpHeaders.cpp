#include "platform/net/HttpHeaders.h"

namespace platform::net {

namespace {

bool sameName(const QByteArray& a, const QByteArray& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isTokenChar(char c) {
    static const QByteArray separators = QByteArrayLiteral("()<>@,;:\\\"/[]?={} \t");
    const auto u = static_cast<unsigned char>(c);
    return u > 32 && u < 127 && !separators.contains(c);
}

} // namespace

bool HttpHeaders::isValidName(const QByteArray& name) {
    if (name.isEmpty())
        return false;
    for (char c : name)
        if (!isTokenChar(c))
            return false;
    return true;
}

bool HttpHeaders::isValidValue(const QByteArray& value) {
    for (char c : value)
        if (c == '\r' || c == '\n' || c == '\0')
            return false;
    return true;
}

bool HttpHeaders::contains(const QByteArray& name) const {
    for (const Field& field : fields)
        if (sameName(field.first, name))
            return true;
    return false;
}

QByteArray HttpHeaders::value(const QByteArray& name) const {
    for (const Field& field : fields)
        if (sameName(field.first, name))
            return field.second.isNull() ? QByteArray("") : field.second;
    return QByteArray();
}

QList<QByteArray> HttpHeaders::values(const QByteArray& name) const {
    QList<QByteArray> found;
    for (const Field& field : fields)
        if (sameName(field.first, name))
            found.append(field.second);
    return found;
}

QByteArray HttpHeaders::combinedValue(const QByteArray& name) const {
    const QList<QByteArray> found = values(name);
    return found.isEmpty() ? QByteArray() : found.join(", ");
}

bool HttpHeaders::set(const QByteArray& name, const QByteArray& value) {
    if (!isValidName(name) || !isValidValue(value))
        return false;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (!sameName(fields[i].first, name))
            continue;
        fields[i].second = value;
        for (qsizetype j = fields.size() - 1; j > i; --j)
            if (sameName(fields[j].first, name))
                fields.removeAt(j);
        return true;
    }
    fields.append({name, value});
    return true;
}

bool HttpHeaders::add(const QByteArray& name, const QByteArray& value) {
    if (!isValidName(name) || !isValidValue(value))
        return false;
    fields.append({name, value});
    return true;
}

void HttpHeaders::remove(const QByteArray& name) {
    fields.removeIf([&](const Field& field) { return sameName(field.first, name); });
}

bool HttpHeaders::continueLast(const QByteArray& more) {
    if (fields.isEmpty() || !isValidValue(more))
        return false;
    QByteArray& value = fields.last().second;
    value += ' ';
    value += more;
    return true;
}

} // namespace platform::net
