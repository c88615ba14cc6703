#include "webservice/DSClasses.h"

#include "webservice/BaseClasses/DSEntryBase.h"
#include "webservice/BaseClasses/DSFeedBase.h"
#include "webservice/DSEntryContent.h"
#include "webservice/DSEntryVideoSiteUpload.h"
#include "webservice/DSFeedLink.h"
#include "webservice/DSMediaGroup.h"
#include "webservice/DSRating.h"
#include "webservice/DSValueConstruct.h"
#include "webservice/DSVideoSiteEntries.h"
#include "webservice/DSVideoSiteFeeds.h"
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
            // the video service's elements
            &DSVideoSiteAboutMe::staticClass,
            &DSVideoSiteAge::staticClass,
            &DSVideoSiteAspectRatio::staticClass,
            &DSVideoSiteBooks::staticClass,
            &DSVideoSiteCommentRating::staticClass,
            &DSVideoSiteCompany::staticClass,
            &DSVideoSiteCountHint::staticClass,
            &DSVideoSiteDerived::staticClass,
            &DSVideoSiteHobbies::staticClass,
            &DSVideoSiteHometown::staticClass,
            &DSVideoSiteLocation::staticClass,
            &DSVideoSiteMovies::staticClass,
            &DSVideoSiteMusic::staticClass,
            &DSVideoSiteOccupation::staticClass,
            &DSVideoSiteSchool::staticClass,
            &DSVideoSiteGender::staticClass,
            &DSVideoSiteRelationship::staticClass,
            &DSVideoSitePosition::staticClass,
            &DSVideoSiteFirstName::staticClass,
            &DSVideoSiteLastName::staticClass,
            &DSVideoSitePlaylistID::staticClass,
            &DSVideoSitePlaylistTitle::staticClass,
            &DSVideoSiteQueryString::staticClass,
            &DSVideoSiteStatus::staticClass,
            &DSVideoSiteUsername::staticClass,
            &DSVideoSiteToken::staticClass,
            &DSVideoSiteRecordedDate::staticClass,
            &DSVideoSiteUploadedDate::staticClass,
            &DSVideoSiteVideoID::staticClass,
            &DSVideoSiteNonEmbeddable::staticClass,
            &DSVideoSitePrivate::staticClass,
            &DSVideoSiteSpam::staticClass,
            &DSVideoSiteIncomplete::staticClass,
            &DSVideoSiteDuration::staticClass,
            &DSVideoSiteFormatAttribute::staticClass,
            &DSVideoSiteNameAttribute::staticClass,
            &DSVideoSiteCountryAttribute::staticClass,
            &DSVideoSiteTypeAttribute::staticClass,
            &DSVideoSiteAccessControl::staticClass,
            &DSVideoSitePublicationState::staticClass,
            &DSVideoSiteRating::staticClass,
            &DSVideoSiteStatistics::staticClass,
            &DSVideoSiteMediaGroup::staticClass,
            &DSEntryVideoSiteUpload::staticClass,
            &DSEntryVideoSiteFeedLinkBase::staticClass,
        };
        // The video service's entries and feeds, found by the kind their documents name.
        const DSClassGetter entries[] = {
            &DSEntryVideoSiteVideo::staticClass,        &DSEntryVideoSiteVideoMessage::staticClass,
            &DSEntryVideoSiteFavorite::staticClass,     &DSEntryVideoSitePlaylist::staticClass,
            &DSEntryVideoSiteUserProfile::staticClass,  &DSEntryVideoSiteUserEvent::staticClass,
            &DSEntryVideoSiteSubscription::staticClass, &DSEntryVideoSitePlaylistLink::staticClass,
            &DSEntryVideoSiteChannel::staticClass,      &DSEntryVideoSiteFriend::staticClass,
            &DSEntryVideoSiteComplaint::staticClass,    &DSEntryVideoSiteComment::staticClass,
            &DSEntryVideoSiteRating::staticClass,       &DSEntryVideoSiteCaptionTrack::staticClass,
        };
        const DSClassGetter feeds[] = {
            &DSFeedVideoSiteVideo::staticClass,        &DSFeedVideoSiteVideoMessage::staticClass,
            &DSFeedVideoSiteFavorite::staticClass,     &DSFeedVideoSiteUserProfile::staticClass,
            &DSFeedVideoSiteUserEvent::staticClass,    &DSFeedVideoSiteSubscription::staticClass,
            &DSFeedVideoSiteChannel::staticClass,      &DSFeedVideoSiteFriend::staticClass,
            &DSFeedVideoSiteComplaint::staticClass,    &DSFeedVideoSiteComment::staticClass,
            &DSFeedVideoSiteRating::staticClass,       &DSFeedVideoSitePlaylist::staticClass,
            &DSFeedVideoSitePlaylistLink::staticClass, &DSFeedVideoSiteCaptionTrack::staticClass,
        };
        for (DSClassGetter cls : classes)
            DSClass::registerClassName(cls());
        for (DSClassGetter cls : entries) {
            DSClass::registerClassName(cls());
            DSEntryBase::registerEntryClass(cls());
        }
        for (DSClassGetter cls : feeds) {
            DSClass::registerClassName(cls());
            DSFeedBase::registerFeedClass(cls());
        }
    });
}
