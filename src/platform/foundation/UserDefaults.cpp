#include "platform/foundation/UserDefaults.h"

#include "platform/foundation/StandardPaths.h"

#include <QSettings>

#include <cmath>
#include <limits>
#include <optional>

namespace platform {

namespace {

QString defaultStorePath() {
    return paths::configFolder() + QStringLiteral("/Vistrelle.conf");
}

std::unique_ptr<QSettings> openStore(const QString& path) {
    auto settings =
        std::make_unique<QSettings>(path.isEmpty() ? defaultStorePath() : path, QSettings::IniFormat);
    // Whatever thread opened the store, nobody needs its deferred auto-save events: every set syncs at once.
    settings->moveToThread(nullptr);
    return settings;
}

// QSettings reads "/" and "\" in a key as group separators and folds "a//b" into "a/b"; escaping them
// keeps every key flat and distinct, whatever text a caller builds it from.
QString storedKey(const QString& key) {
    QString escaped;
    escaped.reserve(key.size());
    for (QChar c : key) {
        if (c == u'%')
            escaped += QStringLiteral("%25");
        else if (c == u'/')
            escaped += QStringLiteral("%2F");
        else if (c == u'\\')
            escaped += QStringLiteral("%5C");
        else
            escaped += c;
    }
    return escaped;
}

bool isNumber(const QVariant& value) {
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

bool isText(const QVariant& value) {
    const int type = value.metaType().id();
    return type == QMetaType::QString || type == QMetaType::QByteArray;
}

// A number written as text, as the ini file hands every scalar back: "12", " -3 ", "2.5", "1e3".
std::optional<double> numberInText(const QString& text) {
    bool ok = false;
    const double number = text.trimmed().toDouble(&ok);
    if (!ok || std::isnan(number))
        return std::nullopt;
    return number;
}

// The ini file hands a stored bool back as "true" or "false"; numeric readers take those as 1 and 0.
std::optional<double> numberOrTruthInText(const QString& text) {
    if (auto number = numberInText(text))
        return number;
    const QString word = text.trimmed().toLower();
    if (word == u"true" || word == u"yes")
        return 1.0;
    if (word == u"false" || word == u"no")
        return 0.0;
    return std::nullopt;
}

std::optional<bool> booleanInText(const QString& text) {
    const QString word = text.trimmed().toLower();
    static const QStringList yes = {QStringLiteral("true"), QStringLiteral("yes"), QStringLiteral("y"),
                                    QStringLiteral("t"), QStringLiteral("on")};
    static const QStringList no = {QStringLiteral("false"), QStringLiteral("no"),  QStringLiteral("n"),
                                   QStringLiteral("f"),     QStringLiteral("off"), QString()};
    if (yes.contains(word))
        return true;
    if (no.contains(word))
        return false;
    if (auto number = numberInText(word))
        return *number != 0.0;
    return std::nullopt;
}

std::optional<double> realOf(const QVariant& value) {
    if (value.metaType().id() == QMetaType::Bool)
        return value.toBool() ? 1.0 : 0.0;
    if (isNumber(value))
        return value.toDouble();
    if (isText(value))
        return numberOrTruthInText(value.toString());
    return std::nullopt;
}

} // namespace

UserDefaults::UserDefaults(const QString& path) : settings(openStore(path)) {}

UserDefaults::~UserDefaults() = default;

UserDefaults& UserDefaults::standard() {
    static UserDefaults defaults{QString()};
    return defaults;
}

void UserDefaults::setStorePathForTesting(const QString& path) {
    UserDefaults& defaults = standard();
    std::lock_guard lock(defaults.mutex);
    defaults.settings->sync();
    defaults.settings = openStore(path);
}

bool UserDefaults::contains(const QString& key) const {
    std::lock_guard lock(mutex);
    return settings->contains(storedKey(key));
}

QVariant UserDefaults::value(const QString& key, const QVariant& fallback) const {
    std::lock_guard lock(mutex);
    return settings->value(storedKey(key), fallback);
}

QString UserDefaults::string(const QString& key, const QString& fallback) const {
    const QVariant stored = value(key);
    if (isText(stored) || isNumber(stored) || stored.metaType().id() == QMetaType::Bool)
        return stored.toString();
    return fallback;
}

bool UserDefaults::boolean(const QString& key, bool fallback) const {
    const QVariant stored = value(key);
    if (stored.metaType().id() == QMetaType::Bool)
        return stored.toBool();
    if (isNumber(stored))
        return stored.toDouble() != 0.0;
    if (isText(stored))
        return booleanInText(stored.toString()).value_or(fallback);
    return fallback;
}

qint64 UserDefaults::integer(const QString& key, qint64 fallback) const {
    const QVariant stored = value(key);
    bool ok = false;
    // Whole numbers first, so that large values keep every digit a double would lose.
    if (isText(stored) || stored.metaType().id() == QMetaType::LongLong) {
        const qint64 whole = stored.toString().trimmed().toLongLong(&ok);
        if (ok)
            return whole;
    }
    const std::optional<double> number = realOf(stored);
    if (!number)
        return fallback;
    constexpr double limit = 9.2e18;
    if (std::isinf(*number) || std::abs(*number) > limit)
        return *number < 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    return qint64(*number);
}

double UserDefaults::real(const QString& key, double fallback) const {
    return realOf(value(key)).value_or(fallback);
}

void UserDefaults::setValue(const QString& key, const QVariant& value) {
    std::lock_guard lock(mutex);
    // Setting nothing removes the key, as a nil value does in the program's model.
    if (value.isValid())
        settings->setValue(storedKey(key), value);
    else
        settings->remove(storedKey(key));
    settings->sync();
}

QString UserDefaults::groupString(const QString& group, const QString& key, const QString& fallback) const {
    std::lock_guard lock(mutex);
    settings->beginGroup(storedKey(group));
    const QVariant stored = settings->value(storedKey(key));
    settings->endGroup();
    return isText(stored) || isNumber(stored) ? stored.toString() : fallback;
}

void UserDefaults::remove(const QString& key) {
    std::lock_guard lock(mutex);
    settings->remove(storedKey(key));
    settings->sync();
}

bool UserDefaults::synchronize() {
    std::lock_guard lock(mutex);
    settings->sync();
    return settings->status() == QSettings::NoError;
}

} // namespace platform
