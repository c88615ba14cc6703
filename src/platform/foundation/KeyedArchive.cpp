#include "platform/foundation/KeyedArchive.h"
#include "platform/foundation/FileUtils.h"

#include "platform/foundation/BinaryPropertyListWriter.h"
#include "platform/foundation/KeyedArchiveFormat.h"
#include "platform/foundation/KeyedArchiveLimits.h"
#include "platform/foundation/PropertyList.h"

#include <QHash>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>
#include <limits>

namespace platform {
namespace {

const QStringList kMutableArrayClasses{"NSMutableArray", "NSArray"};
const QStringList kMutableDictionaryClasses{"NSMutableDictionary", "NSDictionary"};
const QStringList kDateClasses{"NSDate"};
const QStringList kColorClasses{"NSColor"};

// The shortest C-locale decimal that brings a 16-bit channel back unchanged, so that 0.5 reads "0.5".
QByteArray channelText(quint16 channel) {
    QByteArray text;
    for (int digits = 1; digits <= 9; ++digits) {
        text = QByteArray::number(channel / 65535.0, 'g', digits);
        if (QColor::fromRgbF(float(text.toDouble()), 0, 0).rgba64().red() == channel)
            break;
    }
    return text;
}

// "r g b a" with a trailing NUL, as the calibrated RGB form stores it.
QByteArray rgbText(const QColor& color) {
    const QRgba64 rgba = color.rgba64();
    QByteArray text = channelText(rgba.red()) + ' ' + channelText(rgba.green()) + ' ' +
                      channelText(rgba.blue()) + ' ' + channelText(rgba.alpha());
    text += '\0';
    return text;
}

} // namespace

struct KeyedArchiver::State {
    using Ref = BinaryPropertyListWriter::Ref;

    explicit State(KeyedArchiver& owner) : owner(owner) {
        objects.push_back(plist.string(QStringLiteral("$null")));
        records.push_back(top);
    }

    KeyedArchiver& owner;
    BinaryPropertyListWriter plist;
    Ref top = plist.dictionary();        // becomes "$top"; encoding at the outermost level writes here
    std::vector<Ref> objects;            // "$objects", indexed by UID
    std::vector<Ref> records;            // the records being written, innermost last
    std::vector<ArchivableRef> retained; // keeps every archived object alive, so addresses stay unique
    QHash<const Archivable*, quint64> objectUids;
    QHash<const Archivable*, keyed::GraphMeasure::Extent> objectExtents;
    QSet<const Archivable*> inProgress;
    QHash<QString, quint64> stringUids;
    QHash<QString, quint64> classUids;
    // Measured as the unarchiver measures what it reads, so that nothing is written that it would refuse.
    keyed::GraphMeasure measure{keyed::Side::Writing};

    Ref name(const char* text) { return plist.string(QString::fromLatin1(text)); }

    void set(const QString& key, Ref value) {
        plist.set(records.back(), plist.string(QString::fromUtf8(keyed::storedKey(key))), value);
    }

    quint64 append(Ref node) {
        objects.push_back(node);
        return objects.size() - 1;
    }

    // A value without references of its own, in "$objects".
    quint64 appendLeaf(Ref node) {
        measure.leaf();
        return append(node);
    }

    quint64 uidForClass(const QStringList& chain) {
        const QString& className = chain.first();
        if (auto it = classUids.constFind(className); it != classUids.constEnd())
            return it.value();
        const Ref classes = plist.array();
        for (const QString& each : chain)
            plist.append(classes, plist.string(each));
        if (chain.last() != QLatin1String("NSObject"))
            plist.append(classes, name("NSObject"));
        const Ref record = plist.dictionary();
        plist.set(record, name("$classname"), plist.string(className));
        plist.set(record, name("$classes"), classes);
        const quint64 uid = append(record);
        classUids.insert(className, uid);
        return uid;
    }

    // A new record of a foundation or archivable class: its UID first, so that it precedes its contents.
    std::pair<quint64, Ref> newRecord(const QStringList& chain) {
        const Ref record = plist.dictionary();
        const quint64 uid = append(record);
        plist.set(record, name("$class"), plist.uid(uidForClass(chain)));
        return {uid, record};
    }

    quint64 uidForString(const QString& string) {
        if (string.contains(QChar(0)))
            throw ArchiveError("a string with a NUL character cannot be archived");
        measure.leaf();
        if (auto it = stringUids.constFind(string); it != stringUids.constEnd())
            return it.value();
        const quint64 uid = append(plist.string(string));
        stringUids.insert(string, uid);
        return uid;
    }

    quint64 uidForObject(const ArchivableRef& object);
    quint64 uidForArray(const QVariantList& items);
    quint64 uidForDictionary(const QStringList& keys, const std::function<QVariant(const QString&)>& valueOf);
    quint64 uidForDate(const QDateTime& date);
    quint64 uidForColor(const QColor& color);
    quint64 uidFor(const QVariant& value);
    QByteArray finish();
};

quint64 KeyedArchiver::State::uidForObject(const ArchivableRef& object) {
    if (!object)
        return 0;
    if (auto it = objectUids.constFind(object.get()); it != objectUids.constEnd()) {
        if (inProgress.contains(object.get()))
            throw ArchiveError(QString("the object graph has a cycle through an object of class \"%1\"")
                                   .arg(object->archiveClassNames().value(0))
                                   .toStdString());
        measure.revisit(objectExtents.value(object.get()));
        return it.value();
    }
    const QStringList chain = object->archiveClassNames();
    if (chain.isEmpty() || chain.first().isEmpty())
        throw ArchiveError("an object without a class name cannot be archived");
    keyed::GraphMeasure::Node node(measure);
    measure.countObject();
    retained.push_back(object);
    const auto [uid, record] = newRecord(chain);
    objectUids.insert(object.get(), uid);
    inProgress.insert(object.get());
    records.push_back(record);
    const auto restore = qScopeGuard([this, &object] {
        records.pop_back();
        inProgress.remove(object.get());
    });
    object->encodeWithCoder(owner);
    objectExtents.insert(object.get(), node.done());
    return uid;
}

quint64 KeyedArchiver::State::uidForArray(const QVariantList& items) {
    keyed::GraphMeasure::Node node(measure);
    const auto [uid, record] = newRecord(kMutableArrayClasses);
    const Ref uids = plist.array();
    plist.set(record, name("NS.objects"), uids);
    for (const QVariant& item : items)
        plist.append(uids, plist.uid(uidFor(item)));
    node.done();
    return uid;
}

quint64 KeyedArchiver::State::uidForDictionary(const QStringList& keys,
                                               const std::function<QVariant(const QString&)>& valueOf) {
    keyed::GraphMeasure::Node node(measure);
    const auto [uid, record] = newRecord(kMutableDictionaryClasses);
    const Ref keyUids = plist.array();
    const Ref valueUids = plist.array();
    plist.set(record, name("NS.keys"), keyUids);
    plist.set(record, name("NS.objects"), valueUids);
    for (const QString& key : keys) {
        plist.append(keyUids, plist.uid(uidForString(key)));
        plist.append(valueUids, plist.uid(uidFor(valueOf(key))));
    }
    node.done();
    return uid;
}

quint64 KeyedArchiver::State::uidForDate(const QDateTime& date) {
    if (!date.isValid())
        return 0;
    measure.leaf();
    const auto [uid, record] = newRecord(kDateClasses);
    const double seconds = double(date.toMSecsSinceEpoch() - keyed::kReferenceDateMSecs) / 1000.0;
    plist.set(record, name("NS.time"), plist.real(seconds));
    return uid;
}

quint64 KeyedArchiver::State::uidForColor(const QColor& color) {
    if (!color.isValid())
        return 0;
    measure.leaf();
    const auto [uid, record] = newRecord(kColorClasses);
    plist.set(record, name("NSColorSpace"), plist.integer(1));
    plist.set(record, name("NSRGB"), plist.data(rgbText(color)));
    return uid;
}

quint64 KeyedArchiver::State::uidFor(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<ArchivableRef>())
        return uidForObject(value.value<ArchivableRef>());
    switch (value.typeId()) {
    case QMetaType::UnknownType:
    case QMetaType::Nullptr:
        return 0;
    case QMetaType::Bool:
        return appendLeaf(plist.boolean(value.toBool()));
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return appendLeaf(plist.integer(value.toLongLong()));
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        if (value.toULongLong() > quint64(std::numeric_limits<qint64>::max()))
            throw ArchiveError("an unsigned integer above the 64-bit signed range cannot be archived");
        return appendLeaf(plist.integer(qint64(value.toULongLong())));
    case QMetaType::Float:
        return appendLeaf(plist.real(double(value.toFloat())));
    case QMetaType::Double:
        return appendLeaf(plist.real(value.toDouble()));
    case QMetaType::QString:
        return value.toString().isNull() ? 0 : uidForString(value.toString());
    case QMetaType::QByteArray:
        return appendLeaf(plist.data(value.toByteArray()));
    case QMetaType::QDateTime:
        return uidForDate(value.toDateTime());
    case QMetaType::QColor:
        return uidForColor(value.value<QColor>());
    case QMetaType::QStringList:
    case QMetaType::QVariantList:
        return uidForArray(value.toList());
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        return uidForDictionary(map.keys(), [&map](const QString& key) { return map.value(key); });
    }
    case QMetaType::QVariantHash: {
        const QVariantHash hash = value.toHash();
        QStringList keys = hash.keys();
        std::sort(keys.begin(), keys.end()); // the same hash always gives the same bytes
        return uidForDictionary(keys, [&hash](const QString& key) { return hash.value(key); });
    }
    default:
        throw ArchiveError(
            QString("a value of type \"%1\" cannot be archived").arg(value.metaType().name()).toStdString());
    }
}

QByteArray KeyedArchiver::State::finish() {
    const Ref list = plist.array();
    for (const Ref object : objects)
        plist.append(list, object);
    const Ref document = plist.dictionary();
    plist.set(document, name("$version"), plist.integer(qint64(keyed::kVersion)));
    plist.set(document, name("$archiver"), name(keyed::kArchiverName));
    plist.set(document, name("$top"), top);
    plist.set(document, name("$objects"), list);
    const QByteArray bytes = plist.write(document);
    // The reader's own checks of the property list: what they would refuse is never written.
    const QString problem = checkBinaryPropertyList(bytes, keyed::propertyListLimits());
    if (!problem.isEmpty())
        throw ArchiveError(QString("the archive could not be read back: %1").arg(problem).toStdString());
    return bytes;
}

KeyedArchiver::KeyedArchiver() : d(std::make_unique<State>(*this)) {}

KeyedArchiver::~KeyedArchiver() = default;

void KeyedArchiver::encodeBool(bool value, const QString& key) {
    d->set(key, d->plist.boolean(value));
}

void KeyedArchiver::encodeInt32(qint32 value, const QString& key) {
    d->set(key, d->plist.integer(value));
}

void KeyedArchiver::encodeInt64(qint64 value, const QString& key) {
    d->set(key, d->plist.integer(value));
}

void KeyedArchiver::encodeFloat(float value, const QString& key) {
    // A real that is exactly a float is stored in four bytes.
    d->set(key, d->plist.real(double(value)));
}

void KeyedArchiver::encodeDouble(double value, const QString& key) {
    d->set(key, d->plist.real(value));
}

void KeyedArchiver::encodeObject(const QVariant& value, const QString& key) {
    // The UID comes first: encoding the value may add records, but never replaces the current one.
    const quint64 uid = d->uidFor(value);
    d->set(key, d->plist.uid(uid));
}

void KeyedArchiver::encodeObject(const ArchivableRef& object, const QString& key) {
    const quint64 uid = d->uidForObject(object);
    d->set(key, d->plist.uid(uid));
}

QByteArray KeyedArchiver::archivedData(const ArchivableRef& root) {
    if (!root)
        throw ArchiveError("there is no root object to archive");
    KeyedArchiver coder;
    coder.encodeObject(root, QStringLiteral("root"));
    return coder.d->finish();
}

bool KeyedArchiver::isArchivable(const ArchivableRef& root, QString* error) {
    try {
        archivedData(root);
        return true;
    } catch (const std::exception& e) {
        if (error)
            *error = QString::fromUtf8(e.what());
        return false;
    }
}

bool KeyedArchiver::archiveRootObject(const ArchivableRef& root, const QString& path, QString* error) {
    auto fail = [&](const QString& message) {
        if (error)
            *error = QString("Could not archive to \"%1\": %2").arg(path, message);
        return false;
    };
    QByteArray data;
    try {
        data = archivedData(root);
    } catch (const std::exception& e) {
        return fail(QString::fromUtf8(e.what()));
    }
    QString message;
    if (!writeFileAtomically(path, data, &message))
        return fail(message);
    if (error)
        error->clear();
    return true;
}

} // namespace platform
