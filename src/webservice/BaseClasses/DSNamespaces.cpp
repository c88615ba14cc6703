#include "webservice/BaseClasses/DSNamespaces.h"

#include "platform/net/ServiceAddresses.h"

namespace {

using platform::net::ServiceAddress;
using platform::net::ServiceAddresses;

struct ServiceNamespaces {
    QString ds = ServiceAddresses::value(ServiceAddress::DSNamespace);
    QString openSearch = ServiceAddresses::value(ServiceAddress::OpenSearchNamespace);
    QString batch = ServiceAddresses::value(ServiceAddress::BatchNamespace);
    QString videoSite = ServiceAddresses::value(ServiceAddress::VideoServiceNamespace);
    QString kindScheme = ds + QStringLiteral("#kind");
    QString labelScheme = ds + QStringLiteral("/labels");
};

const ServiceNamespaces& serviceNamespaces() {
    static const ServiceNamespaces namespaces;
    return namespaces;
}

} // namespace

const QString& DSNamespaceDS() {
    return serviceNamespaces().ds;
}

const QString& DSNamespaceOpenSearch() {
    return serviceNamespaces().openSearch;
}

const QString& DSNamespaceBatch() {
    return serviceNamespaces().batch;
}

const QString& DSNamespaceVideoSite() {
    return serviceNamespaces().videoSite;
}

const QString& DSCategoryKindScheme() {
    return serviceNamespaces().kindScheme;
}

const QString& DSCategoryLabelScheme() {
    return serviceNamespaces().labelScheme;
}
