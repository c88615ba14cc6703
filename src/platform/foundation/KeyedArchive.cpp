#include "platform/foundation/KeyedArchive.h"
#include "platform/foundation/FileUtils.h"

#include "platform/foundation/KeyedArchiveFormat.h"
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

class DepthGuard {
public:
    explicit DepthGuard(int& depth) : depth(depth) {
        if (++depth > keyed::kMaxDepth) {
            --depth;
            throw ArchiveError("the object graph is nested too deeply to be archived");
        }
    }
    ~DepthGuard() { --depth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    int& depth;
};

} // namespace

struct KeyedArchiver::State {
    explicit State(KeyedArchiver& owner) : owner(owner) {
        objects.emplace_back(plist_new_string("$null"));
        records.push_back(top.get());
    }

    KeyedArchiver& owner;
    PlistPtr top{plist_new_dict()};      // becomes "$top"; encoding at the outermost level writes here
    std::vector<PlistPtr> objects;       // "$objects", indexed by UID
    std::vector<plist_t> records;        // the records being written, innermost last
    std::vector<ArchivableRef> retained; // keeps every archived object alive, so addresses stay unique
    QHash<const Archivable*, quint64> objectUids;
    QSet<const Archivable*> inProgress;
    QHash<QString, quint64> stringUids;
    QHash<QString, quint64> classUids;
    int depth = 0;

    void set(const QString& key, plist_t value) {
        plist_dict_set_item(records.back(), keyed::storedKey(key).constData(), value);
    }

    quint64 append(plist_t node) {
        objects.emplace_back(node);
        return objects.size() - 1;
    }

    quint64 uidForClass(const QStringList& chain) {
        const QString& name = chain.first();
        if (auto it = classUids.constFind(name); it != classUids.constEnd())
            return it.value();
        plist_t classes = plist_new_array();
        for (const QString& className : chain)
            plist_array_append_item(classes, plist_new_string(className.toUtf8().constData()));
        if (chain.last() != QLatin1String("NSObject"))
            plist_array_append_item(classes, plist_new_string("NSObject"));
        plist_t record = plist_new_dict();
        plist_dict_set_item(record, "$classname", plist_new_string(name.toUtf8().constData()));
        plist_dict_set_item(record, "$classes", classes);
        const quint64 uid = append(record);
        classUids.insert(name, uid);
        return uid;
    }

    // A new record of a foundation or archivable class: its UID first, so that it precedes its contents.
    std::pair<quint64, plist_t> newRecord(const QStringList& chain) {
        plist_t record = plist_new_dict();
        const quint64 uid = append(record);
        plist_dict_set_item(record, "$class", plist_new_uid(uidForClass(chain)));
        return {uid, record};
    }

    quint64 uidForString(const QString& string) {
        if (string.contains(QChar(0)))
            throw ArchiveError("a string with a NUL character cannot be archived");
        if (auto it = stringUids.constFind(string); it != stringUids.constEnd())
            return it.value();
        const quint64 uid = append(plist_new_string(string.toUtf8().constData()));
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
        return it.value();
    }
    const QStringList chain = object->archiveClassNames();
    if (chain.isEmpty() || chain.first().isEmpty())
        throw ArchiveError("an object without a class name cannot be archived");
    DepthGuard guard(depth);
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
    return uid;
}

quint64 KeyedArchiver::State::uidForArray(const QVariantList& items) {
    DepthGuard guard(depth);
    const auto [uid, record] = newRecord(kMutableArrayClasses);
    plist_t uids = plist_new_array();
    plist_dict_set_item(record, "NS.objects", uids);
    for (const QVariant& item : items)
        plist_array_append_item(uids, plist_new_uid(uidFor(item)));
    return uid;
}

quint64 KeyedArchiver::State::uidForDictionary(const QStringList& keys,
                                               const std::function<QVariant(const QString&)>& valueOf) {
    DepthGuard guard(depth);
    const auto [uid, record] = newRecord(kMutableDictionaryClasses);
    plist_t keyUids = plist_new_array();
    plist_t valueUids = plist_new_array();
    plist_dict_set_item(record, "NS.keys", keyUids);
    plist_dict_set_item(record, "NS.objects", valueUids);
    for (const QString& key : keys) {
        plist_array_append_item(keyUids, plist_new_uid(uidForString(key)));
        plist_array_append_item(valueUids, plist_new_uid(uidFor(valueOf(key))));
    }
    return uid;
}

quint64 KeyedArchiver::State::uidForDate(const QDateTime& date) {
    if (!date.isValid())
        return 0;
    const auto [uid, record] = newRecord(kDateClasses);
    const double seconds = double(date.toMSecsSinceEpoch() - keyed::kReferenceDateMSecs) / 1000.0;
    plist_dict_set_item(record, "NS.time", plist_new_real(seconds));
    return uid;
}

quint64 KeyedArchiver::State::uidForColor(const QColor& color) {
    if (!color.isValid())
        return 0;
    const auto [uid, record] = newRecord(kColorClasses);
    const QByteArray text = rgbText(color);
    plist_dict_set_item(record, "NSColorSpace", plist_new_uint(1));
    plist_dict_set_item(record, "NSRGB", plist_new_data(text.constData(), quint64(text.size())));
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
        return append(plist_new_bool(value.toBool()));
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return append(plist_new_uint(quint64(value.toLongLong())));
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        if (value.toULongLong() > quint64(std::numeric_limits<qint64>::max()))
            throw ArchiveError("an unsigned integer above the 64-bit signed range cannot be archived");
        return append(plist_new_uint(value.toULongLong()));
    case QMetaType::Float:
        return append(plist_new_real(double(value.toFloat())));
    case QMetaType::Double:
        return append(plist_new_real(value.toDouble()));
    case QMetaType::QString:
        return value.toString().isNull() ? 0 : uidForString(value.toString());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return append(plist_new_data(bytes.constData(), quint64(bytes.size())));
    }
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
    plist_t array = plist_new_array();
    for (PlistPtr& object : objects)
        plist_array_append_item(array, object.release());
    objects.clear();
    PlistPtr document(plist_new_dict());
    plist_dict_set_item(document.get(), "$version", plist_new_uint(keyed::kVersion));
    plist_dict_set_item(document.get(), "$archiver", plist_new_string(keyed::kArchiverName));
    plist_dict_set_item(document.get(), "$top", top.release());
    plist_dict_set_item(document.get(), "$objects", array);
    records.clear();
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(document.get(), &bytes, &length);
    if (!bytes)
        throw ArchiveError("the property list could not be written");
    QByteArray result(bytes, qsizetype(length));
    plist_to_bin_free(bytes);
    return result;
}

KeyedArchiver::KeyedArchiver() : d(std::make_unique<State>(*this)) {}

KeyedArchiver::~KeyedArchiver() = default;

void KeyedArchiver::encodeBool(bool value, const QString& key) {
    d->set(key, plist_new_bool(value));
}

void KeyedArchiver::encodeInt32(qint32 value, const QString& key) {
    d->set(key, plist_new_uint(quint64(qint64(value))));
}

void KeyedArchiver::encodeInt64(qint64 value, const QString& key) {
    d->set(key, plist_new_uint(quint64(value)));
}

void KeyedArchiver::encodeFloat(float value, const QString& key) {
    // libplist stores a real that is exactly a float in four bytes.
    d->set(key, plist_new_real(double(value)));
}

void KeyedArchiver::encodeDouble(double value, const QString& key) {
    d->set(key, plist_new_real(value));
}

void KeyedArchiver::encodeObject(const QVariant& value, const QString& key) {
    // The UID comes first: encoding the value may add records, but never replaces the current one.
    const quint64 uid = d->uidFor(value);
    d->set(key, plist_new_uid(uid));
}

void KeyedArchiver::encodeObject(const ArchivableRef& object, const QString& key) {
    const quint64 uid = d->uidForObject(object);
    d->set(key, plist_new_uid(uid));
}

QByteArray KeyedArchiver::archivedData(const ArchivableRef& root) {
    if (!root)
        throw ArchiveError("there is no root object to archive");
    KeyedArchiver coder;
    coder.encodeObject(root, QStringLiteral("root"));
    return coder.d->finish();
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
