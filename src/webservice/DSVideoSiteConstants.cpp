#include "webservice/DSVideoSiteConstants.h"

#include "webservice/BaseClasses/DSEntryBase.h"
#include "webservice/Geo/DSGeo.h"

namespace DSVideoSiteConstants {

DSStringMap videoSiteNamespaces() {
    DSStringMap namespaces = DSEntryBase::baseDSNamespaces();
    namespaces.insert(QLatin1String(kDSNamespaceVideoSitePrefix), DSNamespaceVideoSite());
    namespaces.insert(QLatin1String(kDSNamespaceMediaPrefix), QLatin1String(kDSNamespaceMedia));
    const DSStringMap geo = DSGeo::geoNamespaces();
    for (auto it = geo.cbegin(); it != geo.cend(); ++it)
        namespaces.insert(it.key(), it.value());
    return namespaces;
}

QString schemaFragment(const char* fragment) {
    return DSNamespaceVideoSite() + QLatin1Char('#') + QLatin1String(fragment);
}

QString categoryScheme(const char* name) {
    return DSNamespaceVideoSite() + QLatin1Char('/') + QLatin1String(name);
}

} // namespace DSVideoSiteConstants
