#include "platform/foundation/BinaryPropertyListWriter.h"

#include <cmath>
#include <cstring>

namespace platform {
namespace {

void appendBigEndian(QByteArray& out, quint64 value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.append(char((value >> shift) & 0xFF));
}

int bytesFor(quint64 value) {
    if (value <= 0xFF)
        return 1;
    if (value <= 0xFFFF)
        return 2;
    return value <= 0xFFFFFFFFu ? 4 : 8;
}

int log2Of(int bytes) {
    return bytes == 1 ? 0 : bytes == 2 ? 1 : bytes == 4 ? 2 : 3;
}

// An integer object: 1, 2 and 4 bytes hold unsigned values, 8 bytes a signed one.
void appendInteger(QByteArray& out, qint64 value) {
    const int bytes = value < 0 ? 8 : bytesFor(quint64(value));
    out.append(char(0x10 | log2Of(bytes)));
    appendBigEndian(out, quint64(value), bytes);
}

// A marker with its count: in the low nibble, or after it as an integer object from 15 on.
void appendMarker(QByteArray& out, int type, quint64 count) {
    if (count < 15) {
        out.append(char((type << 4) | int(count)));
        return;
    }
    out.append(char((type << 4) | 0xF));
    appendInteger(out, qint64(count));
}

} // namespace

BinaryPropertyListWriter::Ref BinaryPropertyListWriter::leaf(QByteArray encoded) {
    if (const auto it = leaves.constFind(encoded); it != leaves.constEnd())
        return it.value();
    const Ref ref = Ref(objects.size());
    leaves.insert(encoded, ref);
    objects.push_back({Kind::Leaf, std::move(encoded), {}});
    return ref;
}

BinaryPropertyListWriter::Ref BinaryPropertyListWriter::container(Kind kind) {
    objects.push_back({kind, {}, {}});
    return Ref(objects.size() - 1);
}

BinaryPropertyListWriter::Ref BinaryPropertyListWriter::string(const QString& text) {
    QByteArray out;
    bool ascii = true;
    for (const QChar c : text)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii) {
        const QByteArray bytes = text.toLatin1();
        appendMarker(out, 0x5, quint64(bytes.size()));
        out += bytes;
    } else {
        appendMarker(out, 0x6, quint64(text.size()));
        for (const QChar c : text)
            appendBigEndian(out, c.unicode(), 2);
    }
    return leaf(std::move(out));
}

BinaryPropertyListWriter::Ref BinaryPropertyListWriter::integer(qint64 value) {
    QByteArray out;
    appendInteger(out, value);
    return leaf(std::move(out));
}

BinaryPropertyListWriter::Ref BinaryPropertyListWriter::real(double value) {
    QByteArray out;
    const float narrow = float(value);
    if (!std::isnan(value) && double(narrow) == value) {
        quint32 bits = 0;
        std::memcpy(&bits, &narrow, sizeof bits);
        out.append(char(0x22));
        appendBigEndian(out, bits, 4);
    } else {
        quint64 bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        out.append(char(0x23));
        appendBigEndian(out, bits, 8);
    }
    return leaf(std::move(out));
}

BinaryPropertyListWriter::Ref BinaryPropertyListWriter::boolean(bool value) {
    return leaf(QByteArray(1, value ? char(0x09) : char(0x08)));
}

BinaryPropertyListWriter::Ref BinaryPropertyListWriter::data(const QByteArray& bytes) {
    QByteArray out;
    appendMarker(out, 0x4, quint64(bytes.size()));
    out += bytes;
    return leaf(std::move(out));
}

BinaryPropertyListWriter::Ref BinaryPropertyListWriter::uid(quint64 value) {
    QByteArray out;
    const int bytes = bytesFor(value);
    out.append(char(0x80 | (bytes - 1)));
    appendBigEndian(out, value, bytes);
    return leaf(std::move(out));
}

BinaryPropertyListWriter::Ref BinaryPropertyListWriter::array() {
    return container(Kind::Array);
}

BinaryPropertyListWriter::Ref BinaryPropertyListWriter::dictionary() {
    return container(Kind::Dictionary);
}

void BinaryPropertyListWriter::append(Ref array, Ref item) {
    objects[array].refs.push_back(item);
}

void BinaryPropertyListWriter::set(Ref dictionary, Ref key, Ref value) {
    std::vector<Ref>& refs = objects[dictionary].refs;
    for (std::size_t i = 0; i < refs.size(); i += 2) {
        if (refs[i] == key) {
            refs[i + 1] = value;
            return;
        }
    }
    refs.push_back(key);
    refs.push_back(value);
}

QByteArray BinaryPropertyListWriter::write(Ref root) const {
    const int refSize = bytesFor(objects.empty() ? 0 : objects.size() - 1);
    QByteArray out("bplist00");
    std::vector<quint64> offsets;
    offsets.reserve(objects.size());
    for (const Object& object : objects) {
        offsets.push_back(quint64(out.size()));
        if (object.kind == Kind::Leaf) {
            out += object.encoded;
            continue;
        }
        const bool dictionary = object.kind == Kind::Dictionary;
        const std::size_t entries = dictionary ? object.refs.size() / 2 : object.refs.size();
        appendMarker(out, dictionary ? 0xD : 0xA, entries);
        if (dictionary) {
            for (std::size_t i = 0; i < object.refs.size(); i += 2) // the keys, then the values
                appendBigEndian(out, object.refs[i], refSize);
            for (std::size_t i = 1; i < object.refs.size(); i += 2)
                appendBigEndian(out, object.refs[i], refSize);
        } else {
            for (const Ref ref : object.refs)
                appendBigEndian(out, ref, refSize);
        }
    }
    const quint64 tableOffset = quint64(out.size());
    const int offsetSize = bytesFor(offsets.empty() ? 0 : offsets.back());
    for (const quint64 offset : offsets)
        appendBigEndian(out, offset, offsetSize);
    out.append(QByteArray(6, '\0'));
    out.append(char(offsetSize));
    out.append(char(refSize));
    appendBigEndian(out, objects.size(), 8);
    appendBigEndian(out, root, 8);
    appendBigEndian(out, tableOffset, 8);
    return out;
}

} // namespace platform
