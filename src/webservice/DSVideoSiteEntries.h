#pragma once

// The video service's other entries: user profiles and events, subscriptions, playlist links, channels,
// friends, complaints, comments, ratings and caption tracks.

#include "webservice/DSEntryVideoSiteVideo.h"

// A string value element's accessor pair.
#define DS_VIDEOSITE_STRING(getter, setter, Class)                                                           \
    QString getter() const {                                                                                 \
        return stringValueFor<Class>();                                                                      \
    }                                                                                                        \
    void setter(const QString& value) {                                                                      \
        setStringValueFor<Class>(value);                                                                     \
    }

// The feed links of an entry, and the first one of a relation.
template <class Self> class DSVideoSiteFeedLinks {
public:
    QList<std::shared_ptr<DSFeedLink>> feedLinks() const { return self().template objectsFor<DSFeedLink>(); }
    std::shared_ptr<DSFeedLink> feedLinkForRel(const QString& rel) const {
        for (const auto& link : feedLinks())
            if (link->rel() == rel)
                return link;
        return nullptr;
    }
    // The term of the first category of the service's scheme of that file name; none when there is none.
    QString termOfSchemeNamed(const char* name) const {
        const auto found =
            DSCategory::categoriesWithScheme(DSVideoSiteConstants::categoryScheme(name), self().categories());
        return found.isEmpty() ? QString() : found.first()->term();
    }

private:
    const Self& self() const { return static_cast<const Self&>(*this); }
};

class DSEntryVideoSiteUserProfile : public DSEntryClassOf<DSEntryVideoSiteUserProfile, DSEntryBase>,
                                    public DSVideoSiteFeedLinks<DSEntryVideoSiteUserProfile> {
public:
    static DSClassInfo classInfo();
    static std::shared_ptr<DSEntryVideoSiteUserProfile> userProfileEntry() {
        return DSVideoSiteObject<DSEntryVideoSiteUserProfile>();
    }

    DS_VIDEOSITE_STRING(aboutMe, setAboutMe, DSVideoSiteAboutMe)
    DS_VIDEOSITE_STRING(books, setBooks, DSVideoSiteBooks)
    DS_VIDEOSITE_STRING(company, setCompany, DSVideoSiteCompany)
    DS_VIDEOSITE_STRING(gender, setGender, DSVideoSiteGender)
    DS_VIDEOSITE_STRING(hobbies, setHobbies, DSVideoSiteHobbies)
    DS_VIDEOSITE_STRING(hometown, setHometown, DSVideoSiteHometown)
    DS_VIDEOSITE_STRING(location, setLocation, DSVideoSiteLocation)
    DS_VIDEOSITE_STRING(movies, setMovies, DSVideoSiteMovies)
    DS_VIDEOSITE_STRING(music, setMusic, DSVideoSiteMusic)
    DS_VIDEOSITE_STRING(occupation, setOccupation, DSVideoSiteOccupation)
    DS_VIDEOSITE_STRING(relationship, setRelationship, DSVideoSiteRelationship)
    DS_VIDEOSITE_STRING(school, setSchool, DSVideoSiteSchool)
    DS_VIDEOSITE_STRING(username, setUsername, DSVideoSiteUsername)
    DS_VIDEOSITE_STRING(firstName, setFirstName, DSVideoSiteFirstName)
    DS_VIDEOSITE_STRING(lastName, setLastName, DSVideoSiteLastName)
    std::optional<int> age() const { return DSVideoSiteNumber<DSVideoSiteAge>(*this); }
    void setAge(std::optional<int> age) { DSSetVideoSiteNumber<DSVideoSiteAge>(*this, age); }
    std::shared_ptr<DSMediaThumbnail> thumbnail() const { return objectFor<DSMediaThumbnail>(); }
    void setThumbnail(const std::shared_ptr<DSMediaThumbnail>& value) {
        setObject(value, DSMediaThumbnail::staticClass());
    }
    std::shared_ptr<DSVideoSiteStatistics> statistics() const { return objectFor<DSVideoSiteStatistics>(); }
    void setStatistics(const std::shared_ptr<DSVideoSiteStatistics>& value) {
        setObject(value, DSVideoSiteStatistics::staticClass());
    }
    QString channelType() const { return termOfSchemeNamed("channeltypes.cat"); }

    std::shared_ptr<DSLink> videoLogLink() const { return schemaLink("user.vlog"); }
    std::shared_ptr<DSLink> featuredVideoLink() const { return schemaLink("featured-video"); }
    std::shared_ptr<DSFeedLink> favoritesFeedLink() const { return schemaFeedLink("user.favorites"); }
    std::shared_ptr<DSFeedLink> contactsFeedLink() const { return schemaFeedLink("user.contacts"); }
    std::shared_ptr<DSFeedLink> inboxFeedLink() const { return schemaFeedLink("user.inbox"); }
    std::shared_ptr<DSFeedLink> playlistsFeedLink() const { return schemaFeedLink("user.playlists"); }
    std::shared_ptr<DSFeedLink> subscriptionsFeedLink() const { return schemaFeedLink("user.subscriptions"); }
    std::shared_ptr<DSFeedLink> uploadsFeedLink() const { return schemaFeedLink("user.uploads"); }
    std::shared_ptr<DSFeedLink> recentSubscriptionVideosFeedLink() const {
        return schemaFeedLink("user.newsubscriptionvideos");
    }
    std::shared_ptr<DSFeedLink> friendsActivityFeedLink() const {
        return schemaFeedLink("user.friendsactivity");
    }
    std::shared_ptr<DSFeedLink> recentActivityFeedLink() const {
        return schemaFeedLink("user.recentactivity");
    }

    QStringList itemsForDescription() const override;

private:
    std::shared_ptr<DSLink> schemaLink(const char* fragment) const {
        return linkWithRelAttributeValue(DSVideoSiteConstants::schemaFragment(fragment));
    }
    std::shared_ptr<DSFeedLink> schemaFeedLink(const char* fragment) const {
        return feedLinkForRel(DSVideoSiteConstants::schemaFragment(fragment));
    }
};

class DSEntryVideoSiteUserEvent : public DSEntryClassOf<DSEntryVideoSiteUserEvent, DSEntryBase> {
public:
    static DSClassInfo classInfo();
    static std::shared_ptr<DSEntryVideoSiteUserEvent> userEventEntry() {
        return DSVideoSiteObject<DSEntryVideoSiteUserEvent>();
    }

    DS_VIDEOSITE_STRING(videoID, setVideoID, DSVideoSiteVideoID)
    DS_VIDEOSITE_STRING(username, setUsername, DSVideoSiteUsername)
    std::shared_ptr<DSVideoSiteRating> rating() const { return objectFor<DSVideoSiteRating>(); }
    void setRating(const std::shared_ptr<DSVideoSiteRating>& value) {
        setObject(value, DSVideoSiteRating::staticClass());
    }
    QString userEventType() const;
    // Replaces every category of the user-event scheme by one with the term; none leaves none.
    void setUserEventType(const QString& type);
    std::shared_ptr<DSLink> videoLink() const;
    std::shared_ptr<DSLink> commentLink() const;

    QStringList itemsForDescription() const override;
};

// The base of the entries that link to a feed: subscriptions and playlist links.
class DSEntryVideoSiteFeedLinkBase : public DSEntryClassOf<DSEntryVideoSiteFeedLinkBase, DSEntryBase> {
public:
    static DSClassInfo classInfo();

    std::shared_ptr<DSMediaGroup> mediaGroup() const { return objectFor<DSMediaGroup>(); }
    void setMediaGroup(const std::shared_ptr<DSMediaGroup>& value) {
        setObject(value, DSMediaGroup::staticClass());
    }
    DS_VIDEOSITE_STRING(countHint, setCountHint, DSVideoSiteCountHint)
    DS_VIDEOSITE_STRING(playlistID, setPlaylistID, DSVideoSitePlaylistID)

    QStringList itemsForDescription() const override;
};

class DSEntryVideoSiteSubscription
    : public DSEntryClassOf<DSEntryVideoSiteSubscription, DSEntryVideoSiteFeedLinkBase>,
      public DSVideoSiteFeedLinks<DSEntryVideoSiteSubscription> {
public:
    static DSClassInfo classInfo();
    static std::shared_ptr<DSEntryVideoSiteSubscription> subscriptionEntry() {
        return DSVideoSiteObject<DSEntryVideoSiteSubscription>();
    }

    DS_VIDEOSITE_STRING(username, setUsername, DSVideoSiteUsername)
    DS_VIDEOSITE_STRING(videoSiteQueryString, setVideoSiteQueryString, DSVideoSiteQueryString)
    DS_VIDEOSITE_STRING(playlistTitle, setPlaylistTitle, DSVideoSitePlaylistTitle)
    QString subscriptionType() const { return termOfSchemeNamed("subscriptiontypes.cat"); }

    QStringList itemsForDescription() const override;
};

class DSEntryVideoSitePlaylistLink
    : public DSEntryClassOf<DSEntryVideoSitePlaylistLink, DSEntryVideoSiteFeedLinkBase> {
public:
    static DSClassInfo classInfo();
    static std::shared_ptr<DSEntryVideoSitePlaylistLink> playlistLinkEntry() {
        return DSVideoSiteObject<DSEntryVideoSitePlaylistLink>();
    }
    bool isPrivate() const { return DSVideoSiteFlag<DSVideoSitePrivate>(*this); }
    void setIsPrivate(bool value) { DSSetVideoSiteFlag<DSVideoSitePrivate>(*this, value); }

    QStringList itemsForDescription() const override;
};

class DSEntryVideoSiteChannel : public DSEntryClassOf<DSEntryVideoSiteChannel, DSEntryBase>,
                                public DSVideoSiteFeedLinks<DSEntryVideoSiteChannel> {
public:
    static DSClassInfo classInfo();
    static std::shared_ptr<DSEntryVideoSiteChannel> channelEntry() {
        return DSVideoSiteObject<DSEntryVideoSiteChannel>();
    }
    QString channelType() const { return termOfSchemeNamed("channeltypes.cat"); }
    std::shared_ptr<DSFeedLink> uploadsFeedLink() const {
        return feedLinkForRel(DSVideoSiteConstants::schemaFragment("user.uploads"));
    }
    std::shared_ptr<DSFeedLink> featuredFeedLink() const {
        return feedLinkForRel(DSVideoSiteConstants::schemaFragment("featured-video"));
    }

    QStringList itemsForDescription() const override;
};

class DSEntryVideoSiteFriend : public DSEntryClassOf<DSEntryVideoSiteFriend, DSEntryBase> {
public:
    static DSClassInfo classInfo();
    static std::shared_ptr<DSEntryVideoSiteFriend> friendEntry() {
        return DSVideoSiteObject<DSEntryVideoSiteFriend>();
    }
    DS_VIDEOSITE_STRING(username, setUsername, DSVideoSiteUsername)
    DS_VIDEOSITE_STRING(status, setStatus, DSVideoSiteStatus)

    QStringList itemsForDescription() const override;
};

class DSEntryVideoSiteComplaint : public DSEntryClassOf<DSEntryVideoSiteComplaint, DSEntryBase> {
public:
    static DSClassInfo classInfo();
    static std::shared_ptr<DSEntryVideoSiteComplaint> complaintEntry() {
        return DSVideoSiteObject<DSEntryVideoSiteComplaint>();
    }
    QUrl videoURL() const {
        const auto link = relatedLink();
        return link ? link->URL() : QUrl();
    }
};

class DSEntryVideoSiteComment : public DSEntryClassOf<DSEntryVideoSiteComment, DSEntryBase> {
public:
    static DSClassInfo classInfo();
    static std::shared_ptr<DSEntryVideoSiteComment> commentEntry() {
        return DSVideoSiteObject<DSEntryVideoSiteComment>();
    }
    std::optional<int> totalRating() const { return DSVideoSiteNumber<DSVideoSiteCommentRating>(*this); }
    void setTotalRating(std::optional<int> value) {
        DSSetVideoSiteNumber<DSVideoSiteCommentRating>(*this, value);
    }
    bool hasSpam() const { return DSVideoSiteFlag<DSVideoSiteSpam>(*this); }
    void setHasSpam(bool value) { DSSetVideoSiteFlag<DSVideoSiteSpam>(*this, value); }

    QStringList itemsForDescription() const override;
};

class DSEntryVideoSiteRating : public DSEntryClassOf<DSEntryVideoSiteRating, DSEntryBase> {
public:
    static DSClassInfo classInfo();
    static std::shared_ptr<DSEntryVideoSiteRating> ratingEntryWithValue(const QString& value);
    std::shared_ptr<DSVideoSiteRating> rating() const { return objectFor<DSVideoSiteRating>(); }
    void setRating(const std::shared_ptr<DSVideoSiteRating>& value) {
        setObject(value, DSVideoSiteRating::staticClass());
    }

    QStringList itemsForDescription() const override;
};

class DSEntryVideoSiteCaptionTrack : public DSEntryClassOf<DSEntryVideoSiteCaptionTrack, DSEntryBase> {
public:
    static DSClassInfo classInfo();
    static std::shared_ptr<DSEntryVideoSiteCaptionTrack> captionTrackEntry() {
        return DSVideoSiteObject<DSEntryVideoSiteCaptionTrack>();
    }
    void addExtensionDeclarations() override;

    DS_VIDEOSITE_STRING(derived, setDerived, DSVideoSiteDerived)
    std::shared_ptr<DSVideoSitePublicationState> publicationState() const {
        return DSVideoSiteControl::object<DSVideoSitePublicationState>(*this);
    }
    void setDSVideoSitePublicationState(const std::shared_ptr<DSVideoSitePublicationState>& state) {
        DSVideoSiteControl::setObject(*this, state);
    }

    QStringList itemsForDescription() const override;
};
