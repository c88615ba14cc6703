#include "platform/foundation/PropertyList.h"
#include "platform/ArchiveTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace platform;

namespace {

struct Trailer {
    int offsetSize = 4;
    int refSize = 4;
    qint64 count = -1; // the real count
    quint64 root = 0;
    qint64 tableOffset = -1; // where the table really is
};

// Writes a binary property list object by object, for structures libplist's writer would never make.
class RawPlist {
public:
    quint32 add(const QByteArray& object) {
        objects.push_back(object);
        return quint32(objects.size() - 1);
    }

    static QByteArray array(const std::vector<quint32>& refs) {
        QByteArray object;
        if (refs.size() < 15) {
            object += char(0xA0 | refs.size());
        } else {
            object += char(0xAF);
            object += char(0x12);
            appendBigEndian(object, refs.size(), 4);
        }
        for (quint32 ref : refs)
            appendBigEndian(object, ref, 4);
        return object;
    }
    static QByteArray yes() { return QByteArray(1, char(0x09)); }
    static QByteArray ascii(const QByteArray& text) { return char(0x50 | text.size()) + text; }

    QByteArray bytes(const Trailer& trailer = {}) const {
        QByteArray out("bplist00");
        std::vector<quint64> offsets;
        for (const QByteArray& object : objects) {
            offsets.push_back(quint64(out.size()));
            out += object;
        }
        const quint64 table = quint64(out.size());
        for (quint64 offset : offsets)
            appendBigEndian(out, offset, trailer.offsetSize);
        out += QByteArray(6, '\0');
        out += char(trailer.offsetSize);
        out += char(trailer.refSize);
        appendBigEndian(out, trailer.count < 0 ? objects.size() : quint64(trailer.count), 8);
        appendBigEndian(out, trailer.root, 8);
        appendBigEndian(out, trailer.tableOffset < 0 ? table : quint64(trailer.tableOffset), 8);
        return out;
    }

    // Arrays nested `depth` deep around a true.
    static RawPlist nested(int depth) {
        RawPlist plist;
        for (int i = 0; i < depth; ++i)
            plist.add(array({quint32(i + 1)}));
        plist.add(yes());
        return plist;
    }

    // `levels` arrays, each referring twice to the next: 2^(levels+1) - 1 nodes once expanded.
    static RawPlist doubling(int levels) {
        RawPlist plist;
        for (int i = 0; i < levels; ++i)
            plist.add(array({quint32(i + 1), quint32(i + 1)}));
        plist.add(yes());
        return plist;
    }

private:
    static void appendBigEndian(QByteArray& out, quint64 value, int width) {
        for (int i = width - 1; i >= 0; --i)
            out += char((value >> (8 * i)) & 0xFF);
    }

    std::vector<QByteArray> objects;
};

QByteArray nestedXml(int depth) {
    return "<?xml version=\"1.0\"?><plist version=\"1.0\">" + QByteArray("<array>").repeated(depth) +
           "<true/>" + QByteArray("</array>").repeated(depth) + "</plist>";
}

} // namespace

TEST(PropertyListTest, PlistsWrittenByLibplistPassAndParse) {
    PlistPtr tree(plist_new_dict());
    plist_t list = plist_new_array();
    for (int i = 0; i < 100; ++i)
        plist_array_append_item(list, plist_new_string(QByteArray::number(i % 7).constData()));
    plist_dict_set_item(tree.get(), "list", list);
    plist_dict_set_item(tree.get(), "unicode", plist_new_string("Grüße"));
    plist_dict_set_item(tree.get(), "uid", plist_new_uid(300));
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(tree.get(), &bytes, &length);
    const QByteArray binary(bytes, qsizetype(length));
    plist_to_bin_free(bytes);
    char* text = nullptr;
    plist_to_xml(tree.get(), &text, &length);
    const QByteArray xml(text, qsizetype(length));
    plist_to_xml_free(text);

    EXPECT_EQ(checkBinaryPropertyList(binary), QString());
    EXPECT_EQ(checkXmlPropertyList(xml), QString());
    for (const QByteArray& form : {binary, xml}) {
        QString error;
        PlistPtr parsed = parsePropertyList(form, &error);
        ASSERT_TRUE(parsed) << error.toStdString();
        EXPECT_EQ(plist_array_get_size(plist_dict_get_item(parsed.get(), "list")), 100u);
    }
}

TEST(PropertyListTest, ExponentialExpansionThroughSharedReferencesIsRefused) {
    const QByteArray bomb = RawPlist::doubling(40).bytes(); // a few hundred bytes, 2^41 nodes expanded
    EXPECT_TRUE(checkBinaryPropertyList(bomb).contains("too many"))
        << checkBinaryPropertyList(bomb).toStdString();
    QString error;
    EXPECT_FALSE(parsePropertyList(bomb, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(KeyedUnarchiver::unarchiveObject(bomb, &error));
    EXPECT_TRUE(error.contains("too many")) << error.toStdString();

    // The limit is exact: 2^4 - 1 nodes.
    const QByteArray small = RawPlist::doubling(3).bytes();
    EXPECT_EQ(checkBinaryPropertyList(small, {.maxNodes = 15}), QString());
    EXPECT_FALSE(checkBinaryPropertyList(small, {.maxNodes = 14}).isEmpty());
}

TEST(PropertyListTest, DeepNestingIsRefusedBeforeLibplistRecursesIntoIt) {
    QString error;
    EXPECT_FALSE(parsePropertyList(RawPlist::nested(100000).bytes(), &error));
    EXPECT_TRUE(error.contains("nested too deeply")) << error.toStdString();
    EXPECT_FALSE(parsePropertyList(nestedXml(200000), &error));
    EXPECT_TRUE(error.contains("nested too deeply")) << error.toStdString();

    // Nine arrays around a leaf are ten levels; the XML form adds the <plist> element.
    EXPECT_EQ(checkBinaryPropertyList(RawPlist::nested(9).bytes(), {.maxDepth = 10}), QString());
    EXPECT_FALSE(checkBinaryPropertyList(RawPlist::nested(10).bytes(), {.maxDepth = 10}).isEmpty());
    EXPECT_EQ(checkXmlPropertyList(nestedXml(8), {.maxDepth = 10}), QString());
    EXPECT_FALSE(checkXmlPropertyList(nestedXml(9), {.maxDepth = 10}).isEmpty());
    // Deep but within the defaults, libplist parses it.
    EXPECT_TRUE(parsePropertyList(RawPlist::nested(100).bytes(), &error)) << error.toStdString();
    EXPECT_TRUE(parsePropertyList(nestedXml(100), &error)) << error.toStdString();
}

TEST(PropertyListTest, DamagedBinaryStructureIsRefused) {
    RawPlist cycle;
    cycle.add(RawPlist::array({1}));
    cycle.add(RawPlist::array({0}));
    RawPlist missing;
    missing.add(RawPlist::array({7}));
    RawPlist unknownMarker;
    unknownMarker.add(RawPlist::array({1}));
    unknownMarker.add(QByteArray(1, char(0x70)));
    RawPlist overlong;
    overlong.add(QByteArray(1, char(0x4F)) + char(0x10) + char(100) + "short");
    RawPlist nulString;
    nulString.add(RawPlist::ascii(QByteArray("a\0b", 3)));
    RawPlist nulUtf16;
    nulUtf16.add(QByteArray("\x62\x00\x41\x00\x00", 5));
    RawPlist fine;
    fine.add(RawPlist::array({1}));
    fine.add(RawPlist::ascii("ok"));
    ASSERT_EQ(checkBinaryPropertyList(fine.bytes()), QString());

    const std::vector<std::pair<QByteArray, QString>> cases{
        {cycle.bytes(), "contains itself"},
        {missing.bytes(), "missing object 7"},
        {unknownMarker.bytes(), "unsupported marker 0x70"},
        {overlong.bytes(), "runs past"},
        {nulString.bytes(), "NUL"},
        {nulUtf16.bytes(), "NUL"},
        {fine.bytes({.offsetSize = 0}), "damaged trailer"},
        {fine.bytes({.refSize = 9}), "damaged trailer"},
        {fine.bytes({.count = 0}), "object count"},
        {fine.bytes({.count = 1000}), "object count"},
        {fine.bytes({.root = 2}), "root"},
        {fine.bytes({.tableOffset = 4}), "offset table"},
        {fine.bytes({.tableOffset = 1 << 20}), "offset table"},
        {fine.bytes({.tableOffset = 9}), "outside the object area"},
        {QByteArray("bplist00"), "too short"},
        {QByteArray("bplist01") + QByteArray(40, '\0'), "not a binary property list"},
    };
    for (const auto& [bytes, expected] : cases) {
        SCOPED_TRACE(expected.toStdString());
        const QString problem = checkBinaryPropertyList(bytes);
        EXPECT_TRUE(problem.contains(expected)) << problem.toStdString();
        QString error;
        EXPECT_FALSE(parsePropertyList(bytes, &error));
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(PropertyListTest, XmlThatLibplistWouldMisreadIsRefused) {
    const QByteArray head = "<?xml version=\"1.0\"?>";
    const QByteArray withNul =
        head + "<plist version=\"1.0\"><string>a" + QByteArray(1, '\0') + "b</string></plist>";
    const std::vector<std::pair<QByteArray, QString>> cases{
        {head + "<!DOCTYPE plist [<!ENTITY a \"<array>\">]><plist version=\"1.0\"><true/></plist>",
         "internal DTD subset"},
        {withNul, "NUL"},
        {head + "<plist version=\"1.0\"><string>&#0;</string></plist>", "not well-formed"},
        {head + "<plist version=\"1.0\"><string>&custom;</string></plist>", ""},
        {head + "<plist version=\"1.0\"><array><true/></plist>", "not well-formed"},
        {head + "<plist version=\"1.0\"><true/></plist><plist/>", "not well-formed"},
        {"", ""},
    };
    for (const auto& [xml, expected] : cases) {
        SCOPED_TRACE(xml.toStdString());
        const QString problem = checkXmlPropertyList(xml);
        EXPECT_FALSE(problem.isEmpty());
        EXPECT_TRUE(problem.contains(expected)) << problem.toStdString();
        QString error;
        EXPECT_FALSE(parsePropertyList(xml, &error));
        EXPECT_FALSE(error.isEmpty());
    }
    EXPECT_FALSE(checkXmlPropertyList(QByteArray(300, ' '), {.maxBytes = 200}).isEmpty());
    EXPECT_FALSE(checkBinaryPropertyList(RawPlist::nested(100).bytes(), {.maxBytes = 200}).isEmpty());
}
