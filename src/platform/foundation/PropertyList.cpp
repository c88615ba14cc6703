#include "platform/foundation/PropertyList.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <cstring>
#include <vector>

namespace platform {
namespace {

constexpr quint64 kHeaderSize = 8;
constexpr quint64 kTrailerSize = 32;

quint64 readBigEndian(const uchar* p, int n) {
    quint64 value = 0;
    for (int i = 0; i < n; ++i)
        value = (value << 8) | p[i];
    return value;
}

// Walks the object table of a binary property list: every object well-formed and inside the object
// area, every reference in range, and, from the root, no cycle, bounded depth and bounded expansion.
class BinaryScan {
public:
    BinaryScan(const QByteArray& data, const PropertyListLimits& limits)
        : bytes(reinterpret_cast<const uchar*>(data.constData())), size(quint64(data.size())),
          limits(limits) {}

    QString run() {
        QString problem = readTrailer();
        for (quint64 i = 0; problem.isEmpty() && i < count; ++i)
            problem = readObject(i);
        firstRef.push_back(refs.size());
        return problem.isEmpty() ? walkFromRoot() : problem;
    }

private:
    bool fits(quint64 pos, quint64 length) const { return pos <= end && length <= end - pos; }

    QString readTrailer() {
        if (size < kHeaderSize + kTrailerSize + 1)
            return QStringLiteral("the binary property list is too short");
        if (std::memcmp(bytes, "bplist00", kHeaderSize) != 0)
            return QStringLiteral("the data is not a binary property list");
        const uchar* trailer = bytes + size - kTrailerSize;
        offsetSize = trailer[6];
        refSize = trailer[7];
        count = readBigEndian(trailer + 8, 8);
        root = readBigEndian(trailer + 16, 8);
        const quint64 tableOffset = readBigEndian(trailer + 24, 8);
        if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8)
            return QStringLiteral("the binary property list has a damaged trailer");
        if (count == 0 || count > size || root >= count)
            return QStringLiteral("the binary property list has a damaged object count or root");
        if (count > quint64(limits.maxNodes))
            return QStringLiteral("the property list has too many objects");
        const quint64 tableEnd = size - kTrailerSize;
        if (tableOffset < kHeaderSize || tableOffset > tableEnd ||
            count * offsetSize > tableEnd - tableOffset)
            return QStringLiteral("the offset table lies outside the binary property list");
        end = tableOffset;
        return {};
    }

    // A length held in the marker's low nibble, or, when that is 0xF, in the integer object after it.
    bool readLength(int info, quint64& pos, quint64& length) const {
        if (info != 0xF) {
            length = quint64(info);
            return true;
        }
        if (pos >= end || (bytes[pos] >> 4) != 0x1 || (bytes[pos] & 0xF) > 3)
            return false;
        const int width = 1 << (bytes[pos] & 0xF);
        ++pos;
        if (!fits(pos, quint64(width)))
            return false;
        // Anything longer than the file fails the bounds check later; capping keeps the arithmetic safe.
        length = std::min(readBigEndian(bytes + pos, width), size + 1);
        pos += quint64(width);
        return true;
    }

    // The size of a leaf's payload after its marker, or false when the marker is not one we allow.
    bool leafPayload(int type, int info, quint64& pos, quint64& payload) const {
        switch (type) {
        case 0x0: // null, false, true, fill
            payload = 0;
            return info == 0x0 || info == 0x8 || info == 0x9 || info == 0xF;
        case 0x1: // integer
            payload = quint64(1) << info;
            return info <= 4;
        case 0x2: // real
            payload = quint64(1) << info;
            return info == 2 || info == 3;
        case 0x3: // date
            payload = 8;
            return info == 3;
        case 0x4: // data
        case 0x5: // ASCII string
            return readLength(info, pos, payload);
        case 0x6: // UTF-16 string
            if (!readLength(info, pos, payload))
                return false;
            payload *= 2;
            return true;
        case 0x8: // UID
            payload = quint64(info) + 1;
            return true;
        default:
            return false;
        }
    }

    QString readObject(quint64 index) {
        firstRef.push_back(refs.size());
        const uchar* entry = bytes + end + index * quint64(offsetSize);
        quint64 pos = readBigEndian(entry, offsetSize);
        if (pos < kHeaderSize || pos >= end)
            return QStringLiteral("object %1 lies outside the object area").arg(index);
        const int type = bytes[pos] >> 4;
        const int info = bytes[pos] & 0xF;
        ++pos;
        quint64 payload = 0;
        if (type == 0xA || type == 0xD) {
            quint64 entries = 0;
            if (!readLength(info, pos, entries))
                return QStringLiteral("object %1 has a damaged length").arg(index);
            const quint64 refCount = type == 0xD ? 2 * entries : entries;
            payload = refCount * quint64(refSize);
            if (!fits(pos, payload))
                return QStringLiteral("object %1 runs past the object area").arg(index);
            if (refs.size() + refCount > quint64(limits.maxNodes))
                return QStringLiteral("the property list has too many references");
            for (quint64 r = 0; r < refCount; ++r) {
                const quint64 target = readBigEndian(bytes + pos + r * quint64(refSize), refSize);
                if (target >= count)
                    return QStringLiteral("object %1 refers to the missing object %2").arg(index).arg(target);
                refs.push_back(quint32(target));
            }
            return {};
        }
        if (!leafPayload(type, info, pos, payload))
            return QStringLiteral("object %1 has the unsupported marker 0x%2")
                .arg(index)
                .arg(type * 16 + info, 2, 16, QLatin1Char('0'));
        if (!fits(pos, payload))
            return QStringLiteral("object %1 runs past the object area").arg(index);
        // libplist asserts, and so aborts, when it reads back a string with a NUL inside.
        if ((type == 0x5 && hasZero(pos, payload, 1)) || (type == 0x6 && hasZero(pos, payload, 2)))
            return QStringLiteral("string object %1 contains a NUL character").arg(index);
        return {};
    }

    bool hasZero(quint64 pos, quint64 length, int width) const {
        for (quint64 i = 0; i + quint64(width) <= length; i += quint64(width))
            if (bytes[pos + i] == 0 && (width == 1 || bytes[pos + i + 1] == 0))
                return true;
        return false;
    }

    // Depth-first from the root with an explicit stack, so that the walk itself cannot overflow.
    QString walkFromRoot() {
        enum : quint8 { Unseen, Open, Done };
        std::vector<quint8> state(count, Unseen);
        std::vector<qint64> nodes(count, 0);
        std::vector<int> height(count, 0);
        struct Frame {
            quint32 object;
            quint64 next;
        };
        std::vector<Frame> stack{{quint32(root), firstRef[root]}};
        state[root] = Open;
        while (!stack.empty()) {
            const quint32 object = stack.back().object;
            if (stack.back().next < firstRef[object + 1]) {
                const quint32 child = refs[stack.back().next++];
                if (state[child] == Open)
                    return QStringLiteral("object %1 contains itself").arg(child);
                if (state[child] == Unseen) {
                    if (stack.size() >= size_t(limits.maxDepth))
                        return QStringLiteral("the property list is nested too deeply");
                    state[child] = Open;
                    stack.push_back({child, firstRef[child]});
                }
                continue;
            }
            qint64 total = 1;
            int tallest = 1;
            for (quint64 k = firstRef[object]; k < firstRef[object + 1]; ++k) {
                total = std::min(total + nodes[refs[k]], limits.maxNodes + 1);
                tallest = std::max(tallest, height[refs[k]] + 1);
            }
            if (total > limits.maxNodes)
                return QStringLiteral("the property list expands to too many objects");
            if (tallest > limits.maxDepth)
                return QStringLiteral("the property list is nested too deeply");
            nodes[object] = total;
            height[object] = tallest;
            state[object] = Done;
            stack.pop_back();
        }
        return {};
    }

    const uchar* bytes;
    quint64 size;
    PropertyListLimits limits;
    int offsetSize = 0;
    int refSize = 0;
    quint64 count = 0;
    quint64 root = 0;
    quint64 end = 0;               // where the object area ends and the offset table begins
    std::vector<quint64> firstRef; // per object, its first entry in refs; one extra at the end
    std::vector<quint32> refs;
};

} // namespace

QString checkBinaryPropertyList(const QByteArray& data, const PropertyListLimits& limits) {
    if (data.size() > limits.maxBytes)
        return QStringLiteral("the property list is too large");
    return BinaryScan(data, limits).run();
}

QString checkXmlPropertyList(const QByteArray& data, const PropertyListLimits& limits) {
    if (data.size() > limits.maxBytes)
        return QStringLiteral("the property list is too large");
    // libplist reads bytes, not characters: an encoding with NULs in it would be seen differently there.
    if (data.contains('\0'))
        return QStringLiteral("the XML property list contains NUL bytes");
    QXmlStreamReader xml(data);
    int depth = 0;
    qint64 elements = 0;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth > limits.maxDepth)
                return QStringLiteral("the property list is nested too deeply");
            if (++elements > limits.maxNodes)
                return QStringLiteral("the property list has too many elements");
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::DTD:
            // libplist skips a DOCTYPE up to its first '>', so markup inside an internal subset would
            // reach it as elements this check never saw.
            if (xml.text().contains(QLatin1Char('[')))
                return QStringLiteral("the XML property list declares an internal DTD subset");
            break;
        case QXmlStreamReader::EntityReference:
            return QStringLiteral("the XML property list uses an undeclared entity");
        default:
            break;
        }
    }
    if (xml.hasError())
        return QStringLiteral("the XML property list is not well-formed (line %1: %2)")
            .arg(xml.lineNumber())
            .arg(xml.errorString());
    return {};
}

PlistPtr parsePropertyList(const QByteArray& data, QString* error, const PropertyListLimits& limits) {
    const bool binary = data.startsWith("bplist");
    const QString problem =
        binary ? checkBinaryPropertyList(data, limits) : checkXmlPropertyList(data, limits);
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return nullptr;
    }
    plist_t node = nullptr;
    if (binary)
        plist_from_bin(data.constData(), uint32_t(data.size()), &node);
    else
        plist_from_xml(data.constData(), uint32_t(data.size()), &node);
    if (!node && error)
        *error = binary ? QStringLiteral("the binary property list could not be parsed")
                        : QStringLiteral("the XML property list could not be parsed");
    return PlistPtr(node);
}

} // namespace platform
