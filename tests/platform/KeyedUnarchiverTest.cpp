#include "platform/ArchiveTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

using namespace platform;
using namespace archivetest;

namespace {

class KeyedUnarchiverTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerTestClasses();
        resetProbeDecoder();
    }
    void TearDown() override { resetProbeDecoder(); }
};

// A record of class UID 2 (the Probe class record in the archives below) with the given keys.
QString probeRecord(const QString& keys) {
    return QString("<dict><key>$class</key>%1%2</dict>").arg(uid(2), keys);
}

QString key(const QString& name, const QString& value) {
    return QString("<key>%1</key>%2").arg(name, value);
}

QString refs(std::initializer_list<int> uids) {
    QString list;
    for (int n : uids)
        list += uid(n);
    return "<array>" + list + "</array>";
}

// A graph that exercises every record type, for the corruption tests.
QByteArray sampleArchive() {
    auto root = std::make_shared<TestNode>();
    root->name = "root";
    root->count = 12;
    root->ratio = 0.25f;
    root->payload = QVariantMap{{"colour", QColor(200, 100, 50, 25)},
                                {"when", QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5), Qt::UTC)},
                                {"bytes", QByteArray("abc")},
                                {"list", QVariantList{1, 2.5, true, QVariant()}}};
    auto leaf = std::make_shared<TestLeaf>();
    leaf->name = "leaf";
    leaf->extra = "extra";
    root->children = {leaf, std::make_shared<TestNode>()};
    root->link = leaf;
    return KeyedArchiver::archivedData(root);
}

} // namespace

TEST_F(KeyedUnarchiverTest, ReadsTheLegacyFoundationFormsFromXmlAndBinary) {
    const QString objects =
        probeRecord(key("text", uid(3)) + key("white", uid(5)) + key("components", uid(7)) +
                    key("rgb3", uid(8)) + key("dict", uid(9)) + key("list", uid(13)) + key("date", uid(15)) +
                    key("data", uid(17)) + key("catalog", uid(19)) + key("cmyk", uid(21)) +
                    key("plainDate", uid(22)) + key("nsstring", uid(23)) +
                    key("fltPhotoDuration", "<real>3.5</real>") +
                    key("nPhotoDuration", "<integer>240</integer>") + key("bPlayLoop", "<true/>")) +
        classRecord("Probe") + // 2
        QString("<dict><key>$class</key>%1<key>NS.string</key><string>Grüße</string></dict>")
            .arg(uid(4)) +                             // 3
        classRecord("NSMutableString", {"NSString"}) + // 4
        QString("<dict><key>$class</key>%1<key>NSColorSpace</key><integer>3</integer>"
                "<key>NSWhite</key>%2</dict>")
            .arg(uid(6), data(QByteArray("0.5 0.25", 9))) + // 5
        classRecord("NSColor") +                            // 6
        QString("<dict><key>$class</key>%1<key>NSColorSpace</key><integer>10</integer>"
                "<key>NSComponents</key>%2</dict>")
            .arg(uid(6), data("0.2 0.4 0.6 1")) + // 7
        QString(
            "<dict><key>$class</key>%1<key>NSColorSpace</key><integer>2</integer><key>NSRGB</key>%2</dict>")
            .arg(uid(6), data(QByteArray("1 0 0", 6))) + // 8
        QString("<dict><key>$class</key>%1<key>NS.keys</key>%2<key>NS.objects</key>%3</dict>")
            .arg(uid(10), refs({11}), refs({12})) +  // 9
        classRecord("NSDictionary") +                // 10
        "<string>key</string><integer>7</integer>" + // 11, 12
        QString("<dict><key>$class</key>%1<key>NS.objects</key>%2</dict>").arg(uid(14), refs({11, 0})) + // 13
        classRecord("NSArray") +                                                                         // 14
        QString("<dict><key>$class</key>%1<key>NS.time</key><real>0.5</real></dict>").arg(uid(16)) +     // 15
        classRecord("NSDate") +                                                                          // 16
        QString("<dict><key>$class</key>%1<key>NS.data</key>%2</dict>")
            .arg(uid(18), data(QByteArray("\0\1", 2))) +
        classRecord("NSMutableData", {"NSData"}) + // 18
        QString(
            "<dict><key>$class</key>%1<key>NSColorSpace</key><integer>6</integer>"
            "<key>NSCatalogName</key><string>System</string><key>NSColorName</key><string>textColor</string>"
            "<key>NSColor</key>%2</dict>")
            .arg(uid(6), uid(20)) + // 19
        QString(
            "<dict><key>$class</key>%1<key>NSColorSpace</key><integer>3</integer><key>NSWhite</key>%2</dict>")
            .arg(uid(6), data(QByteArray("0", 2))) + // 20
        QString(
            "<dict><key>$class</key>%1<key>NSColorSpace</key><integer>5</integer><key>NSCMYK</key>%2</dict>")
            .arg(uid(6), data("1 0 0 0")) +   // 21
        "<date>2001-01-02T00:00:00Z</date>" + // 22
        QString("<dict><key>$class</key>%1<key>NS.string</key><string>plain</string></dict>").arg(uid(24)) +
        classRecord("NSString"); // 24

    setProbeDecoder([](KeyedUnarchiver& coder, Probe& probe) {
        for (const char* name : {"text", "white", "components", "rgb3", "dict", "list", "date", "data",
                                 "catalog", "cmyk", "plainDate", "nsstring"})
            probe.seen[name] = coder.decodeObject(name);
        probe.seen["photo"] = coder.decodeFloat("fltPhotoDuration");
        probe.seen["legacy"] = coder.decodeInt32("nPhotoDuration");
        probe.seen["loop"] = coder.decodeBool("bPlayLoop");
        probe.seen["hasPhoto"] = coder.containsValueForKey("fltPhotoDuration");
        probe.seen["hasTransition"] = coder.containsValueForKey("fltTransitionDuration");
        probe.seen["textAsString"] = coder.decodeString("text");
    });
    const QByteArray xml = xmlArchive(objects);
    for (const QByteArray& archive : {xml, binaryFromXml(xml)}) {
        SCOPED_TRACE(archive.startsWith("bplist") ? "binary" : "XML");
        QString error;
        auto probe = unarchiveProbe(archive, &error);
        ASSERT_TRUE(probe) << error.toStdString();
        const QVariantMap& seen = probe->seen;
        EXPECT_EQ(seen["text"].toString(), QString::fromUtf8("Grüße"));
        EXPECT_EQ(seen["textAsString"].toString(), QString::fromUtf8("Grüße"));
        EXPECT_EQ(seen["white"].value<QColor>(), QColor::fromRgbF(0.5f, 0.5f, 0.5f, 0.25f));
        EXPECT_EQ(seen["components"].value<QColor>(), QColor::fromRgbF(0.2f, 0.4f, 0.6f, 1.0f));
        EXPECT_EQ(seen["rgb3"].value<QColor>(), QColor(255, 0, 0));
        EXPECT_EQ(seen["dict"].toMap(), (QVariantMap{{"key", qint64(7)}}));
        EXPECT_EQ(seen["list"].toList(), (QVariantList{"key", QVariant()}));
        EXPECT_EQ(seen["date"].toDateTime(), QDateTime(QDate(2001, 1, 1), QTime(0, 0, 0, 500), Qt::UTC));
        EXPECT_EQ(seen["data"].toByteArray(), QByteArray("\0\1", 2));
        EXPECT_EQ(seen["catalog"].value<QColor>(), QColor(0, 0, 0));
        EXPECT_EQ(seen["cmyk"].value<QColor>(), QColor(0, 255, 255));
        EXPECT_EQ(seen["plainDate"].toDateTime(), QDateTime(QDate(2001, 1, 2), QTime(0, 0), Qt::UTC));
        EXPECT_EQ(seen["nsstring"].toString(), "plain");
        EXPECT_EQ(seen["photo"].toFloat(), 3.5f);
        EXPECT_EQ(seen["legacy"].toInt(), 240);
        EXPECT_TRUE(seen["loop"].toBool());
        EXPECT_TRUE(seen["hasPhoto"].toBool());
        EXPECT_FALSE(seen["hasTransition"].toBool());
    }
}

TEST_F(KeyedUnarchiverTest, ScalarDecodingCoercesSaturatesAndDefaults) {
    auto probe = makeProbe([](KeyedArchiver& coder) {
        coder.encodeDouble(3.9, "pos");
        coder.encodeDouble(-3.9, "neg");
        coder.encodeDouble(1e12, "hugeReal");
        coder.encodeDouble(-1e12, "tinyReal");
        coder.encodeDouble(std::nan(""), "nan");
        coder.encodeDouble(1e30, "enormous");
        coder.encodeInt64(qint64(1) << 40, "wide");
        coder.encodeInt32(2, "two");
        coder.encodeInt32(0, "zero");
        coder.encodeBool(true, "yes");
        coder.encodeObject(QVariant(5), "boxed");
        coder.encodeObject(QVariant(2.5), "boxedReal");
        coder.encodeObject(QVariant(), "nil");
    });
    setProbeDecoder([](KeyedUnarchiver& coder, Probe& p) {
        EXPECT_EQ(coder.decodeInt32("pos"), 3);
        EXPECT_EQ(coder.decodeInt32("neg"), -3);
        EXPECT_EQ(coder.decodeInt32("hugeReal"), std::numeric_limits<qint32>::max());
        EXPECT_EQ(coder.decodeInt32("tinyReal"), std::numeric_limits<qint32>::min());
        EXPECT_EQ(coder.decodeInt32("nan"), 0);
        EXPECT_EQ(coder.decodeInt64("enormous"), std::numeric_limits<qint64>::max());
        EXPECT_EQ(coder.decodeInt32("wide"), std::numeric_limits<qint32>::max());
        EXPECT_EQ(coder.decodeInt64("wide"), qint64(1) << 40);
        EXPECT_TRUE(coder.decodeBool("two"));
        EXPECT_FALSE(coder.decodeBool("zero"));
        EXPECT_EQ(coder.decodeDouble("yes"), 1.0);
        EXPECT_EQ(coder.decodeFloat("two"), 2.0f);
        EXPECT_EQ(coder.decodeInt32("boxed"), 5);
        EXPECT_EQ(coder.decodeDouble("boxedReal"), 2.5);
        EXPECT_EQ(coder.decodeInt32("nil"), 0);
        EXPECT_EQ(coder.decodeObject("two"), QVariant(qint64(2)));
        // Present-but-zero and present-but-nil differ from absent.
        EXPECT_TRUE(coder.containsValueForKey("zero"));
        EXPECT_TRUE(coder.containsValueForKey("nil"));
        EXPECT_FALSE(coder.containsValueForKey("absent"));
        EXPECT_EQ(coder.decodeInt32("absent"), 0);
        EXPECT_EQ(coder.decodeInt64("absent"), 0);
        EXPECT_FALSE(coder.decodeBool("absent"));
        EXPECT_EQ(coder.decodeFloat("absent"), 0.0f);
        EXPECT_EQ(coder.decodeDouble("absent"), 0.0);
        EXPECT_FALSE(coder.decodeObject("absent").isValid());
        EXPECT_TRUE(coder.decodeString("absent").isNull());
        EXPECT_FALSE(coder.decodeObjectOfClass<TestNode>("absent"));
        EXPECT_FALSE(coder.decodeArrayOfClass<TestNode>("nil").has_value());
        p.seen["ran"] = true;
    });
    QString error;
    auto decoded = unarchiveProbe(KeyedArchiver::archivedData(probe), &error);
    ASSERT_TRUE(decoded) << error.toStdString();
    EXPECT_TRUE(decoded->seen["ran"].toBool());
}

TEST_F(KeyedUnarchiverTest, WrongTypesThrowInsideTheFactory) {
    auto probe = makeProbe([](KeyedArchiver& coder) {
        coder.encodeObject(QString("text"), "text");
        coder.encodeObject(QVariant(5), "number");
        coder.encodeObject(QVariantMap{{"a", 1}}, "map");
        coder.encodeObject(QVariantList{QString("x")}, "strings");
    });
    setProbeDecoder([](KeyedUnarchiver& coder, Probe& p) {
        EXPECT_THROW(coder.decodeInt32("text"), ArchiveError);
        EXPECT_THROW(coder.decodeBool("map"), ArchiveError);
        EXPECT_THROW(coder.decodeString("number"), ArchiveError);
        EXPECT_THROW(coder.decodeObjectOfClass<TestNode>("text"), ArchiveError);
        EXPECT_THROW(coder.decodeArrayOfClass<TestNode>("map"), ArchiveError);
        EXPECT_THROW(coder.decodeArrayOfClass<TestNode>("strings"), ArchiveError);
        // A caught failure leaves the records decodable.
        EXPECT_EQ(coder.decodeObject("strings").toList(), QVariantList{"x"});
        p.seen["ran"] = true;
    });
    QString error;
    auto decoded = unarchiveProbe(KeyedArchiver::archivedData(probe), &error);
    ASSERT_TRUE(decoded) << error.toStdString();
    EXPECT_TRUE(decoded->seen["ran"].toBool());
}

TEST_F(KeyedUnarchiverTest, FailuresInFactoriesBecomeMessages) {
    auto probe = makeProbe([](KeyedArchiver& coder) { coder.encodeObject(QVariant(5), "number"); });
    const QByteArray bytes = KeyedArchiver::archivedData(probe);
    QString error;

    setProbeDecoder([](KeyedUnarchiver& coder, Probe&) { coder.decodeString("number"); });
    EXPECT_FALSE(unarchiveProbe(bytes, &error));
    EXPECT_TRUE(error.contains("\"number\" is not a string")) << error.toStdString();

    setProbeDecoder([](KeyedUnarchiver&, Probe&) { throw std::runtime_error("boom"); });
    EXPECT_FALSE(unarchiveProbe(bytes, &error));
    EXPECT_TRUE(error.contains("boom")) << error.toStdString();

    KeyedUnarchiver::registerClass("Refuser", [](KeyedUnarchiver&) { return ArchivableRef(); });
    probe->className = "Refuser";
    EXPECT_FALSE(KeyedUnarchiver::unarchiveObject(KeyedArchiver::archivedData(probe), &error));
    EXPECT_TRUE(error.contains("Refuser")) << error.toStdString();

    probe->className = "NeverRegistered";
    EXPECT_FALSE(KeyedUnarchiver::unarchiveObject(KeyedArchiver::archivedData(probe), &error));
    EXPECT_TRUE(error.contains("unknown class \"NeverRegistered\"")) << error.toStdString();
}

TEST_F(KeyedUnarchiverTest, NestedFactoriesReadTheirOwnRecords) {
    auto inner = makeProbe([](KeyedArchiver& coder) { coder.encodeInt32(2, "level"); });
    auto outer = makeProbe([inner](KeyedArchiver& coder) {
        coder.encodeInt32(1, "level");
        coder.encodeObject(ArchivableRef(inner), "value");
        coder.encodeInt32(11, "after");
    });
    setProbeDecoder([](KeyedUnarchiver& coder, Probe& p) {
        p.seen["level"] = coder.decodeInt32("level");
        p.seen["value"] = coder.decodeObject("value");
        p.seen["after"] = coder.decodeInt32("after");
    });
    auto decoded = unarchiveProbe(KeyedArchiver::archivedData(outer));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->seen["level"].toInt(), 1);
    EXPECT_EQ(decoded->seen["after"].toInt(), 11);
    auto decodedInner = KeyedUnarchiver::castObject<Probe>(decoded->seen["value"]);
    ASSERT_TRUE(decodedInner);
    EXPECT_EQ(decodedInner->seen["level"].toInt(), 2);
    EXPECT_EQ(decodedInner->seen["after"].toInt(), 0);
}

TEST_F(KeyedUnarchiverTest, MalformedArchivesAreRejectedWithTheReason) {
    struct Case {
        QString name;
        QString objects;
        QString expected;
        Envelope envelope = {};
        bool decodeNumber = false;
    };
    const QString probeClass = classRecord("Probe");
    auto withValue = [&](const QString& value, const QString& more = {}) {
        return probeRecord(key("value", value)) + probeClass + more;
    };
    auto record = [](int classUid, const QString& keys) {
        return QString("<dict><key>$class</key>%1%2</dict>").arg(uid(classUid), keys);
    };
    const QString array = classRecord("NSMutableArray", {"NSArray"});
    const QString dictionary = classRecord("NSDictionary");
    const QString color = classRecord("NSColor");
    QString chain;
    for (int i = 0; i < 600; ++i)
        chain += record(604, key("NS.objects", refs({4 + i})));
    chain += "<true/>" + array; // 603: the end of the chain, 604: its class

    Envelope farRoot;
    farRoot.top = uid(99);
    Envelope noTop;
    noTop.withTop = false;
    Envelope textRoot;
    textRoot.top = "<string>1</string>";
    Envelope otherArchiver;
    otherArchiver.archiver = "NSArchiver";
    Envelope otherVersion;
    otherVersion.version = "5";
    Envelope nilRoot;
    nilRoot.top = uid(0);
    Envelope rootPastTheLast; // three objects: "$null", the record and its class
    rootPastTheLast.top = uid(3);

    const std::vector<Case> cases{
        {"root out of range", withValue(uid(0)), "reference 99 is out of range", farRoot},
        {"value out of range", withValue(uid(42)), "reference 42 is out of range"},
        {"class out of range", record(42, ""), "class reference 42 is out of range"},
        {"root one past the last object", withValue(uid(0)), "reference 3 is out of range", rootPastTheLast},
        {"value one past the last object", withValue(uid(3)), "reference 3 is out of range"},
        {"class one past the last object", record(2, ""), "class reference 2 is out of range"},
        {"array contains itself", withValue(uid(3), record(4, key("NS.objects", refs({3}))) + array),
         "refers to itself"},
        {"arrays contain each other",
         withValue(uid(3),
                   record(4, key("NS.objects", refs({5}))) + array + record(4, key("NS.objects", refs({3})))),
         "refers to itself"},
        {"root contains itself", withValue(uid(1)), "refers to itself"},
        {"class is the object itself", record(1, key("value", uid(0))), "not a class record"},
        {"class record without a name", probeRecord("") + "<dict><key>$classes</key><array/></dict>",
         "not a class record"},
        {"unknown class", probeRecord("") + classRecord("Mystery"), "unknown class \"Mystery\""},
        {"$top missing", withValue(uid(0)), "\"$top\"", noTop},
        {"root is not a reference", withValue(uid(0)), "\"root\"", textRoot},
        {"another archiver", withValue(uid(0)), "not a keyed archive", otherArchiver},
        {"another version", withValue(uid(0)), "\"$version\"", otherVersion},
        {"root is nil", withValue(uid(0)), "root object is nil", nilRoot},
        {"root is a string", "<string>text</string>", "not an object of a registered class"},
        {"root is an array", record(2, key("NS.objects", refs({}))) + array,
         "not an object of a registered class"},
        {"record without a class", "<dict><key>value</key><integer>1</integer></dict>", "no \"$class\""},
        {"class record used as a value", withValue(uid(2)), "no \"$class\""},
        {"object of an unexpected type", withValue(uid(3), "<array/>"), "neither a value nor a record"},
        {"value of an unexpected type", withValue("<array/>"), "neither a value nor a reference"},
        {"dictionary where a number belongs",
         withValue("<dict><key>a</key><integer>1</integer></dict>"),
         "\"value\" is not a number",
         {},
         true},
        {"string where a number belongs",
         withValue("<string>12</string>"),
         "\"value\" is not a number",
         {},
         true},
        {"dictionary sizes differ",
         withValue(uid(3), record(4, key("NS.keys", refs({5})) + key("NS.objects", refs({}))) + dictionary +
                               "<string>k</string>"),
         "1 keys for 0 values"},
        {"dictionary key not a string",
         withValue(uid(3), record(4, key("NS.keys", refs({5})) + key("NS.objects", refs({5}))) + dictionary +
                               "<integer>5</integer>"),
         "key is not a string"},
        {"array of non-references",
         withValue(uid(3), record(4, key("NS.objects", "<array><integer>1</integer></array>")) + array),
         "other than references"},
        {"array whose objects are not an array",
         withValue(uid(3), record(4, key("NS.objects", "<true/>")) + array), "not an array"},
        {"string record without a string",
         withValue(uid(3),
                   record(4, key("NS.string", "<integer>1</integer>")) + classRecord("NSMutableString")),
         "holds no string"},
        {"data record without data", withValue(uid(3), record(4, "") + classRecord("NSData")),
         "holds no data"},
        {"date without a time", withValue(uid(3), record(4, "") + classRecord("NSDate")), "no \"NS.time\""},
        {"date out of range",
         withValue(uid(3), record(4, key("NS.time", "<real>1e300</real>")) + classRecord("NSDate")),
         "outside the supported range"},
        {"colour with words",
         withValue(uid(3),
                   record(4, key("NSColorSpace", "<integer>1</integer>") + key("NSRGB", data("1 x 0"))) +
                       color),
         "other than numbers"},
        {"colour with too few numbers",
         withValue(uid(3),
                   record(4, key("NSColorSpace", "<integer>1</integer>") + key("NSRGB", data("1 0"))) +
                       color),
         "holds 2 numbers"},
        {"colour text that is not data",
         withValue(uid(3), record(4, key("NSColorSpace", "<integer>1</integer>") +
                                         key("NSRGB", "<integer>1</integer>")) +
                               color),
         "is not data"},
        {"colour without components",
         withValue(uid(3), record(4, key("NSColorSpace", "<integer>1</integer>")) + color), "no components"},
        {"catalog colour without a fallback",
         withValue(uid(3),
                   record(4, key("NSColorSpace", "<integer>6</integer>") + key("NSColor", uid(0))) + color),
         "no components"},
        {"nesting beyond the limit", withValue(uid(3), chain), "nested more than 512"},
    };
    for (const Case& c : cases) {
        setProbeDecoder([&c](KeyedUnarchiver& coder, Probe& p) {
            p.seen["value"] =
                c.decodeNumber ? QVariant(coder.decodeInt32("value")) : coder.decodeObject("value");
        });
        const QByteArray xml = xmlArchive(c.objects, c.envelope);
        const QByteArray binary = binaryFromXml(xml);
        ASSERT_TRUE(binary.startsWith("bplist00")) << c.name.toStdString();
        for (const QByteArray& archive : {xml, binary}) {
            SCOPED_TRACE((c.name + (archive == xml ? " (XML)" : " (binary)")).toStdString());
            QString error;
            EXPECT_FALSE(KeyedUnarchiver::unarchiveObject(archive, &error));
            EXPECT_TRUE(error.contains(c.expected)) << error.toStdString();
        }
    }
}

TEST_F(KeyedUnarchiverTest, DataThatIsNoArchiveIsRejected) {
    const std::vector<QByteArray> inputs{
        {},
        "hello",
        "bplist00",
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>",
        "<?xml version=\"1.0\"?><plist "
        "version=\"1.0\"><dict><key>$archiver</key><string>NSKeyedArchiver</string>"
        "<key>$version</key><integer>100000</integer><key>$top</key><dict/>"
        "<key>$objects</key><dict/></dict></plist>",
        "<?xml version=\"1.0\"?><plist "
        "version=\"1.0\"><dict><key>$archiver</key><string>NSKeyedArchiver</string>"
        "<key>$version</key><integer>100000</integer><key>$top</key><dict/>"
        "<key>$objects</key><array/></dict></plist>",
        "<?xml version=\"1.0\"?><plist "
        "version=\"1.0\"><dict><key>$archiver</key><string>NSKeyedArchiver</string>"
        "</dict",
    };
    for (const QByteArray& input : inputs) {
        for (const QByteArray& form : {input, binaryFromXml(input)}) {
            SCOPED_TRACE(form.left(60).toStdString());
            QString error;
            EXPECT_FALSE(KeyedUnarchiver::unarchiveObject(form, &error));
            EXPECT_FALSE(error.isEmpty());
        }
    }
}

TEST_F(KeyedUnarchiverTest, EveryTruncationIsRejected) {
    const QByteArray binary = sampleArchive();
    const QByteArray xml = xmlFromBinary(binary);
    ASSERT_TRUE(KeyedUnarchiver::unarchiveObject(binary));
    ASSERT_TRUE(KeyedUnarchiver::unarchiveObject(xml));
    for (const QByteArray& archive : {binary, xml}) {
        // Cutting trailing white space off the XML form leaves the same document.
        for (qsizetype length = 0; length < archive.trimmed().size(); ++length) {
            QString error;
            const bool decoded = bool(KeyedUnarchiver::unarchiveObject(archive.left(length), &error));
            EXPECT_FALSE(decoded) << "a prefix of " << length << " bytes was accepted";
            EXPECT_FALSE(error.isEmpty()) << length;
        }
    }
}

TEST_F(KeyedUnarchiverTest, RandomByteFlipsNeverCrashAndAlwaysExplainFailure) {
    const QByteArray binary = sampleArchive();
    const QByteArray xml = xmlFromBinary(binary);
    for (const auto& [archive, runs] : {std::pair{binary, 2000}, std::pair{xml, 500}}) {
        int rejected = 0;
        for (int seed = 0; seed < runs; ++seed) {
            std::mt19937 random(seed);
            QByteArray damaged = archive;
            const int flips = 1 + int(random() % 4);
            for (int i = 0; i < flips; ++i)
                damaged[qsizetype(random() % quint32(damaged.size()))] ^= char(1 + random() % 255);
            QString error;
            const ArchivableRef root = KeyedUnarchiver::unarchiveObject(damaged, &error);
            EXPECT_NE(bool(root), !error.isEmpty()) << "seed " << seed;
            rejected += root ? 0 : 1;
        }
        // Most damage is caught; some lands in string contents and is still a readable archive.
        EXPECT_GT(rejected, runs / 4);
    }
}
