#pragma once

// The video service's feeds. Each names its kind; its entries are made by the class their own kind names.

#include "webservice/BaseClasses/DSFeedBase.h"
#include "webservice/DSEntryVideoSiteVideo.h"

// Declares a feed class of the kind "<schema>#<fragment>" with its maker.
#define DS_VIDEOSITE_FEED(Class, maker, fragment)                                                            \
    class Class : public DSFeedClassOf<Class, DSFeedBase> {                                                  \
    public:                                                                                                  \
        static DSClassInfo classInfo() {                                                                     \
            return {.name = #Class,                                                                          \
                    .defaultServiceVersion = "2.0",                                                          \
                    .standardKind = DSVideoSiteConstants::schemaFragment(fragment)};                         \
        }                                                                                                    \
        static std::shared_ptr<Class> maker() { return DSVideoSiteObject<Class>(); }                         \
    }

DS_VIDEOSITE_FEED(DSFeedVideoSiteVideo, videoFeed, "video");
DS_VIDEOSITE_FEED(DSFeedVideoSiteVideoMessage, videoMessageFeed, "videoMessage");
DS_VIDEOSITE_FEED(DSFeedVideoSiteFavorite, favoriteFeed, "favorite");
DS_VIDEOSITE_FEED(DSFeedVideoSiteUserProfile, userProfileFeed, "userProfile");
DS_VIDEOSITE_FEED(DSFeedVideoSiteUserEvent, userEventFeed, "userEvent");
DS_VIDEOSITE_FEED(DSFeedVideoSiteSubscription, subscriptionFeed, "subscription");
DS_VIDEOSITE_FEED(DSFeedVideoSiteChannel, channelFeed, "channel");
DS_VIDEOSITE_FEED(DSFeedVideoSiteFriend, friendFeed, "friend");
DS_VIDEOSITE_FEED(DSFeedVideoSiteComplaint, complaintFeed, "complaint");
DS_VIDEOSITE_FEED(DSFeedVideoSiteComment, commentFeed, "comment");
DS_VIDEOSITE_FEED(DSFeedVideoSiteRating, ratingFeed, "rating");
DS_VIDEOSITE_FEED(DSFeedVideoSitePlaylistLink, playlistLinkFeed, "playlistLink");
DS_VIDEOSITE_FEED(DSFeedVideoSiteCaptionTrack, captionTrackFeed, "captionTrack");

// A playlist: its videos, whether it is private, its id and its media group.
class DSFeedVideoSitePlaylist : public DSFeedClassOf<DSFeedVideoSitePlaylist, DSFeedBase> {
public:
    static DSClassInfo classInfo();
    static std::shared_ptr<DSFeedVideoSitePlaylist> playlistFeed() {
        return DSVideoSiteObject<DSFeedVideoSitePlaylist>();
    }

    bool isPrivate() const { return DSVideoSiteFlag<DSVideoSitePrivate>(*this); }
    void setIsPrivate(bool value) { DSSetVideoSiteFlag<DSVideoSitePrivate>(*this, value); }
    std::shared_ptr<DSVideoSiteMediaGroup> mediaGroup() const { return objectFor<DSVideoSiteMediaGroup>(); }
    void setMediaGroup(const std::shared_ptr<DSVideoSiteMediaGroup>& value) {
        setObject(value, DSVideoSiteMediaGroup::staticClass());
    }
    QString playlistID() const { return stringValueFor<DSVideoSitePlaylistID>(); }
    void setPlaylistID(const QString& value) { setStringValueFor<DSVideoSitePlaylistID>(value); }

    QStringList itemsForDescription() const override;
};
