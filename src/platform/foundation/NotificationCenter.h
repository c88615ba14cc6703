#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

struct Notification {
    QString name;
    QVariant object; // a number or nil, as the poster gives it
    QVariantMap userInfo;
};

// Named notifications between parts of the program. A post runs the matching observers synchronously
// on the posting thread, in the order they were added. Observers may be added or removed from any
// thread, and from inside an observer: a post works on the list as it stood when the post began,
// but never calls an observer that has been removed meanwhile. A call already running on another
// thread is not waited for: it may still finish after removeObserver returns.
class NotificationCenter {
public:
    using Observer = std::function<void(const Notification&)>;
    using Token = quint64;

    static NotificationCenter& defaultCenter();

    // Observes `name` (every name when empty); when `object` is valid, only posts with an equal object.
    Token addObserver(const QString& name, Observer observer, const QVariant& object = QVariant());
    void removeObserver(Token token);

    void post(const QString& name, const QVariant& object = QVariant(), const QVariantMap& userInfo = {});
    // Posts on the main thread: at once when called there, else queued to it (the center must outlive it).
    void postOnMainThread(const QString& name, const QVariant& object = QVariant(),
                          const QVariantMap& userInfo = {});

private:
    struct Entry;
    std::mutex mutex;
    std::vector<std::shared_ptr<Entry>> entries;
    Token nextToken = 1;
};

// Removes its observer when it goes away: keep one as a member of the observing object.
class ObserverHandle {
public:
    ObserverHandle() = default;
    ObserverHandle(NotificationCenter& center, NotificationCenter::Token token)
        : center(&center), token(token) {}
    ObserverHandle(ObserverHandle&& other) noexcept { *this = std::move(other); }
    ObserverHandle& operator=(ObserverHandle&& other) noexcept;
    ~ObserverHandle() { reset(); }
    void reset();

private:
    NotificationCenter* center = nullptr;
    NotificationCenter::Token token = 0;
};

} // namespace platform
