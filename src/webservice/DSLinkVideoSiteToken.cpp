// The accessors the video service adds to every link.

#include "webservice/DSLink.h"
#include "webservice/DSVideoSiteElements.h"

std::shared_ptr<DSVideoSiteToken> DSLink::videoSiteToken() const {
    return objectFor<DSVideoSiteToken>();
}

void DSLink::setVideoSiteToken(const std::shared_ptr<DSVideoSiteToken>& token) {
    setObject(token, DSVideoSiteToken::staticClass());
}
