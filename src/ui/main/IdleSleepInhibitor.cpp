#include "ui/main/IdleSleepInhibitor.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>

namespace {

constexpr int kCallTimeoutMs = 1000;

std::unique_ptr<QDBusInterface> screenSaver() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return nullptr;
    auto service = std::make_unique<QDBusInterface>(QStringLiteral("org.freedesktop.ScreenSaver"),
                                                    QStringLiteral("/org/freedesktop/ScreenSaver"),
                                                    QStringLiteral("org.freedesktop.ScreenSaver"), bus);
    if (!service->isValid())
        return nullptr;
    service->setTimeout(kCallTimeoutMs);
    return service;
}

} // namespace

IdleSleepInhibitor::~IdleSleepInhibitor() {
    release();
}

bool IdleSleepInhibitor::inhibit(const QString& application, const QString& reason) {
    if (held)
        return true;
    const auto service = screenSaver();
    if (!service)
        return false;
    const QDBusReply<unsigned> reply = service->call(QStringLiteral("Inhibit"), application, reason);
    if (!reply.isValid())
        return false;
    cookie = reply.value();
    held = true;
    return true;
}

void IdleSleepInhibitor::release() {
    if (!held)
        return;
    held = false;
    if (const auto service = screenSaver())
        service->call(QStringLiteral("UnInhibit"), cookie);
}
