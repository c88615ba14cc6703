#pragma once

// Archivable classes and hand-made archives shared by the keyed-archive tests.

#include "platform/foundation/KeyedArchive.h"
#include "platform/foundation/PropertyList.h"

#include <functional>
#include <memory>
#include <vector>

namespace archivetest {

// A graph node with every kind of key: scalars, a free-form value, children and one shared link.
class TestNode : public platform::Archivable {
public:
    QString name;
    qint32 count = 0;
    qint64 big = 0;
    float ratio = 0;
    double precise = 0;
    bool flag = false;
    QVariant payload;
    std::vector<std::shared_ptr<TestNode>> children;
    std::shared_ptr<TestNode> link;

    QStringList archiveClassNames() const override { return {"TestNode"}; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    static platform::ArchivableRef make(platform::KeyedUnarchiver& coder);

protected:
    void decodeFrom(platform::KeyedUnarchiver& coder);
};

// A subclass: its own class name, the base's keys and one of its own.
class TestLeaf : public TestNode {
public:
    QString extra;

    QStringList archiveClassNames() const override { return {"TestLeaf", "TestNode"}; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    static platform::ArchivableRef make(platform::KeyedUnarchiver& coder);
};

// An object whose encoding a test scripts; its decoding runs the script set with setProbeDecoder.
class Probe : public platform::Archivable {
public:
    std::function<void(platform::KeyedArchiver&)> encode;
    QString className = QStringLiteral("Probe");
    QVariantMap seen; // what the decoding script found

    QStringList archiveClassNames() const override { return {className}; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override {
        if (encode)
            encode(coder);
    }
};

using ProbeDecoder = std::function<void(platform::KeyedUnarchiver&, Probe&)>;
// The default script records decodeObject("value") as seen["value"].
void setProbeDecoder(ProbeDecoder decoder);
void resetProbeDecoder();

// Registers TestNode, TestLeaf and Probe.
void registerTestClasses();

std::shared_ptr<Probe> makeProbe(std::function<void(platform::KeyedArchiver&)> encode);
std::shared_ptr<Probe> unarchiveProbe(const QByteArray& data, QString* error = nullptr);

// Pieces of hand-written XML archives.
QString uid(int n);
QString data(const QByteArray& bytes);
QString classRecord(const QString& name, const QStringList& bases = {});
struct Envelope {
    QString top = uid(1);
    QString archiver = QStringLiteral("NSKeyedArchiver");
    QString version = QStringLiteral("100000");
    bool withTop = true;
};
// An archive whose "$objects" are "$null" followed by `objects` (XML fragments, the first being UID 1).
QByteArray xmlArchive(const QString& objects, const Envelope& envelope = {});
// The same archive as a binary property list, with the {"CF$UID": n} dictionaries turned into UIDs.
QByteArray binaryFromXml(const QByteArray& xml);
// Our own binary archive in XML form, as libplist writes it.
QByteArray xmlFromBinary(const QByteArray& binary);

platform::PlistPtr parse(const QByteArray& archive);

} // namespace archivetest
