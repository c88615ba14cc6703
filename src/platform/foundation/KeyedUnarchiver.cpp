#include "platform/foundation/FileUtils.h"
#include "platform/foundation/KeyedArchive.h"

#include "platform/foundation/KeyedArchiveFormat.h"
#include "platform/foundation/KeyedArchiveLimits.h"
#include "platform/foundation/PropertyList.h"

#include <QFile>
#include <QHash>
#include <QScopeGuard>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <mutex>

namespace platform {
namespace {

constexpr qint64 kMaxArchiveSize = keyed::kLimits.maxBytes;

struct Registry {
    std::mutex mutex;
    QHash<QString, KeyedUnarchiver::Factory> factories;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

// A copy, so that the factory runs without the lock and may itself decode registered classes.
KeyedUnarchiver::Factory registeredFactory(const QString& className) {
    Registry& classes = registry();
    std::lock_guard lock(classes.mutex);
    return classes.factories.value(className);
}

[[noreturn]] void fail(const QString& message) {
    throw ArchiveError(message.toStdString());
}

plist_type typeOf(plist_t node) {
    return node ? plist_get_node_type(node) : PLIST_NONE;
}

plist_t item(plist_t dict, const char* key) {
    return typeOf(dict) == PLIST_DICT ? plist_dict_get_item(dict, key) : nullptr;
}

QString stringValue(plist_t node) {
    char* text = nullptr;
    plist_get_string_val(node, &text);
    const QString result = QString::fromUtf8(text);
    std::free(text);
    return result;
}

QByteArray dataValue(plist_t node) {
    char* bytes = nullptr;
    uint64_t length = 0;
    plist_get_data_val(node, &bytes, &length);
    QByteArray result(bytes, qsizetype(length));
    std::free(bytes);
    return result;
}

// A reference: a UID, or the {"CF$UID": n} dictionary that stands for one in XML (libplist 2.2 keeps it
// as a dictionary).
std::optional<quint64> uidOf(plist_t node) {
    uint64_t value = 0;
    if (typeOf(node) == PLIST_UID) {
        plist_get_uid_val(node, &value);
        return value;
    }
    if (typeOf(node) != PLIST_DICT || plist_dict_get_size(node) != 1)
        return std::nullopt;
    plist_t number = plist_dict_get_item(node, "CF$UID");
    if (typeOf(number) != PLIST_UINT)
        return std::nullopt;
    plist_get_uint_val(number, &value);
    return value;
}

// Walks an array once; libplist's indexed access may be linear per item.
std::vector<plist_t> arrayItems(plist_t array) {
    std::vector<plist_t> items;
    items.reserve(plist_array_get_size(array));
    plist_array_iter iter = nullptr;
    plist_array_new_iter(array, &iter);
    for (plist_t node = nullptr;;) {
        plist_array_next_item(array, iter, &node);
        if (!node)
            break;
        items.push_back(node);
    }
    std::free(iter);
    return items;
}

QDateTime dateFromReferenceSeconds(double seconds) {
    // About ±3000 years: beyond that the value is damage, not a date.
    if (!std::isfinite(seconds) || std::abs(seconds) > 1e11)
        fail(QStringLiteral("a date lies outside the supported range"));
    return QDateTime::fromMSecsSinceEpoch(keyed::kReferenceDateMSecs + std::llround(seconds * 1000.0),
                                          Qt::UTC);
}

// A number as the file holds it: integers keep all 64 bits, reals stay reals.
struct Number {
    bool isReal = false;
    qint64 integer = 0;
    double real = 0;

    double toDouble() const { return isReal ? real : double(integer); }
    bool toBool() const { return isReal ? real != 0 : integer != 0; }
    qint64 toInt64() const {
        if (!isReal)
            return integer;
        if (std::isnan(real))
            return 0;
        if (real >= 9223372036854775808.0)
            return std::numeric_limits<qint64>::max();
        if (real <= -9223372036854775808.0)
            return std::numeric_limits<qint64>::min();
        return qint64(real);
    }
};

std::optional<Number> inlineNumber(plist_t node) {
    switch (typeOf(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return Number{false, value ? 1 : 0, 0};
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return Number{false, qint64(value), 0};
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return Number{true, 0, value};
    }
    default:
        return std::nullopt;
    }
}

std::optional<Number> variantNumber(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::LongLong:
        return Number{false, value.toLongLong(), 0};
    case QMetaType::Double:
        return Number{true, 0, value.toDouble()};
    default:
        return std::nullopt;
    }
}

// The plain values a record may hold inline or "$objects" may hold directly.
std::optional<QVariant> leafValue(plist_t node) {
    switch (typeOf(node)) {
    case PLIST_STRING:
        return QVariant(stringValue(node));
    case PLIST_DATA:
        return QVariant(dataValue(node));
    case PLIST_BOOLEAN:
        return QVariant(inlineNumber(node)->toBool());
    case PLIST_UINT:
        return QVariant(inlineNumber(node)->integer);
    case PLIST_REAL:
        return QVariant(inlineNumber(node)->real);
    case PLIST_DATE: {
        int32_t seconds = 0;
        int32_t micros = 0;
        plist_get_date_val(node, &seconds, &micros);
        return QVariant(dateFromReferenceSeconds(double(seconds) + double(micros) / 1e6));
    }
    default:
        return std::nullopt;
    }
}

// Colour components as text: numbers in the C locale separated by spaces, maybe NUL-terminated.
QList<float> colorComponents(QByteArray text, int least, int most, const char* key) {
    while (text.endsWith('\0'))
        text.chop(1);
    const QList<QByteArray> parts = text.simplified().split(' ');
    if (parts.size() < least || parts.size() > most)
        fail(QStringLiteral("\"%1\" holds %2 numbers").arg(QLatin1String(key)).arg(parts.size()));
    QList<float> components;
    for (const QByteArray& part : parts) {
        bool ok = false;
        const double value = part.toDouble(&ok);
        if (!ok || !std::isfinite(value))
            fail(QStringLiteral("\"%1\" holds something other than numbers").arg(QLatin1String(key)));
        components.append(float(std::clamp(value, 0.0, 1.0)));
    }
    return components;
}

QColor rgbColor(const QList<float>& c) {
    return QColor::fromRgbF(c[0], c[1], c[2], c.size() > 3 ? c[3] : 1.0f);
}

QColor whiteColor(const QList<float>& c) {
    return QColor::fromRgbF(c[0], c[0], c[0], c.size() > 1 ? c[1] : 1.0f);
}

QColor cmykColor(const QList<float>& c) {
    return QColor::fromCmykF(c[0], c[1], c[2], c[3], c.size() > 4 ? c[4] : 1.0f).toRgb();
}

enum class Foundation { None, String, Array, Dictionary, Date, Data, Color };

Foundation foundationClass(const QString& name) {
    static const QHash<QString, Foundation> classes{
        {"NSString", Foundation::String},
        {"NSMutableString", Foundation::String},
        {"NSArray", Foundation::Array},
        {"NSMutableArray", Foundation::Array},
        {"NSSet", Foundation::Array},
        {"NSMutableSet", Foundation::Array},
        {"NSDictionary", Foundation::Dictionary},
        {"NSMutableDictionary", Foundation::Dictionary},
        {"NSDate", Foundation::Date},
        {"NSData", Foundation::Data},
        {"NSMutableData", Foundation::Data},
        {"NSColor", Foundation::Color},
    };
    return classes.value(name, Foundation::None);
}

} // namespace

struct KeyedUnarchiver::State {
    enum : quint8 { Unseen, Open, Done };

    explicit State(KeyedUnarchiver& owner) : owner(owner) {}

    KeyedUnarchiver& owner;
    PlistPtr document;
    std::vector<plist_t> objects; // "$objects", indexed by UID
    std::vector<QVariant> decoded;
    std::vector<quint8> status;
    std::vector<keyed::GraphMeasure::Extent> extents; // of each object decoded
    std::vector<plist_t> records; // the records whose factories are running, innermost last
    // The classes of ours that may be built, innermost last; nullopt lets every class through.
    std::vector<std::optional<QStringList>> accepted;
    keyed::GraphMeasure measure{keyed::Side::Reading};

    ArchivableRef decodeRoot(const QByteArray& data);
    quint64 readHeader();
    QVariant decodeUid(quint64 uid);
    bool refused(plist_t node);
    QVariant decodeEntry(quint64 uid);
    QVariant valueOf(plist_t node, const QString& what);
    QString classNameOf(plist_t record);
    QVariant decodeRecord(const QString& className, plist_t record);
    QVariant decodeInstance(const QString& className, plist_t record);
    QVariantList decodeArray(plist_t record);
    QVariantMap decodeDictionary(plist_t record);
    QColor decodeColor(plist_t record);
    plist_t currentValue(const QString& key) const;
    Number numberForKey(const QString& key);
};

quint64 KeyedUnarchiver::State::readHeader() {
    plist_t top = document.get();
    if (typeOf(top) != PLIST_DICT)
        fail(QStringLiteral("the property list is not a dictionary"));
    plist_t archiver = item(top, "$archiver");
    if (typeOf(archiver) != PLIST_STRING || stringValue(archiver) != QLatin1String(keyed::kArchiverName))
        fail(QStringLiteral("the property list is not a keyed archive (\"$archiver\" is not \"%1\")")
                 .arg(QLatin1String(keyed::kArchiverName)));
    const auto version = inlineNumber(item(top, "$version"));
    if (!version || version->isReal || quint64(version->integer) != keyed::kVersion)
        fail(QStringLiteral("the keyed archive has a missing or unsupported \"$version\""));
    plist_t list = item(top, "$objects");
    if (typeOf(list) != PLIST_ARRAY || plist_array_get_size(list) == 0)
        fail(QStringLiteral("\"$objects\" is missing, empty or not an array"));
    objects = arrayItems(list);
    decoded.resize(objects.size());
    extents.resize(objects.size());
    status.resize(objects.size(), Unseen);
    const auto root = uidOf(item(item(top, "$top"), "root"));
    if (!root)
        fail(QStringLiteral("\"$top\" is missing or has no \"root\" reference"));
    return *root;
}

ArchivableRef KeyedUnarchiver::State::decodeRoot(const QByteArray& data) {
    if (data.size() > kMaxArchiveSize)
        fail(QStringLiteral("the archive is larger than %1 MiB").arg(kMaxArchiveSize >> 20));
    QString problem;
    document = parsePropertyList(data, &problem, keyed::propertyListLimits());
    if (!document)
        fail(problem);
    const QVariant root = decodeUid(readHeader());
    if (!root.isValid())
        fail(QStringLiteral("the archive's root object is nil"));
    if (root.metaType() != QMetaType::fromType<ArchivableRef>())
        fail(QStringLiteral("the archive's root is not an object of a registered class"));
    return root.value<ArchivableRef>();
}

QVariant KeyedUnarchiver::State::decodeUid(quint64 uid) {
    if (uid == 0)
        return {};
    if (uid >= objects.size())
        fail(QStringLiteral("reference %1 is out of range (the archive has %2 objects)")
                 .arg(uid)
                 .arg(objects.size()));
    if (status[uid] == Done) {
        measure.revisit(extents[uid]);
        return decoded[uid];
    }
    if (status[uid] == Open)
        fail(QStringLiteral("object %1 refers to itself through its own contents").arg(uid));
    if (refused(objects[uid]))
        return {};
    keyed::GraphMeasure::Node node(measure);
    status[uid] = Open;
    // A factory may catch an error and carry on; the record must then be decodable again.
    const auto restore = qScopeGuard([this, uid] {
        if (status[uid] == Open)
            status[uid] = Unseen;
    });
    decoded[uid] = decodeEntry(uid);
    extents[uid] = node.done();
    status[uid] = Done;
    return decoded[uid];
}

// A record of one of our classes that the value being decoded does not expect: it is never built.
bool KeyedUnarchiver::State::refused(plist_t node) {
    if (accepted.empty() || !accepted.back() || typeOf(node) != PLIST_DICT || !item(node, "$class"))
        return false;
    const QString className = classNameOf(node);
    return foundationClass(className) == Foundation::None && !accepted.back()->contains(className);
}

QVariant KeyedUnarchiver::State::decodeEntry(quint64 uid) {
    plist_t node = objects[uid];
    if (auto value = leafValue(node))
        return *value;
    if (typeOf(node) != PLIST_DICT)
        fail(QStringLiteral("object %1 is neither a value nor a record").arg(uid));
    return decodeRecord(classNameOf(node), node);
}

// A value held in a record: inline, or by reference into "$objects"; nil when the node is missing.
QVariant KeyedUnarchiver::State::valueOf(plist_t node, const QString& what) {
    if (!node)
        return {};
    if (const auto uid = uidOf(node))
        return decodeUid(*uid);
    if (auto value = leafValue(node))
        return *value;
    fail(QStringLiteral("\"%1\" holds neither a value nor a reference").arg(what));
}

QString KeyedUnarchiver::State::classNameOf(plist_t record) {
    const auto ref = uidOf(item(record, "$class"));
    if (!ref)
        fail(QStringLiteral("a record has no \"$class\" reference"));
    const quint64 uid = *ref;
    if (uid == 0 || uid >= objects.size())
        fail(QStringLiteral("class reference %1 is out of range").arg(uid));
    plist_t name = item(objects[uid], "$classname");
    if (typeOf(name) != PLIST_STRING || stringValue(name).isEmpty())
        fail(QStringLiteral("object %1 is not a class record").arg(uid));
    return stringValue(name);
}

QVariant KeyedUnarchiver::State::decodeRecord(const QString& className, plist_t record) {
    switch (foundationClass(className)) {
    case Foundation::String: {
        const QVariant text = valueOf(item(record, "NS.string"), QStringLiteral("NS.string"));
        if (text.typeId() != QMetaType::QString)
            fail(QStringLiteral("a string record holds no string"));
        return text;
    }
    case Foundation::Array:
        return decodeArray(record);
    case Foundation::Dictionary:
        return decodeDictionary(record);
    case Foundation::Date: {
        const auto seconds = inlineNumber(item(record, "NS.time"));
        if (!seconds)
            fail(QStringLiteral("a date record has no \"NS.time\""));
        return dateFromReferenceSeconds(seconds->toDouble());
    }
    case Foundation::Data: {
        const QVariant bytes = valueOf(item(record, "NS.data"), QStringLiteral("NS.data"));
        if (bytes.typeId() != QMetaType::QByteArray)
            fail(QStringLiteral("a data record holds no data"));
        return bytes;
    }
    case Foundation::Color:
        return QVariant::fromValue(decodeColor(record));
    case Foundation::None:
        break;
    }
    return decodeInstance(className, record);
}

QVariant KeyedUnarchiver::State::decodeInstance(const QString& className, plist_t record) {
    const Factory factory = registeredFactory(className);
    if (!factory)
        fail(QStringLiteral("the archive holds an object of the unknown class \"%1\"").arg(className));
    measure.countObject();
    // The object's own keys are its factory's to filter.
    records.push_back(record);
    accepted.emplace_back(std::nullopt);
    const auto pop = qScopeGuard([this] {
        records.pop_back();
        accepted.pop_back();
    });
    const ArchivableRef object = factory(owner);
    if (!object)
        fail(QStringLiteral("an object of class \"%1\" could not be made from its record").arg(className));
    return QVariant::fromValue(object);
}

QVariantList KeyedUnarchiver::State::decodeArray(plist_t record) {
    QVariantList list;
    plist_t uids = item(record, "NS.objects");
    if (!uids)
        return list;
    if (typeOf(uids) != PLIST_ARRAY)
        fail(QStringLiteral("\"NS.objects\" of an array record is not an array"));
    for (plist_t node : arrayItems(uids)) {
        const auto uid = uidOf(node);
        if (!uid)
            fail(QStringLiteral("an array record holds something other than references"));
        list.append(decodeUid(*uid));
    }
    return list;
}

QVariantMap KeyedUnarchiver::State::decodeDictionary(plist_t record) {
    QVariantMap map;
    plist_t keyList = item(record, "NS.keys");
    plist_t valueList = item(record, "NS.objects");
    if (!keyList && !valueList)
        return map;
    if (typeOf(keyList) != PLIST_ARRAY || typeOf(valueList) != PLIST_ARRAY)
        fail(QStringLiteral("a dictionary record lacks its \"NS.keys\" or \"NS.objects\" array"));
    const std::vector<plist_t> keys = arrayItems(keyList);
    const std::vector<plist_t> values = arrayItems(valueList);
    if (keys.size() != values.size())
        fail(QStringLiteral("a dictionary record has %1 keys for %2 values")
                 .arg(keys.size())
                 .arg(values.size()));
    for (size_t i = 0; i < keys.size(); ++i) {
        const auto keyUid = uidOf(keys[i]);
        const auto valueUid = uidOf(values[i]);
        if (!keyUid || !valueUid)
            fail(QStringLiteral("a dictionary record holds something other than references"));
        const QVariant key = decodeUid(*keyUid);
        if (key.typeId() != QMetaType::QString)
            fail(QStringLiteral("a dictionary key is not a string"));
        map.insert(key.toString(), decodeUid(*valueUid));
    }
    return map;
}

QColor KeyedUnarchiver::State::decodeColor(plist_t record) {
    auto text = [&](const char* key) -> std::optional<QByteArray> {
        plist_t node = item(record, key);
        if (!node)
            return std::nullopt;
        const QVariant value = valueOf(node, QLatin1String(key));
        if (value.typeId() != QMetaType::QByteArray)
            fail(QStringLiteral("\"%1\" of a colour is not data").arg(QLatin1String(key)));
        return value.toByteArray();
    };
    const auto space = inlineNumber(item(record, "NSColorSpace"));
    switch (space ? space->toInt64() : 0) {
    case 1: // calibrated and device RGB
    case 2:
        if (auto rgb = text("NSRGB"))
            return rgbColor(colorComponents(*rgb, 3, 4, "NSRGB"));
        break;
    case 3: // calibrated and device white
    case 4:
        if (auto white = text("NSWhite"))
            return whiteColor(colorComponents(*white, 1, 2, "NSWhite"));
        break;
    case 5:
        if (auto cmyk = text("NSCMYK"))
            return cmykColor(colorComponents(*cmyk, 4, 5, "NSCMYK"));
        break;
    case 6: { // a named catalog colour; its fallback is an ordinary colour record
        const QVariant fallback = valueOf(item(record, "NSColor"), QStringLiteral("NSColor"));
        if (fallback.typeId() == QMetaType::QColor)
            return fallback.value<QColor>();
        break;
    }
    default:
        break;
    }
    if (auto components = text("NSComponents")) {
        const QList<float> c = colorComponents(*components, 1, 5, "NSComponents");
        return c.size() <= 2 ? whiteColor(c) : c.size() <= 4 ? rgbColor(c) : cmykColor(c);
    }
    fail(QStringLiteral("a colour record has no components this reader understands"));
}

plist_t KeyedUnarchiver::State::currentValue(const QString& key) const {
    if (records.empty())
        fail(QStringLiteral("no object is being decoded"));
    return plist_dict_get_item(records.back(), keyed::storedKey(key).constData());
}

Number KeyedUnarchiver::State::numberForKey(const QString& key) {
    plist_t node = currentValue(key);
    if (!node)
        return {};
    if (auto number = inlineNumber(node))
        return *number;
    if (const auto uid = uidOf(node)) {
        const QVariant value = decodeUid(*uid);
        if (!value.isValid())
            return {};
        if (auto number = variantNumber(value))
            return *number;
    }
    fail(QStringLiteral("\"%1\" is not a number").arg(key));
}

KeyedUnarchiver::KeyedUnarchiver() : d(std::make_unique<State>(*this)) {}

KeyedUnarchiver::~KeyedUnarchiver() = default;

void KeyedUnarchiver::registerClass(const QString& className, Factory factory) {
    Registry& classes = registry();
    std::lock_guard lock(classes.mutex);
    if (factory)
        classes.factories.insert(className, std::move(factory));
    else
        classes.factories.remove(className);
}

ArchivableRef KeyedUnarchiver::unarchiveObject(const QByteArray& data, QString* error) {
    QString message;
    try {
        KeyedUnarchiver coder;
        ArchivableRef root = coder.d->decodeRoot(data);
        if (error)
            error->clear();
        return root;
    } catch (const std::exception& e) {
        message = QString::fromUtf8(e.what());
    } catch (...) {
        message = QStringLiteral("an unexpected error occurred while decoding");
    }
    if (error)
        *error = QStringLiteral("The archive could not be read: %1").arg(message);
    return nullptr;
}

ArchivableRef KeyedUnarchiver::unarchiveObjectWithFile(const QString& path, QString* error) {
    // A pipe or a device in a project's place would never end, or never begin.
    QFile file;
    if (!openRegularFile(file, path, error))
        return nullptr;
    // Read one byte past the limit, so that files whose size the system does not report are caught too.
    const QByteArray data = file.size() > kMaxArchiveSize ? QByteArray() : file.read(kMaxArchiveSize + 1);
    if (file.size() > kMaxArchiveSize || data.size() > kMaxArchiveSize) {
        if (error)
            *error = QStringLiteral("\"%1\" is larger than %2 MiB and is not an archive of ours")
                         .arg(path)
                         .arg(kMaxArchiveSize >> 20);
        return nullptr;
    }
    ArchivableRef root = unarchiveObject(data, error);
    if (!root && error)
        *error = QStringLiteral("\"%1\": %2").arg(path, *error);
    return root;
}

bool KeyedUnarchiver::containsValueForKey(const QString& key) const {
    return d->currentValue(key) != nullptr;
}

bool KeyedUnarchiver::decodeBool(const QString& key) {
    return d->numberForKey(key).toBool();
}

qint32 KeyedUnarchiver::decodeInt32(const QString& key) {
    const qint64 value = d->numberForKey(key).toInt64();
    return qint32(
        std::clamp<qint64>(value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

qint64 KeyedUnarchiver::decodeInt64(const QString& key) {
    return d->numberForKey(key).toInt64();
}

float KeyedUnarchiver::decodeFloat(const QString& key) {
    return float(d->numberForKey(key).toDouble());
}

double KeyedUnarchiver::decodeDouble(const QString& key) {
    return d->numberForKey(key).toDouble();
}

QVariant KeyedUnarchiver::decodeObject(const QString& key) {
    return d->valueOf(d->currentValue(key), key);
}

QVariant KeyedUnarchiver::decodeObjectOfClasses(const QString& key, const QStringList& classes) {
    d->accepted.emplace_back(classes);
    const auto pop = qScopeGuard([this] { d->accepted.pop_back(); });
    return d->valueOf(d->currentValue(key), key);
}

QString KeyedUnarchiver::decodeString(const QString& key) {
    const QVariant value = decodeObject(key);
    if (!value.isValid())
        return {};
    if (value.typeId() != QMetaType::QString)
        fail(QStringLiteral("\"%1\" is not a string").arg(key));
    return value.toString();
}

} // namespace platform
