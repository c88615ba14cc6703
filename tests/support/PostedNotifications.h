#pragma once

#include "platform/foundation/NotificationCenter.h"

#include <vector>

namespace test_support {

// Collects the posts of one notification on the default centre for as long as it lives.
struct PostedNotifications {
    explicit PostedNotifications(const QString& name)
        : handle(platform::NotificationCenter::defaultCenter(),
                 platform::NotificationCenter::defaultCenter().addObserver(
                     name, [this](const platform::Notification& posted) { list.push_back(posted); })) {}
    std::vector<platform::Notification> list;
    platform::ObserverHandle handle;
};

} // namespace test_support
