#pragma once

#include <QString>

#include <functional>
#include <memory>

// Whether the provider's host can be reached, as the sign-in watches it while the user is away in the
// browser. The answer is given as flags: reachable (2) without a connection required (4) counts as
// reachable. The system's watcher reads Qt's network information, which knows the machine's connectivity
// rather than one host's; where no backend loads, every host counts as reachable.
class NetOAuth2Reachability {
public:
    enum Flags : unsigned { kReachable = 2, kConnectionRequired = 4 };
    using Callback = std::function<void(unsigned flags)>;
    using Factory = std::function<std::unique_ptr<NetOAuth2Reachability>()>;

    virtual ~NetOAuth2Reachability() = default;
    // Tells `callback`, on this thread's loop, of each change and of the state when it is first known;
    // false when it cannot watch. Nothing is told after stopWatching() or the watcher's end.
    virtual bool startWatching(const QString& host, Callback callback) = 0;
    virtual void stopWatching() = 0;

    // A new watcher from the factory (tests install a fake one); an empty factory restores the system's.
    static std::unique_ptr<NetOAuth2Reachability> make();
    static void setFactory(Factory factory);
};
