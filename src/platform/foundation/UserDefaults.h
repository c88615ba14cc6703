#pragma once

#include <QString>
#include <QVariant>

#include <memory>
#include <mutex>

class QSettings;

namespace platform {

// The user's settings, kept in the user's config folder under "Vistrelle". There are no registered
// defaults: each reader passes its own. A set is written to disk at once. The typed readers accept
// what the file holds as text ("12", "2.5", "YES", "true"); a value that cannot be read as the type
// gives the fallback.
class UserDefaults {
public:
    static UserDefaults& standard();
    // Points the standard store at a file (tests use a temporary folder). Empty path: the real location.
    static void setStorePathForTesting(const QString& path);

    bool contains(const QString& key) const;
    QVariant value(const QString& key, const QVariant& fallback = QVariant()) const;
    QString string(const QString& key, const QString& fallback = QString()) const;
    bool boolean(const QString& key, bool fallback = false) const;
    qint64 integer(const QString& key, qint64 fallback = 0) const;
    double real(const QString& key, double fallback = 0.0) const;

    void setValue(const QString& key, const QVariant& value);

    // Settings kept together under a group (an ini section, "[group]", that a person can edit by hand).
    QString groupString(const QString& group, const QString& key, const QString& fallback = QString()) const;
    void remove(const QString& key);
    // Forces what was set to disk; true when it was written.
    bool synchronize();

    explicit UserDefaults(const QString& path);
    ~UserDefaults();

private:
    mutable std::mutex mutex;
    std::unique_ptr<QSettings> settings;
};

} // namespace platform
