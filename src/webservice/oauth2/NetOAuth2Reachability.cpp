#include "webservice/oauth2/NetOAuth2Reachability.h"

#include <QMetaObject>
#include <QNetworkInformation>
#include <QObject>

#include <mutex>

namespace {

class SystemReachability : public NetOAuth2Reachability {
public:
    ~SystemReachability() override { stopWatching(); }

    bool startWatching(const QString&, Callback callback) override {
        stopWatching();
        if (!QNetworkInformation::instance())
            QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability);
        QNetworkInformation* information = QNetworkInformation::instance();
        if (!information)
            return true; // nothing to read: the host counts as reachable, and no change ever comes
        receiver = std::make_unique<QObject>();
        QObject::connect(
            information, &QNetworkInformation::reachabilityChanged, receiver.get(),
            [callback](QNetworkInformation::Reachability reachability) { callback(flagsFor(reachability)); });
        QMetaObject::invokeMethod(
            receiver.get(), [callback, information] { callback(flagsFor(information->reachability())); },
            Qt::QueuedConnection);
        return true;
    }

    void stopWatching() override { receiver.reset(); }

private:
    static unsigned flagsFor(QNetworkInformation::Reachability reachability) {
        switch (reachability) {
        case QNetworkInformation::Reachability::Disconnected:
        case QNetworkInformation::Reachability::Local:
            return 0;
        case QNetworkInformation::Reachability::Unknown:
        case QNetworkInformation::Reachability::Site:
        case QNetworkInformation::Reachability::Online:
            break;
        }
        return kReachable;
    }

    std::unique_ptr<QObject> receiver; // ends the connection and any queued first answer with it
};

std::mutex factoryMutex;
NetOAuth2Reachability::Factory installedFactory;

} // namespace

std::unique_ptr<NetOAuth2Reachability> NetOAuth2Reachability::make() {
    Factory factory;
    {
        std::lock_guard lock(factoryMutex);
        factory = installedFactory;
    }
    if (factory)
        return factory();
    return std::make_unique<SystemReachability>();
}

void NetOAuth2Reachability::setFactory(Factory factory) {
    std::lock_guard lock(factoryMutex);
    installedFactory = std::move(factory);
}
