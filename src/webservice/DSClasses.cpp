#include "webservice/DSClasses.h"

#include "webservice/BaseClasses/DSEntryBase.h"
#include "webservice/BaseClasses/DSFeedBase.h"
#include "webservice/DSEntryContent.h"
#include "webservice/DSFeedLink.h"
#include "webservice/DSMediaGroup.h"
#include "webservice/DSRating.h"
#include "webservice/DSValueConstruct.h"
#include "webservice/Geo/DSGeo.h"

#include <mutex>

void registerDsClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        const DSClassGetter classes[] = {
            &DSObject::staticClass,
            &DSAttribute::staticClass,
            &DSEntryBase::staticClass,
            &DSFeedBase::staticClass,
            &DSValueConstruct::staticClass,
            &DSNameValueConstruct::staticClass,
            &DSValueElementConstruct::staticClass,
            &DSImplicitValueConstruct::staticClass,
            &DSBoolValueConstruct::staticClass,
            &DSEntryContent::staticClass,
            &DSRating::staticClass,
            // Atom, AtomPub, OpenSearch and DS
            &DSResourceID::staticClass,
            &DSAtomID::staticClass,
            &DSAtomPublishedDate::staticClass,
            &DSAtomUpdatedDate::staticClass,
            &DSAtomPubEditedDate::staticClass,
            &DSAtomIcon::staticClass,
            &DSAtomLogo::staticClass,
            &DSOpenSearchTotalResults::staticClass,
            &DSOpenSearchStartIndex::staticClass,
            &DSOpenSearchItemsPerPage::staticClass,
            &DSAtomPubDraft::staticClass,
            &DSPersonName::staticClass,
            &DSPersonEmail::staticClass,
            &DSPersonURI::staticClass,
            &DSTextConstruct::staticClass,
            &DSAtomTitle::staticClass,
            &DSAtomSubtitle::staticClass,
            &DSAtomSummary::staticClass,
            &DSAtomRights::staticClass,
            &DSAtomContent::staticClass,
            &DSETagAttribute::staticClass,
            &DSFieldsAttribute::staticClass,
            &DSKindAttribute::staticClass,
            &DSAtomPubControl::staticClass,
            &DSLink::staticClass,
            &DSPerson::staticClass,
            &DSAtomAuthor::staticClass,
            &DSAtomContributor::staticClass,
            &DSComment::staticClass,
            &DSEntryLink::staticClass,
            &DSFeedLink::staticClass,
            &DSCategory::staticClass,
            &DSDeleted::staticClass,
            &DSGenerator::staticClass,
            // batch
            &DSBatchOperation::staticClass,
            &DSBatchID::staticClass,
            &DSBatchStatus::staticClass,
            &DSBatchInterrupted::staticClass,
            // geo
            &DSGeo::staticClass,
            &DSGeoRSSPoint::staticClass,
            &DSGeoRSSWhere::staticClass,
            &DSGeoW3CPoint::staticClass,
            &DSGeoRSSFeatureName::staticClass,
            &DSGeoRSSRadius::staticClass,
            // Media RSS
            &DSMediaGroup::staticClass,
            &DSMediaTitle::staticClass,
            &DSMediaDescription::staticClass,
            &DSMediaKeywords::staticClass,
            &DSMediaCategory::staticClass,
            &DSMediaContent::staticClass,
            &DSMediaCredit::staticClass,
            &DSMediaPlayer::staticClass,
            &DSMediaRating::staticClass,
            &DSMediaRestriction::staticClass,
            &DSMediaThumbnail::staticClass,
        };
        for (DSClassGetter cls : classes)
            DSClass::registerClassName(cls());
        // Entry and feed classes of the service register their kinds here (DSEntryBase::registerEntryClass).
    });
}
