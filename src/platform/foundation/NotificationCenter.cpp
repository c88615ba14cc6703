#include "platform/foundation/NotificationCenter.h"

#include "platform/foundation/MainThread.h"

#include <algorithm>
#include <atomic>

namespace platform {

// An observer stays reachable through the shared pointer a post copied, so removing it never frees the
// function a post is running. `alive` is what a post checks just before each call: once removeObserver
// has returned, no post calls the observer again. A call that had already begun on another thread still
// runs to its end, so an object that observes from several threads must outlive its own removal until
// those calls are done (or remove itself on the thread that posts to it).
struct NotificationCenter::Entry {
    NotificationCenter::Token token;
    QString name;
    QVariant object;
    NotificationCenter::Observer observer;
    std::atomic<bool> alive{true};

    bool matches(const QString& postedName, const QVariant& postedObject) const {
        if (!name.isEmpty() && name != postedName)
            return false;
        return !object.isValid() || object == postedObject;
    }
};

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

NotificationCenter::Token NotificationCenter::addObserver(const QString& name, Observer observer,
                                                          const QVariant& object) {
    auto entry = std::make_shared<Entry>();
    entry->name = name;
    entry->object = object;
    entry->observer = std::move(observer);
    std::lock_guard lock(mutex);
    entry->token = nextToken++;
    entries.push_back(std::move(entry));
    return entries.back()->token;
}

void NotificationCenter::removeObserver(Token token) {
    std::shared_ptr<Entry> removed;
    {
        std::lock_guard lock(mutex);
        auto found =
            std::find_if(entries.begin(), entries.end(),
                         [token](const std::shared_ptr<Entry>& entry) { return entry->token == token; });
        if (found == entries.end())
            return;
        removed = std::move(*found);
        removed->alive = false;
        entries.erase(found);
    }
    // `removed` may hold the last reference: its observer (and whatever it captured) is destroyed here,
    // outside the lock, so a captured object's destructor may use the center.
}

void NotificationCenter::post(const QString& name, const QVariant& object, const QVariantMap& userInfo) {
    std::vector<std::shared_ptr<Entry>> matching;
    {
        std::lock_guard lock(mutex);
        for (const auto& entry : entries)
            if (entry->matches(name, object))
                matching.push_back(entry);
    }
    const Notification notification{name, object, userInfo};
    for (const auto& entry : matching)
        if (entry->alive)
            entry->observer(notification);
}

void NotificationCenter::postOnMainThread(const QString& name, const QVariant& object,
                                          const QVariantMap& userInfo) {
    runOnMainThread([this, name, object, userInfo] { post(name, object, userInfo); });
}

ObserverHandle& ObserverHandle::operator=(ObserverHandle&& other) noexcept {
    if (this != &other) {
        reset();
        center = other.center;
        token = other.token;
        other.center = nullptr;
        other.token = 0;
    }
    return *this;
}

void ObserverHandle::reset() {
    if (center)
        center->removeObserver(token);
    center = nullptr;
    token = 0;
}

} // namespace platform
