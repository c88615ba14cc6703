#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <vector>

namespace platform {

// Builds a binary property list ("bplist00") object by object and writes it in one pass, in time and
// memory in step with its size however many objects it holds. Equal leaves (strings, numbers, data, UIDs,
// booleans) are stored once; containers are filled by appending to them.
class BinaryPropertyListWriter {
public:
    using Ref = quint32;

    Ref string(const QString& text);
    // Integers are stored as the signed 64-bit values the readers give back.
    Ref integer(qint64 value);
    // A real that a float holds exactly takes four bytes, any other eight.
    Ref real(double value);
    Ref boolean(bool value);
    Ref data(const QByteArray& bytes);
    Ref uid(quint64 value);
    Ref array();
    Ref dictionary();
    void append(Ref array, Ref item);
    // Sets a dictionary's key (a string) to a value; a key set before gets the new value.
    void set(Ref dictionary, Ref key, Ref value);

    qsizetype objectCount() const { return qsizetype(objects.size()); }
    QByteArray write(Ref root) const;

private:
    enum class Kind : quint8 { Leaf, Array, Dictionary };
    struct Object {
        Kind kind = Kind::Leaf;
        QByteArray encoded;    // a leaf's bytes as written
        std::vector<Ref> refs; // an array's items; a dictionary's keys and values, paired
    };

    Ref leaf(QByteArray encoded);
    Ref container(Kind kind);

    std::vector<Object> objects;
    QHash<QByteArray, Ref> leaves;
};

} // namespace platform
