#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace platform::net {

// The header fields of a request or a reply. Names compare without regard to case everywhere (a reply over
// HTTP/2 spells every name in lower case); the spelling first given is kept for sending. A field may occur
// more than once ("Set-Cookie"). Names and values holding CR, LF or NUL are refused, so that no caller can
// smuggle a second header or request into a message.
class HttpHeaders {
public:
    using Field = QPair<QByteArray, QByteArray>;

    // A field is valid when its name is a non-empty token and neither part holds CR, LF or NUL.
    static bool isValidName(const QByteArray& name);
    static bool isValidValue(const QByteArray& value);

    bool contains(const QByteArray& name) const;
    // The value of the first field of that name; a null array when there is none.
    QByteArray value(const QByteArray& name) const;
    QString text(const QByteArray& name) const { return QString::fromLatin1(value(name)); }
    // Every value of that name, in order.
    QList<QByteArray> values(const QByteArray& name) const;
    // Every value of that name joined with ", ", as a dictionary of header fields gives it.
    QByteArray combinedValue(const QByteArray& name) const;

    // Replaces every field of that name by one; answers false (changing nothing) for an invalid field.
    bool set(const QByteArray& name, const QByteArray& value);
    // Appends a field, keeping those of the same name; false for an invalid field.
    bool add(const QByteArray& name, const QByteArray& value);
    void remove(const QByteArray& name);
    // Continues the value of the last field (a folded line of a reply), joined by one space; false when
    // there is no field or the text is invalid.
    bool continueLast(const QByteArray& more);
    void clear() { fields.clear(); }

    const QList<Field>& all() const { return fields; }
    bool isEmpty() const { return fields.isEmpty(); }
    qsizetype size() const { return fields.size(); }

    friend bool operator==(const HttpHeaders& a, const HttpHeaders& b) { return a.fields == b.fields; }

private:
    QList<Field> fields;
};

} // namespace platform::net
