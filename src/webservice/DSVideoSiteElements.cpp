#include "webservice/DSVideoSiteElements.h"

namespace {

DSClassInfo videoSiteInfo(const char* name, const char* localName, QStringList attributes,
                          bool contentValue) {
    DSClassInfo info = DSElementInfo(name, DSNamespaceVideoSite(), kDSNamespaceVideoSitePrefix, localName);
    info.attributes = std::move(attributes);
    info.contentValue = contentValue;
    return info;
}

} // namespace

DSClassInfo DSVideoSiteAccessControl::classInfo() {
    return videoSiteInfo("DSVideoSiteAccessControl", "accessControl",
                         {QStringLiteral("action"), QStringLiteral("permission"), QStringLiteral("type")},
                         true);
}

std::shared_ptr<DSVideoSiteAccessControl>
DSVideoSiteAccessControl::accessControlWithAction(const QString& action, const QString& permission) {
    auto control = object();
    control->setAction(action);
    control->setPermission(permission);
    return control;
}

DSClassInfo DSVideoSitePublicationState::classInfo() {
    return videoSiteInfo("DSVideoSitePublicationState", "state",
                         {QStringLiteral("name"), QStringLiteral("reasonCode"), QStringLiteral("helpUrl")},
                         true);
}

DSClassInfo DSVideoSiteRating::classInfo() {
    return videoSiteInfo("DSVideoSiteRating", "rating",
                         {QStringLiteral("value"), QStringLiteral("numLikes"), QStringLiteral("numDislikes")},
                         false);
}

std::shared_ptr<DSVideoSiteRating> DSVideoSiteRating::ratingWithValue(const QString& value) {
    auto rating = object();
    rating->setValue(value);
    return rating;
}

DSClassInfo DSVideoSiteStatistics::classInfo() {
    return videoSiteInfo("DSVideoSiteStatistics", "statistics",
                         {QStringLiteral("viewCount"), QStringLiteral("videoWatchCount"),
                          QStringLiteral("subscriberCount"), QStringLiteral("favoriteCount"),
                          QStringLiteral("lastWebAccess"), QStringLiteral("totalUploadViews")},
                         false);
}

void DSVideoSiteStatistics::addAttributesToElement(const DSXMLElementRef& element) const {
    if (!attributes())
        return;
    for (auto it = attributes()->cbegin(); it != attributes()->cend(); ++it)
        if (it.value() != QLatin1String("0"))
            addToElementAttributeValueIfNonNil(element, it.value(), it.key());
}
