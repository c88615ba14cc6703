#pragma once

#include "platform/foundation/NotificationCenter.h"

#include <QStringList>

#include <algorithm>
#include <mutex>
#include <optional>
#include <vector>

namespace test_support {

// Every post of the given names on a center (the default one unless given), from any thread, in order, for
// as long as it lives.
class NotificationLog {
public:
    explicit NotificationLog(const QStringList& names)
        : NotificationLog(platform::NotificationCenter::defaultCenter(), names) {}
    NotificationLog(platform::NotificationCenter& center, const QStringList& names) {
        for (const QString& name : names)
            handles.emplace_back(center, center.addObserver(name, [this](const platform::Notification& note) {
                const std::lock_guard lock(mutex);
                seen.push_back(note);
            }));
    }

    int count(const QString& name) const {
        const std::lock_guard lock(mutex);
        return int(
            std::count_if(seen.begin(), seen.end(), [&](const auto& note) { return note.name == name; }));
    }
    std::vector<platform::Notification> all() const {
        const std::lock_guard lock(mutex);
        return seen;
    }
    QStringList names() const {
        QStringList list;
        for (const auto& note : all())
            list << note.name;
        return list;
    }
    std::optional<platform::Notification> last(const QString& name) const {
        const std::lock_guard lock(mutex);
        for (auto it = seen.rbegin(); it != seen.rend(); ++it)
            if (it->name == name)
                return *it;
        return std::nullopt;
    }

private:
    mutable std::mutex mutex;
    std::vector<platform::Notification> seen;
    std::vector<platform::ObserverHandle> handles; // last, so that no post arrives while the rest goes
};

} // namespace test_support
