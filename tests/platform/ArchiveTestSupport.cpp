#include "platform/ArchiveTestSupport.h"

#include <cstdlib>
#include <mutex>

using namespace platform;

namespace archivetest {
namespace {

std::mutex probeMutex;
ProbeDecoder probeDecoder;

void defaultProbeDecoder(KeyedUnarchiver& coder, Probe& probe) {
    probe.seen.insert("value", coder.decodeObject("value"));
}

// Copies a tree, turning every {"CF$UID": n} dictionary into a real UID node.
plist_t withRealUids(plist_t node) {
    switch (plist_get_node_type(node)) {
    case PLIST_DICT: {
        plist_t number = plist_dict_get_item(node, "CF$UID");
        if (plist_dict_get_size(node) == 1 && number) {
            uint64_t value = 0;
            plist_get_uint_val(number, &value);
            return plist_new_uid(value);
        }
        plist_t copy = plist_new_dict();
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(node, &iter);
        for (;;) {
            char* key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, iter, &key, &value);
            if (!value)
                break;
            plist_dict_set_item(copy, key, withRealUids(value));
            std::free(key);
        }
        std::free(iter);
        return copy;
    }
    case PLIST_ARRAY: {
        plist_t copy = plist_new_array();
        for (uint32_t i = 0; i < plist_array_get_size(node); ++i)
            plist_array_append_item(copy, withRealUids(plist_array_get_item(node, i)));
        return copy;
    }
    default:
        return plist_copy(node);
    }
}

} // namespace

void TestNode::encodeWithCoder(KeyedArchiver& coder) const {
    coder.encodeObject(QVariant(name), "name");
    coder.encodeInt32(count, "count");
    coder.encodeInt64(big, "big");
    coder.encodeFloat(ratio, "ratio");
    coder.encodeDouble(precise, "precise");
    coder.encodeBool(flag, "flag");
    coder.encodeObject(payload, "payload");
    QVariantList kids;
    for (const auto& child : children)
        kids.append(QVariant::fromValue<ArchivableRef>(child));
    coder.encodeObject(QVariant(kids), "children");
    coder.encodeObject(ArchivableRef(link), "link");
}

void TestNode::decodeFrom(KeyedUnarchiver& coder) {
    name = coder.decodeString("name");
    count = coder.decodeInt32("count");
    big = coder.decodeInt64("big");
    ratio = coder.decodeFloat("ratio");
    precise = coder.decodeDouble("precise");
    flag = coder.decodeBool("flag");
    payload = coder.decodeObject("payload");
    if (auto kids = coder.decodeArrayOfClass<TestNode>("children"))
        children = *kids;
    link = coder.decodeObjectOfClass<TestNode>("link");
}

ArchivableRef TestNode::make(KeyedUnarchiver& coder) {
    auto node = std::make_shared<TestNode>();
    node->decodeFrom(coder);
    return node;
}

void TestLeaf::encodeWithCoder(KeyedArchiver& coder) const {
    TestNode::encodeWithCoder(coder);
    coder.encodeObject(QVariant(extra), "extra");
}

ArchivableRef TestLeaf::make(KeyedUnarchiver& coder) {
    auto leaf = std::make_shared<TestLeaf>();
    leaf->decodeFrom(coder);
    leaf->extra = coder.decodeString("extra");
    return leaf;
}

void setProbeDecoder(ProbeDecoder decoder) {
    std::lock_guard lock(probeMutex);
    probeDecoder = std::move(decoder);
}

void resetProbeDecoder() {
    setProbeDecoder(defaultProbeDecoder);
}

void registerTestClasses() {
    KeyedUnarchiver::registerClass("TestNode", TestNode::make);
    KeyedUnarchiver::registerClass("TestLeaf", TestLeaf::make);
    KeyedUnarchiver::registerClass("Probe", [](KeyedUnarchiver& coder) -> ArchivableRef {
        ProbeDecoder decoder;
        {
            std::lock_guard lock(probeMutex);
            decoder = probeDecoder ? probeDecoder : defaultProbeDecoder;
        }
        auto probe = std::make_shared<Probe>();
        decoder(coder, *probe);
        return probe;
    });
}

std::shared_ptr<Probe> makeProbe(std::function<void(KeyedArchiver&)> encode) {
    auto probe = std::make_shared<Probe>();
    probe->encode = std::move(encode);
    return probe;
}

std::shared_ptr<Probe> unarchiveProbe(const QByteArray& data, QString* error) {
    return std::dynamic_pointer_cast<Probe>(KeyedUnarchiver::unarchiveObject(data, error));
}

QString uid(int n) {
    return QString("<dict><key>CF$UID</key><integer>%1</integer></dict>").arg(n);
}

QString data(const QByteArray& bytes) {
    return QString("<data>%1</data>").arg(QString::fromLatin1(bytes.toBase64()));
}

QString classRecord(const QString& name, const QStringList& bases) {
    QString classes = QString("<string>%1</string>").arg(name);
    for (const QString& base : bases)
        classes += QString("<string>%1</string>").arg(base);
    return QString("<dict><key>$classname</key><string>%1</string>"
                   "<key>$classes</key><array>%2<string>NSObject</string></array></dict>")
        .arg(name, classes);
}

QByteArray xmlArchive(const QString& objects, const Envelope& envelope) {
    const QString top = envelope.withTop
                            ? QString("<key>$top</key><dict><key>root</key>%1</dict>").arg(envelope.top)
                            : QString();
    return QString("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                   "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                   "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                   "<plist version=\"1.0\"><dict>\n"
                   "<key>$archiver</key><string>%1</string>\n"
                   "<key>$version</key><integer>%2</integer>\n"
                   "%3\n"
                   "<key>$objects</key><array><string>$null</string>\n%4\n</array>\n"
                   "</dict></plist>\n")
        .arg(envelope.archiver, envelope.version, top, objects)
        .toUtf8();
}

QByteArray binaryFromXml(const QByteArray& xml) {
    plist_t tree = nullptr;
    plist_from_xml(xml.constData(), uint32_t(xml.size()), &tree);
    if (!tree)
        return {};
    PlistPtr converted(withRealUids(tree));
    plist_free(tree);
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(converted.get(), &bytes, &length);
    QByteArray result(bytes, qsizetype(length));
    plist_to_bin_free(bytes);
    return result;
}

QByteArray xmlFromBinary(const QByteArray& binary) {
    PlistPtr tree = parse(binary);
    if (!tree)
        return {};
    char* text = nullptr;
    uint32_t length = 0;
    plist_to_xml(tree.get(), &text, &length);
    QByteArray result(text, qsizetype(length));
    plist_to_xml_free(text);
    return result;
}

PlistPtr parse(const QByteArray& archive) {
    QString error;
    return parsePropertyList(archive, &error);
}

} // namespace archivetest
