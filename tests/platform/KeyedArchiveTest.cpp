#include "platform/ArchiveTestSupport.h"
#include "platform/foundation/KeyedArchiveLimits.h"
#include "support/HandArchive.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QPoint>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

using namespace platform;
using namespace archivetest;

namespace {

class KeyedArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerTestClasses();
        resetProbeDecoder();
    }
    void TearDown() override { resetProbeDecoder(); }
};

std::shared_ptr<TestNode> roundTrip(const ArchivableRef& root) {
    QString error;
    auto decoded = KeyedUnarchiver::unarchiveObject(KeyedArchiver::archivedData(root), &error);
    EXPECT_TRUE(decoded) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    return std::dynamic_pointer_cast<TestNode>(decoded);
}

QVariant payloadRoundTrip(const QVariant& value) {
    auto node = std::make_shared<TestNode>();
    node->payload = value;
    auto decoded = roundTrip(node);
    return decoded ? decoded->payload : QVariant(QStringLiteral("<not decoded>"));
}

// Same type and value all the way down; QVariant's own == would let qint64 42 equal double 42.
void expectSameVariant(const QVariant& expected, const QVariant& actual, const QString& where = "value") {
    SCOPED_TRACE(where.toStdString());
    ASSERT_EQ(QString(expected.metaType().name()), QString(actual.metaType().name()));
    if (expected.typeId() == QMetaType::QVariantList) {
        const QVariantList a = expected.toList(), b = actual.toList();
        ASSERT_EQ(a.size(), b.size());
        for (qsizetype i = 0; i < a.size(); ++i)
            expectSameVariant(a[i], b[i], QString("%1[%2]").arg(where).arg(i));
    } else if (expected.typeId() == QMetaType::QVariantMap) {
        const QVariantMap a = expected.toMap(), b = actual.toMap();
        ASSERT_EQ(a.keys(), b.keys());
        for (auto it = a.begin(); it != a.end(); ++it)
            expectSameVariant(it.value(), b.value(it.key()), where + "." + it.key());
    } else if (expected.typeId() == QMetaType::Double && std::isnan(expected.toDouble())) {
        EXPECT_TRUE(std::isnan(actual.toDouble()));
    } else {
        EXPECT_EQ(expected, actual);
    }
}

plist_t item(plist_t dict, const char* key) {
    return dict && plist_get_node_type(dict) == PLIST_DICT ? plist_dict_get_item(dict, key) : nullptr;
}

QString stringOf(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_STRING)
        return {};
    char* text = nullptr;
    plist_get_string_val(node, &text);
    QString result = QString::fromUtf8(text);
    std::free(text);
    return result;
}

quint64 uidOf(plist_t node) {
    uint64_t value = 0;
    if (node && plist_get_node_type(node) == PLIST_UID)
        plist_get_uid_val(node, &value);
    return value;
}

int countObjects(plist_t objects, const std::function<bool(plist_t)>& match) {
    int count = 0;
    for (uint32_t i = 0; i < plist_array_get_size(objects); ++i)
        count += match(plist_array_get_item(objects, i)) ? 1 : 0;
    return count;
}

std::shared_ptr<TestNode> node(const QString& name) {
    auto made = std::make_shared<TestNode>();
    made->name = name;
    return made;
}

} // namespace

TEST_F(KeyedArchiveTest, WritesTheKeyedArchiveLayoutAsABinaryPropertyList) {
    auto leaf = std::make_shared<TestLeaf>();
    leaf->name = "leaf";
    leaf->count = 3;
    leaf->flag = true;
    const QByteArray bytes = KeyedArchiver::archivedData(leaf);
    ASSERT_TRUE(bytes.startsWith("bplist00"));

    PlistPtr tree = parse(bytes);
    ASSERT_TRUE(tree);
    EXPECT_EQ(stringOf(item(tree.get(), "$archiver")), "NSKeyedArchiver");
    uint64_t version = 0;
    plist_get_uint_val(item(tree.get(), "$version"), &version);
    EXPECT_EQ(version, 100000u);
    EXPECT_EQ(uidOf(item(item(tree.get(), "$top"), "root")), 1u);
    plist_t objects = item(tree.get(), "$objects");
    ASSERT_EQ(plist_get_node_type(objects), PLIST_ARRAY);
    EXPECT_EQ(stringOf(plist_array_get_item(objects, 0)), "$null");

    plist_t record = plist_array_get_item(objects, 1);
    plist_t classRecord = plist_array_get_item(objects, uidOf(item(record, "$class")));
    EXPECT_EQ(stringOf(item(classRecord, "$classname")), "TestLeaf");
    plist_t classes = item(classRecord, "$classes");
    ASSERT_EQ(plist_array_get_size(classes), 3u);
    EXPECT_EQ(stringOf(plist_array_get_item(classes, 0)), "TestLeaf");
    EXPECT_EQ(stringOf(plist_array_get_item(classes, 1)), "TestNode");
    EXPECT_EQ(stringOf(plist_array_get_item(classes, 2)), "NSObject");

    // Scalars inline, objects by reference.
    EXPECT_EQ(plist_get_node_type(item(record, "count")), PLIST_UINT);
    EXPECT_EQ(plist_get_node_type(item(record, "big")), PLIST_UINT);
    EXPECT_EQ(plist_get_node_type(item(record, "flag")), PLIST_BOOLEAN);
    EXPECT_EQ(plist_get_node_type(item(record, "ratio")), PLIST_REAL);
    EXPECT_EQ(plist_get_node_type(item(record, "precise")), PLIST_REAL);
    EXPECT_EQ(stringOf(plist_array_get_item(objects, uidOf(item(record, "name")))), "leaf");
    EXPECT_EQ(plist_get_node_type(item(record, "link")), PLIST_UID);
    EXPECT_EQ(uidOf(item(record, "link")), 0u);

    plist_t children = plist_array_get_item(objects, uidOf(item(record, "children")));
    plist_t childrenClass = plist_array_get_item(objects, uidOf(item(children, "$class")));
    EXPECT_EQ(stringOf(item(childrenClass, "$classname")), "NSMutableArray");
    EXPECT_EQ(plist_get_node_type(item(children, "NS.objects")), PLIST_ARRAY);
}

TEST_F(KeyedArchiveTest, StoresClassRecordsAndEqualStringsOnce) {
    auto root = node("same");
    for (int i = 0; i < 3; ++i)
        root->children.push_back(node("same"));
    PlistPtr tree = parse(KeyedArchiver::archivedData(root));
    ASSERT_TRUE(tree);
    plist_t objects = item(tree.get(), "$objects");
    EXPECT_EQ(countObjects(objects, [](plist_t n) { return stringOf(item(n, "$classname")) == "TestNode"; }),
              1);
    EXPECT_EQ(countObjects(objects, [](plist_t n) { return stringOf(n) == "same"; }), 1);
    EXPECT_EQ(countObjects(objects, [](plist_t n) { return item(n, "count") != nullptr; }), 4);
}

TEST_F(KeyedArchiveTest, ScalarsRoundTripAtTheirLimits) {
    auto root = node("limits");
    root->count = std::numeric_limits<qint32>::min();
    root->big = std::numeric_limits<qint64>::min();
    root->precise = 1e-300;
    root->flag = true;
    auto other = node("other");
    other->count = std::numeric_limits<qint32>::max();
    other->big = std::numeric_limits<qint64>::max();
    other->precise = -123456789.123456789;
    root->children.push_back(other);

    auto decoded = roundTrip(root);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->name, "limits");
    EXPECT_EQ(decoded->count, std::numeric_limits<qint32>::min());
    EXPECT_EQ(decoded->big, std::numeric_limits<qint64>::min());
    EXPECT_EQ(decoded->precise, 1e-300);
    EXPECT_TRUE(decoded->flag);
    ASSERT_EQ(decoded->children.size(), 1u);
    EXPECT_EQ(decoded->children[0]->count, std::numeric_limits<qint32>::max());
    EXPECT_EQ(decoded->children[0]->big, std::numeric_limits<qint64>::max());
    EXPECT_EQ(decoded->children[0]->precise, -123456789.123456789);
    EXPECT_FALSE(decoded->children[0]->flag);
}

TEST_F(KeyedArchiveTest, FloatsAreStoredAsThirtyTwoBitReals) {
    auto probe = makeProbe([](KeyedArchiver& coder) {
        coder.encodeFloat(1.2f, "float");
        coder.encodeDouble(1.2, "double");
    });
    const QByteArray bytes = KeyedArchiver::archivedData(probe);
    // A four-byte real marker followed by 1.2f in big-endian IEEE single precision.
    EXPECT_TRUE(bytes.contains(QByteArray::fromHex("223f99999a")));
    setProbeDecoder([](KeyedUnarchiver& coder, Probe& p) {
        p.seen["float"] = coder.decodeDouble("float");
        p.seen["double"] = coder.decodeDouble("double");
        p.seen["asFloat"] = coder.decodeFloat("float");
    });
    auto decoded = unarchiveProbe(bytes);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->seen["float"].toDouble(), 1.2000000476837158);
    EXPECT_EQ(decoded->seen["double"].toDouble(), 1.2);
    EXPECT_EQ(decoded->seen["asFloat"].toFloat(), 1.2f);
}

TEST_F(KeyedArchiveTest, EveryValueTypeRoundTrips) {
    const QDateTime utc(QDate(2009, 2, 13), QTime(23, 31, 30, 123), Qt::UTC);
    const QDateTime beforeReference(QDate(1969, 7, 20), QTime(20, 17, 40), Qt::UTC);
    const QDateTime local(QDate(2024, 6, 30), QTime(12, 0, 0, 5), Qt::LocalTime);
    const QColor translucent(10, 20, 30, 40);
    const QColor fine = QColor::fromRgbF(0.123f, 0.456f, 0.789f, 0.5f);
    const QColor hsv = QColor::fromHsv(200, 120, 90, 77);
    const QString unicode = QString::fromUtf8("Grüße, 日本語, \xF0\x9F\x8E\x9E e\xCC\x81");
    const qint64 maxInt = std::numeric_limits<qint64>::max();
    const qint64 minInt = std::numeric_limits<qint64>::min();

    const QVariantMap nested{{"list", QVariantList{QVariantMap{{"nil", QVariant()}, {"n", qint64(1)}}, "x"}},
                             {"empty map", QVariantMap{}},
                             {"empty list", QVariantList{}},
                             {"$dollar", "key"}};
    const std::vector<std::pair<QVariant, QVariant>> cases{
        {unicode, unicode},
        {QString(""), QString("")},
        {QString(), QVariant()},
        {QVariant(), QVariant()},
        {QVariant::fromValue(nullptr), QVariant()},
        {true, true},
        {false, false},
        {42, qint64(42)},
        {-1, qint64(-1)},
        {4000000000u, qint64(4000000000)},
        {QVariant(maxInt), QVariant(maxInt)},
        {QVariant(minInt), QVariant(minInt)},
        {QVariant(quint64(maxInt)), QVariant(maxInt)},
        {0.1f, double(0.1f)},
        {0.1, 0.1},
        {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()},
        {std::nan(""), std::nan("")},
        {QByteArray("\0\x01\xff", 3), QByteArray("\0\x01\xff", 3)},
        {QByteArray(), QByteArray("")},
        {utc, utc},
        {beforeReference, beforeReference},
        {local, local.toUTC()},
        {QDateTime(), QVariant()},
        {translucent, translucent},
        {fine, fine},
        {hsv, hsv.toRgb()},
        {QColor(), QVariant()},
        {QVariantList{}, QVariantList{}},
        {QVariantMap{}, QVariantMap{}},
        {QStringList{"a", "b"}, QVariantList{"a", "b"}},
        {QVariantHash{{"b", 2}, {"a", 1}}, QVariantMap{{"a", qint64(1)}, {"b", qint64(2)}}},
        {nested, nested},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto& [value, expected] = cases[i];
        expectSameVariant(expected, payloadRoundTrip(value),
                          QString("case %1 (%2)").arg(i).arg(value.typeName()));
    }
}

TEST_F(KeyedArchiveTest, ColoursAreWrittenAsCalibratedRgbText) {
    auto probe = makeProbe(
        [](KeyedArchiver& coder) { coder.encodeObject(QColor::fromRgbF(1, 0.5f, 0.25f, 0.75f), "c"); });
    PlistPtr tree = parse(KeyedArchiver::archivedData(probe));
    ASSERT_TRUE(tree);
    plist_t objects = item(tree.get(), "$objects");
    plist_t color = plist_array_get_item(objects, uidOf(item(plist_array_get_item(objects, 1), "c")));
    uint64_t space = 0;
    plist_get_uint_val(item(color, "NSColorSpace"), &space);
    EXPECT_EQ(space, 1u);
    char* bytes = nullptr;
    uint64_t length = 0;
    plist_get_data_val(item(color, "NSRGB"), &bytes, &length);
    EXPECT_EQ(QByteArray(bytes, qsizetype(length)), QByteArray("1 0.5 0.25 0.75", 16)); // with its NUL
    std::free(bytes);
}

TEST_F(KeyedArchiveTest, SharedObjectsAreStoredOnceAndDecodedOnce) {
    auto shared = node("shared");
    auto root = node("root");
    root->link = shared;
    root->children = {shared, node("other")};
    root->children[1]->link = shared;
    root->payload = QVariantList{QVariant::fromValue<ArchivableRef>(shared)};

    const QByteArray bytes = KeyedArchiver::archivedData(root);
    PlistPtr tree = parse(bytes);
    ASSERT_TRUE(tree);
    EXPECT_EQ(
        countObjects(item(tree.get(), "$objects"), [](plist_t n) { return item(n, "count") != nullptr; }), 3);

    auto decoded = roundTrip(root);
    ASSERT_TRUE(decoded);
    ASSERT_TRUE(decoded->link);
    ASSERT_EQ(decoded->children.size(), 2u);
    EXPECT_EQ(decoded->link->name, "shared");
    EXPECT_EQ(decoded->link.get(), decoded->children[0].get());
    EXPECT_EQ(decoded->link.get(), decoded->children[1]->link.get());
    const auto inPayload = KeyedUnarchiver::castObject<TestNode>(decoded->payload.toList().value(0));
    EXPECT_EQ(inPayload.get(), decoded->link.get());
    EXPECT_NE(decoded->children[1].get(), decoded->link.get());
}

TEST_F(KeyedArchiveTest, SubclassesKeepTheirClassAndTheBaseKeys) {
    auto leaf = std::make_shared<TestLeaf>();
    leaf->name = "base key";
    leaf->extra = "own key";
    leaf->ratio = 0.5f;
    auto root = node("root");
    root->children = {leaf};
    auto decoded = roundTrip(root);
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->children.size(), 1u);
    auto decodedLeaf = std::dynamic_pointer_cast<TestLeaf>(decoded->children[0]);
    ASSERT_TRUE(decodedLeaf);
    EXPECT_EQ(decodedLeaf->name, "base key");
    EXPECT_EQ(decodedLeaf->extra, "own key");
    EXPECT_EQ(decodedLeaf->ratio, 0.5f);
}

TEST_F(KeyedArchiveTest, CyclesAreRefusedWithAClearError) {
    auto self = node("self");
    self->link = self;
    auto a = node("a");
    auto b = node("b");
    a->children = {b};
    b->link = a;
    auto viaPayload = node("payload");
    viaPayload->payload = QVariantMap{{"me", QVariant::fromValue<ArchivableRef>(viaPayload)}};

    for (const auto& root : {self, a, viaPayload}) {
        SCOPED_TRACE(root->name.toStdString());
        try {
            KeyedArchiver::archivedData(root);
            ADD_FAILURE() << "a cyclic graph was archived";
        } catch (const ArchiveError& e) {
            EXPECT_NE(std::string(e.what()).find("cycle"), std::string::npos) << e.what();
        }
    }
    // Break the cycles, or the shared_ptrs would keep each other alive.
    self->link.reset();
    b->link.reset();
    viaPayload->payload.clear();
}

TEST_F(KeyedArchiveTest, NestingIsLimitedToWhatTheReaderAccepts) {
    auto chain = [](int length) {
        auto first = node("0");
        auto last = first;
        for (int i = 1; i < length; ++i) {
            last->link = node(QString::number(i));
            last = last->link;
        }
        return first;
    };
    auto decoded = roundTrip(chain(400));
    int length = 0;
    for (auto n = decoded; n; n = n->link)
        ++length;
    EXPECT_EQ(length, 400);
    EXPECT_THROW(KeyedArchiver::archivedData(chain(600)), ArchiveError);
}

TEST_F(KeyedArchiveTest, ValuesThatCannotBeArchivedThrow) {
    EXPECT_THROW(KeyedArchiver::archivedData(nullptr), ArchiveError);
    auto withPayload = [](const QVariant& value) {
        auto n = node("n");
        n->payload = value;
        return n;
    };
    try {
        KeyedArchiver::archivedData(withPayload(QPoint(1, 2)));
        ADD_FAILURE() << "a QPoint was archived";
    } catch (const ArchiveError& e) {
        EXPECT_NE(std::string(e.what()).find("QPoint"), std::string::npos) << e.what();
    }
    EXPECT_THROW(KeyedArchiver::archivedData(withPayload(std::numeric_limits<quint64>::max())), ArchiveError);
    EXPECT_THROW(KeyedArchiver::archivedData(withPayload(QString::fromUtf8("a\0b", 3))), ArchiveError);
    EXPECT_THROW(KeyedArchiver::archivedData(withPayload(QVariantList{QVariantList{QPoint()}})),
                 ArchiveError);
}

TEST_F(KeyedArchiveTest, KeysBeginningWithDollarCannotReplaceTheClass) {
    auto probe = makeProbe([](KeyedArchiver& coder) {
        coder.encodeInt32(7, "$class");
        coder.encodeObject(QString("v"), "$classname");
    });
    setProbeDecoder([](KeyedUnarchiver& coder, Probe& p) {
        p.seen["class"] = coder.decodeInt32("$class");
        p.seen["classname"] = coder.decodeString("$classname");
    });
    QString error;
    auto decoded = unarchiveProbe(KeyedArchiver::archivedData(probe), &error);
    ASSERT_TRUE(decoded) << error.toStdString();
    EXPECT_EQ(decoded->seen["class"].toInt(), 7);
    EXPECT_EQ(decoded->seen["classname"].toString(), "v");
}

TEST_F(KeyedArchiveTest, OurArchivesReadBackFromTheirXmlForm) {
    auto root = node("xml");
    root->ratio = 1.2f;
    root->payload =
        QVariantMap{{"colour", QColor(1, 2, 3, 4)}, {"when", QDateTime::fromSecsSinceEpoch(0, Qt::UTC)}};
    root->children = {node("child")};
    const QByteArray xml = xmlFromBinary(KeyedArchiver::archivedData(root));
    ASSERT_TRUE(xml.startsWith("<?xml"));
    QString error;
    auto decoded = std::dynamic_pointer_cast<TestNode>(KeyedUnarchiver::unarchiveObject(xml, &error));
    ASSERT_TRUE(decoded) << error.toStdString();
    EXPECT_EQ(decoded->ratio, 1.2f);
    EXPECT_EQ(decoded->payload.toMap()["colour"].value<QColor>(), QColor(1, 2, 3, 4));
    EXPECT_EQ(decoded->payload.toMap()["when"].toDateTime(), QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    ASSERT_EQ(decoded->children.size(), 1u);
    EXPECT_EQ(decoded->children[0]->name, "child");
}

TEST_F(KeyedArchiveTest, FilesAreWrittenWholeAndReadBack) {
    TempDir dir;
    const QString path = dir.file("Project.dat");
    auto root = node("on disk");
    root->children = {node("child")};
    QString error;
    ASSERT_TRUE(KeyedArchiver::archiveRootObject(root, path, &error)) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Project.dat"});

    auto decoded =
        std::dynamic_pointer_cast<TestNode>(KeyedUnarchiver::unarchiveObjectWithFile(path, &error));
    ASSERT_TRUE(decoded) << error.toStdString();
    EXPECT_EQ(decoded->name, "on disk");
    ASSERT_EQ(decoded->children.size(), 1u);

    // A graph that cannot be archived leaves the previous file as it was.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    auto cyclic = node("cyclic");
    cyclic->link = cyclic;
    EXPECT_FALSE(KeyedArchiver::archiveRootObject(cyclic, path, &error));
    EXPECT_TRUE(error.contains("cycle")) << error.toStdString();
    cyclic->link.reset();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    file.close();

    EXPECT_FALSE(KeyedArchiver::archiveRootObject(root, dir.file("missing/folder/Project.dat"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(KeyedArchiver::archiveRootObject(nullptr, path, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(KeyedArchiveTest, UnreadableFilesGiveAnError) {
    TempDir dir;
    QString error;
    EXPECT_FALSE(KeyedUnarchiver::unarchiveObjectWithFile(dir.file("absent.dat"), &error));
    EXPECT_TRUE(error.contains("absent.dat")) << error.toStdString();

    QFile huge(dir.file("huge.dat"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize((qint64(256) << 20) + 1)); // sparse: costs no disc space
    huge.close();
    error.clear();
    EXPECT_FALSE(KeyedUnarchiver::unarchiveObjectWithFile(huge.fileName(), &error));
    EXPECT_TRUE(error.contains("larger than")) << error.toStdString();

    QFile empty(dir.file("empty.dat"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    error.clear();
    EXPECT_FALSE(KeyedUnarchiver::unarchiveObjectWithFile(empty.fileName(), &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(KeyedArchiveTest, DecodingRunsConcurrentlyWithRegistration) {
    auto root = node("root");
    for (int i = 0; i < 20; ++i)
        root->children.push_back(node(QString::number(i)));
    const QByteArray bytes = KeyedArchiver::archivedData(root);

    std::atomic<int> failures{0};
    std::atomic<bool> stop{false};
    std::thread registrar([&] {
        for (int i = 0; !stop; ++i)
            KeyedUnarchiver::registerClass(QString("Extra%1").arg(i % 50), TestNode::make);
    });
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&] {
            for (int i = 0; i < 100; ++i) {
                QString error;
                auto decoded =
                    std::dynamic_pointer_cast<TestNode>(KeyedUnarchiver::unarchiveObject(bytes, &error));
                if (!decoded || decoded->children.size() != 20 || decoded->children[19]->name != "19")
                    ++failures;
                KeyedUnarchiver::registerClass("TestNode", TestNode::make);
            }
        });
    }
    for (auto& reader : readers)
        reader.join();
    stop = true;
    registrar.join();
    EXPECT_EQ(failures, 0);
}

TEST_F(KeyedArchiveTest, WhatIsReadCanBeWrittenAgain) {
    // Hand-made shapes that a reader meets once per part but a writer writes at every use of a part.
    using test_support::HandArchive;
    auto chain = [](HandArchive& archive, int levels, int end, bool twice) {
        for (int i = 0; i < levels; ++i)
            end = archive.array(twice ? QList<int>{end, end} : QList<int>{end});
        return end;
    };
    struct Case {
        const char* name;
        std::function<QByteArray()> make;
        const char* refusal; // the reason the reader must give, or null when it may accept
    };
    const std::vector<Case> cases{
        {"a part shared twice at every one of 64 levels",
         [&] {
             HandArchive a;
             const int value = chain(a, 64, a.string("leaf"), true);
             return a.xml(a.record("Probe", {{"value", HandArchive::ref(value)}}));
         },
         "expands to more than"},
        {"a deep part met again deep down",
         [&] {
             HandArchive a;
             const int deep = chain(a, 400, a.string("leaf"), false);
             const int value = a.array({deep, chain(a, 200, deep, false)});
             return a.xml(a.record("Probe", {{"value", HandArchive::ref(value)}}));
         },
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        const auto read = unarchiveProbe(c.make(), &error);
        if (c.refusal) {
            ASSERT_FALSE(read) << "accepted, it could never be written again";
            EXPECT_TRUE(error.contains(c.refusal)) << error.toStdString();
            continue;
        }
        if (!read)
            continue;
        const auto again = makeProbe(
            [value = read->seen["value"]](KeyedArchiver& coder) { coder.encodeObject(value, "value"); });
        EXPECT_NO_THROW(KeyedArchiver::archivedData(again));
    }
}

TEST_F(KeyedArchiveTest, NothingIsWrittenThatTheReaderWouldRefuse) {
    auto many = node("many");
    for (int i = 0; i <= int(keyed::kLimits.maxObjects); ++i)
        many->children.push_back(node(QString()));
    try {
        KeyedArchiver::archivedData(many);
        ADD_FAILURE() << "more objects were written than the reader takes";
    } catch (const ArchiveError& e) {
        EXPECT_NE(std::string(e.what()).find("objects"), std::string::npos) << e.what();
    }
    many->children.resize(std::size_t(keyed::kLimits.maxObjects) - 1);
    EXPECT_TRUE(roundTrip(many));
}
