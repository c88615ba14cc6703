#pragma once

#include <QString>
#include <QUrl>

#include <vector>

namespace platform::net {

// The addresses the web side talks to, in one table: the OAuth 2 provider's two hosts, the video service's
// feed and upload roots, and the XML namespace URIs that are the service's own (the published namespaces of
// Atom, AtomPub, Media RSS and the geo standards are fixed where the documents are read). Each has a default
// of ours; each can be replaced from the user defaults, under the group "ServiceAddresses" (the section
// "[ServiceAddresses]" of ~/.config/Vistrelle/Vistrelle.conf), so that a test, a staging service or a mirror
// takes the app elsewhere without a rebuild.
enum class ServiceAddress {
    ProviderAuthorizationServer, // the provider's OAuth 2 server: "/o/oauth2/auth", "/o/oauth2/token", ...
    ProviderAPIHost,        // the provider's API host: "/oauth2/v1/userinfo" and the user-information scopes
    VideoServiceFeedRoot,   // the service's feed root, ending in "/feeds/"
    VideoServiceUploadRoot, // the service's upload root, ending in "/resumable/feeds/"
    DSNamespace,
    OpenSearchNamespace,
    BatchNamespace,
    VideoServiceNamespace,
};

class ServiceAddresses {
public:
    static constexpr char kGroup[] = "ServiceAddresses";

    struct Entry {
        ServiceAddress address;
        const char* key; // the setting's name in the group
        const char* defaultValue;
    };
    static const std::vector<Entry>& table();

    // The user's setting when it is there and not empty, else the default.
    static QString value(ServiceAddress address);
    static QUrl url(ServiceAddress address) { return QUrl(value(address)); }
    static QString key(ServiceAddress address);
};

} // namespace platform::net
