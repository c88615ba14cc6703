#include "platform/net/ServiceAddresses.h"

#include "platform/foundation/UserDefaults.h"

#include <algorithm>

namespace platform::net {

const std::vector<ServiceAddresses::Entry>& ServiceAddresses::table() {
    // The hosts are placeholders under the reserved ".example" domain: a real service is set in the defaults.
    static const std::vector<Entry> entries = {
        {ServiceAddress::ProviderAuthorizationServer, "ProviderAuthorizationServer",
         "https://accounts.corvanta.example"},
        {ServiceAddress::ProviderAPIHost, "ProviderAPIHost", "https://api.corvanta.example"},
        {ServiceAddress::VideoServiceFeedRoot, "VideoServiceFeedRoot",
         "https://videos.corvanta.example/feeds/"},
        {ServiceAddress::VideoServiceUploadRoot, "VideoServiceUploadRoot",
         "https://uploads.corvanta.example/resumable/feeds/"},
        {ServiceAddress::DSNamespace, "DSNamespace", "http://schemas.vistrelle.invalid/ds/2005"},
        {ServiceAddress::OpenSearchNamespace, "OpenSearchNamespace",
         "http://schemas.vistrelle.invalid/opensearch/1.1/"},
        {ServiceAddress::BatchNamespace, "BatchNamespace", "http://schemas.vistrelle.invalid/ds/batch"},
        {ServiceAddress::VideoServiceNamespace, "VideoServiceNamespace",
         "http://schemas.vistrelle.invalid/videosite/2007"},
    };
    return entries;
}

namespace {

const ServiceAddresses::Entry& entryFor(ServiceAddress address) {
    const auto& entries = ServiceAddresses::table();
    return *std::find_if(entries.begin(), entries.end(),
                         [&](const auto& entry) { return entry.address == address; });
}

} // namespace

QString ServiceAddresses::key(ServiceAddress address) {
    return QString::fromLatin1(entryFor(address).key);
}

QString ServiceAddresses::value(ServiceAddress address) {
    const Entry& entry = entryFor(address);
    const QString fallback = QString::fromLatin1(entry.defaultValue);
    const QString set = UserDefaults::standard()
                            .groupString(QString::fromLatin1(kGroup), QString::fromLatin1(entry.key))
                            .trimmed();
    return set.isEmpty() ? fallback : set;
}

} // namespace platform::net
