#pragma once

// Keyed archives: object graphs stored as binary property lists in the classic keyed-archive layout
// ("$archiver", "$version", "$top", "$objects", UID references, "$class" records).
//
// Values travel as QVariant:
//   QString, bool, int/qint64, float, double, QByteArray (data), QDateTime (dates), QColor (colours),
//   QVariantList (arrays), QVariantMap (string-keyed dictionaries), an invalid QVariant (nil),
//   and ArchivableRef (a std::shared_ptr<Archivable>) for objects of our own classes.
// An object of ours shared by several owners (the same shared_ptr) is stored once; on reading, every
// record is decoded once, so sharing in the file survives as sharing in memory.
//
// Mapping details:
//   - a null QString, an invalid QDateTime or QColor, and a null ArchivableRef are stored as nil; nil
//     reads back as an invalid QVariant (decodeString gives a null QString);
//   - integers read back as qint64, reals as double, arrays as QVariantList, dictionaries as QVariantMap;
//   - arrays and dictionaries are written as NSMutableArray / NSMutableDictionary; the immutable forms,
//     NSMutableString, NSSet and {"NS.data": ...} are read too;
//   - colours are written as calibrated RGB ("NSRGB"); the white, CMYK, catalog and component forms are read;
//   - keys beginning with '$' are stored with one more '$', so they cannot clash with "$class".
// An object graph with a cycle cannot be archived (it could not be rebuilt: a factory returns its object
// only after decoding its keys); the archiver reports it instead of writing an unreadable file.
// Archives may come from anywhere: both sides keep to one table of limits (KeyedArchiveLimits.h) on
// nesting, on the values a graph expands to when its shared parts are counted at every use, and on the
// number of objects, so what one side accepts the other accepts too.

#include <QColor>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace platform {

class KeyedArchiver;
class KeyedUnarchiver;

// An object of one of our classes that can be stored in a keyed archive.
class Archivable {
public:
    virtual ~Archivable() = default;
    // The "$classes" chain, most derived first, without "NSObject" (the archiver appends it).
    virtual QStringList archiveClassNames() const = 0;
    // Writes this object's keys; a subclass writes its base's keys first.
    virtual void encodeWithCoder(KeyedArchiver& coder) const = 0;
};

using ArchivableRef = std::shared_ptr<Archivable>;

// A decoding failure: the input is not an archive we can read. Thrown inside the unarchiver and by
// initWithCoder-style constructors; the public entry points turn it into an error message.
class ArchiveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class KeyedArchiver {
public:
    KeyedArchiver();
    ~KeyedArchiver();
    KeyedArchiver(const KeyedArchiver&) = delete;
    KeyedArchiver& operator=(const KeyedArchiver&) = delete;

    // Scalars are stored inline in the current object's record. Floats are stored as 32-bit reals.
    void encodeBool(bool value, const QString& key);
    void encodeInt32(qint32 value, const QString& key);
    void encodeInt64(qint64 value, const QString& key);
    void encodeFloat(float value, const QString& key);
    void encodeDouble(double value, const QString& key);
    // Any value of the list at the top of this file; nil stores a reference to "$null".
    void encodeObject(const QVariant& value, const QString& key);
    void encodeObject(const ArchivableRef& object, const QString& key);

    // Archives a whole graph with `root` under "$top"/"root", as a binary property list.
    // Throws ArchiveError for a null root, a cycle, a value type that cannot be archived, or a graph
    // beyond the limits the unarchiver keeps to. Takes time in step with the archive's size.
    static QByteArray archivedData(const ArchivableRef& root);
    // Whether archivedData(root) would succeed; the reason in *error when not. A graph that was read but
    // could not be written again would lose every later change, so readers ask this before taking one.
    static bool isArchivable(const ArchivableRef& root, QString* error = nullptr);
    // Writes archivedData(root) to path atomically. False, with a message in *error, when it fails.
    static bool archiveRootObject(const ArchivableRef& root, const QString& path, QString* error = nullptr);

private:
    struct State;
    std::unique_ptr<State> d;
};

class KeyedUnarchiver {
public:
    // Makes an object of a registered class from the coder positioned on its record
    // (the initWithCoder of that class). May throw ArchiveError.
    using Factory = std::function<ArchivableRef(KeyedUnarchiver&)>;

    // Registers a class by its "$classname". Thread-safe; the last registration of a name wins.
    static void registerClass(const QString& className, Factory factory);

    // Decodes the root object of archive data (binary or XML property list).
    // Returns null with a clear message in *error for anything that is not a readable archive:
    // truncated or corrupt data, out-of-range or cyclic references, unknown classes, wrong types.
    static ArchivableRef unarchiveObject(const QByteArray& data, QString* error = nullptr);
    static ArchivableRef unarchiveObjectWithFile(const QString& path, QString* error = nullptr);

    // Decoding the current object's keys. A missing key reads as 0 / NO / nil; a value of the wrong
    // type throws ArchiveError (numbers convert between integer, real and boolean forms, inline or as a
    // referenced number object). Reals become integers by truncation toward zero; values outside the
    // target range saturate at its limits, and NaN becomes 0.
    bool containsValueForKey(const QString& key) const;
    bool decodeBool(const QString& key);
    qint32 decodeInt32(const QString& key);
    qint64 decodeInt64(const QString& key);
    float decodeFloat(const QString& key);
    double decodeDouble(const QString& key);
    QVariant decodeObject(const QString& key);
    // The same, but an object of one of our registered classes outside `classes`, anywhere in the value
    // down to the objects let through, reads as nil without being built: an archive cannot make the
    // reader build costly objects where it expects others. An empty list lets none of our objects in.
    QVariant decodeObjectOfClasses(const QString& key, const QStringList& classes);

    // Typed helpers over decodeObject: nil when missing; ArchiveError when the value has another type.
    QString decodeString(const QString& key);
    template <class T> std::shared_ptr<T> decodeObjectOfClass(const QString& key) {
        return castObject<T>(decodeObject(key));
    }
    // An array of our objects; nullopt when the key is missing or nil.
    template <class T> std::optional<std::vector<std::shared_ptr<T>>> decodeArrayOfClass(const QString& key) {
        const QVariant value = decodeObject(key);
        if (!value.isValid())
            return std::nullopt;
        if (value.typeId() != QMetaType::QVariantList)
            throw ArchiveError(QString("\"%1\" is not an array").arg(key).toStdString());
        std::vector<std::shared_ptr<T>> result;
        for (const QVariant& item : value.toList())
            result.push_back(castObject<T>(item));
        return result;
    }

    template <class T> static std::shared_ptr<T> castObject(const QVariant& value) {
        if (!value.isValid())
            return nullptr;
        if (!value.canConvert<ArchivableRef>())
            throw ArchiveError("an object of another type was found where one of our objects was expected");
        auto typed = std::dynamic_pointer_cast<T>(value.value<ArchivableRef>());
        if (!typed)
            throw ArchiveError("an object of another class was found than the one expected");
        return typed;
    }

    ~KeyedUnarchiver();
    KeyedUnarchiver(const KeyedUnarchiver&) = delete;
    KeyedUnarchiver& operator=(const KeyedUnarchiver&) = delete;

private:
    KeyedUnarchiver();
    struct State;
    std::unique_ptr<State> d;
};

} // namespace platform

Q_DECLARE_METATYPE(platform::ArchivableRef)
