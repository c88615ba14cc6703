#pragma once

// The video service's own elements (prefix "vs", its schema namespace): the value elements of entries, feeds,
// links, app:control and its media group, the presence flags, the attributes it adds to Media RSS elements,
// and access control, publication state, rating and statistics.

#include "webservice/BaseClasses/DSAttribute.h"
#include "webservice/BaseClasses/DSNamespaces.h"
#include "webservice/DSValueConstruct.h"

#define DS_VIDEOSITE_ELEMENT(Class, Base, localName)                                                         \
    DS_ELEMENT_CLASS(Class, DSValueClassOf, Base, DSNamespaceVideoSite(), kDSNamespaceVideoSitePrefix,       \
                     localName)

DS_VIDEOSITE_ELEMENT(DSVideoSiteAboutMe, DSValueElementConstruct, "aboutMe");
DS_VIDEOSITE_ELEMENT(DSVideoSiteAge, DSValueElementConstruct, "age");
DS_VIDEOSITE_ELEMENT(DSVideoSiteAspectRatio, DSValueElementConstruct, "aspectRatio");
DS_VIDEOSITE_ELEMENT(DSVideoSiteBooks, DSValueElementConstruct, "books");
DS_VIDEOSITE_ELEMENT(DSVideoSiteCommentRating, DSValueElementConstruct, "commentRating");
DS_VIDEOSITE_ELEMENT(DSVideoSiteCompany, DSValueElementConstruct, "company");
DS_VIDEOSITE_ELEMENT(DSVideoSiteCountHint, DSValueElementConstruct, "countHint");
DS_VIDEOSITE_ELEMENT(DSVideoSiteDerived, DSValueElementConstruct, "derived");
DS_VIDEOSITE_ELEMENT(DSVideoSiteHobbies, DSValueElementConstruct, "hobbies");
DS_VIDEOSITE_ELEMENT(DSVideoSiteHometown, DSValueElementConstruct, "hometown");
DS_VIDEOSITE_ELEMENT(DSVideoSiteLocation, DSValueElementConstruct, "location");
DS_VIDEOSITE_ELEMENT(DSVideoSiteMovies, DSValueElementConstruct, "movies");
DS_VIDEOSITE_ELEMENT(DSVideoSiteMusic, DSValueElementConstruct, "music");
DS_VIDEOSITE_ELEMENT(DSVideoSiteOccupation, DSValueElementConstruct, "occupation");
DS_VIDEOSITE_ELEMENT(DSVideoSiteSchool, DSValueElementConstruct, "school");
DS_VIDEOSITE_ELEMENT(DSVideoSiteGender, DSValueElementConstruct, "gender");
DS_VIDEOSITE_ELEMENT(DSVideoSiteRelationship, DSValueElementConstruct, "relationship");
DS_VIDEOSITE_ELEMENT(DSVideoSitePosition, DSValueElementConstruct, "position");
DS_VIDEOSITE_ELEMENT(DSVideoSiteFirstName, DSValueElementConstruct, "firstName");
DS_VIDEOSITE_ELEMENT(DSVideoSiteLastName, DSValueElementConstruct, "lastName");
DS_VIDEOSITE_ELEMENT(DSVideoSitePlaylistID, DSValueElementConstruct, "playlistId");
DS_VIDEOSITE_ELEMENT(DSVideoSitePlaylistTitle, DSValueElementConstruct, "playlistTitle");
DS_VIDEOSITE_ELEMENT(DSVideoSiteQueryString, DSValueElementConstruct, "queryString");
DS_VIDEOSITE_ELEMENT(DSVideoSiteStatus, DSValueElementConstruct, "status");
DS_VIDEOSITE_ELEMENT(DSVideoSiteUsername, DSValueElementConstruct, "username");
DS_VIDEOSITE_ELEMENT(DSVideoSiteToken, DSValueElementConstruct, "token");
DS_VIDEOSITE_ELEMENT(DSVideoSiteRecordedDate, DSValueElementConstruct, "recorded");
DS_VIDEOSITE_ELEMENT(DSVideoSiteUploadedDate, DSValueElementConstruct, "uploaded");
DS_VIDEOSITE_ELEMENT(DSVideoSiteVideoID, DSValueElementConstruct, "videoid");

// Presence is the value.
DS_VIDEOSITE_ELEMENT(DSVideoSiteNonEmbeddable, DSImplicitValueConstruct, "noembed");
DS_VIDEOSITE_ELEMENT(DSVideoSitePrivate, DSImplicitValueConstruct, "private");
DS_VIDEOSITE_ELEMENT(DSVideoSiteSpam, DSImplicitValueConstruct, "spam");
DS_VIDEOSITE_ELEMENT(DSVideoSiteIncomplete, DSImplicitValueConstruct, "incomplete");

// vs:duration keeps its seconds in the attribute "seconds", with no text.
class DSVideoSiteDuration : public DSValueClassOf<DSVideoSiteDuration, DSValueConstruct> {
public:
    static DSClassInfo classInfo() {
        DSClassInfo info = DSElementInfo("DSVideoSiteDuration", DSNamespaceVideoSite(),
                                         kDSNamespaceVideoSitePrefix, "duration");
        info.valueAttribute = "seconds";
        return info;
    }
};

// Attributes in the service's namespace that its media group declares on Media RSS elements.
#define DS_VIDEOSITE_ATTRIBUTE(Class, localName)                                                             \
    DS_ELEMENT_CLASS(Class, DSClassOf, DSAttribute, DSNamespaceVideoSite(), kDSNamespaceVideoSitePrefix,     \
                     localName)

DS_VIDEOSITE_ATTRIBUTE(DSVideoSiteFormatAttribute, "format");
DS_VIDEOSITE_ATTRIBUTE(DSVideoSiteNameAttribute, "name");
DS_VIDEOSITE_ATTRIBUTE(DSVideoSiteCountryAttribute, "country");
DS_VIDEOSITE_ATTRIBUTE(DSVideoSiteTypeAttribute, "type");

// Who may do what with a video: "action" (rate, comment, list, ...), "permission" (allowed, denied,
// moderated), an optional "type" and text.
class DSVideoSiteAccessControl : public DSClassOf<DSVideoSiteAccessControl, DSObject> {
public:
    static DSClassInfo classInfo();
    static std::shared_ptr<DSVideoSiteAccessControl> accessControlWithAction(const QString& action,
                                                                             const QString& permission);

    QString action() const { return stringValueForAttribute(QStringLiteral("action")); }
    void setAction(const QString& action) { setStringValueForAttribute(action, QStringLiteral("action")); }
    QString permission() const { return stringValueForAttribute(QStringLiteral("permission")); }
    void setPermission(const QString& value) {
        setStringValueForAttribute(value, QStringLiteral("permission"));
    }
    QString type() const { return stringValueForAttribute(QStringLiteral("type")); }
    void setType(const QString& type) { setStringValueForAttribute(type, QStringLiteral("type")); }
    QString value() const { return contentStringValue(); }
    void setValue(const QString& value) { setContentStringValue(value); }
};

// vs:state inside app:control: why a video is not (yet) public.
class DSVideoSitePublicationState : public DSClassOf<DSVideoSitePublicationState, DSObject> {
public:
    static DSClassInfo classInfo();

    QString name() const { return stringValueForAttribute(QStringLiteral("name")); }
    void setName(const QString& name) { setStringValueForAttribute(name, QStringLiteral("name")); }
    QString reasonCode() const { return stringValueForAttribute(QStringLiteral("reasonCode")); }
    void setReasonCode(const QString& code) {
        setStringValueForAttribute(code, QStringLiteral("reasonCode"));
    }
    QString helpURLString() const { return stringValueForAttribute(QStringLiteral("helpUrl")); }
    void setHelpURLString(const QString& url) { setStringValueForAttribute(url, QStringLiteral("helpUrl")); }
    QString errorDescription() const { return contentStringValue(); }
    void setErrorDescription(const QString& text) { setContentStringValue(text); }
};

// vs:rating: the viewer's "like" or "dislike", or the counts of each.
class DSVideoSiteRating : public DSClassOf<DSVideoSiteRating, DSObject> {
public:
    static DSClassInfo classInfo();
    static std::shared_ptr<DSVideoSiteRating> ratingWithValue(const QString& value);

    QString value() const { return stringValueForAttribute(QStringLiteral("value")); }
    void setValue(const QString& value) { setStringValueForAttribute(value, QStringLiteral("value")); }
    std::optional<int> numberOfLikes() const { return intNumberForAttribute(QStringLiteral("numLikes")); }
    void setNumberOfLikes(std::optional<int> count) { setNumberValue(count, QStringLiteral("numLikes")); }
    std::optional<int> numberOfDislikes() const {
        return intNumberForAttribute(QStringLiteral("numDislikes"));
    }
    void setNumberOfDislikes(std::optional<int> count) {
        setNumberValue(count, QStringLiteral("numDislikes"));
    }
};

// vs:statistics: counts of views, subscribers and favourites. A count of 0 is not written.
class DSVideoSiteStatistics : public DSClassOf<DSVideoSiteStatistics, DSObject> {
public:
    static DSClassInfo classInfo();
    static std::shared_ptr<DSVideoSiteStatistics> videoSiteStatistics() { return object(); }

    std::optional<qint64> viewCount() const { return count("viewCount"); }
    void setViewCount(std::optional<qint64> value) { setCount("viewCount", value); }
    std::optional<qint64> videoWatchCount() const { return count("videoWatchCount"); }
    void setVideoWatchCount(std::optional<qint64> value) { setCount("videoWatchCount", value); }
    std::optional<qint64> subscriberCount() const { return count("subscriberCount"); }
    void setSubscriberCount(std::optional<qint64> value) { setCount("subscriberCount", value); }
    std::optional<qint64> favoriteCount() const { return count("favoriteCount"); }
    void setFavoriteCount(std::optional<qint64> value) { setCount("favoriteCount", value); }
    std::optional<qint64> totalUploadViews() const { return count("totalUploadViews"); }
    void setTotalUploadViews(std::optional<qint64> value) { setCount("totalUploadViews", value); }
    std::optional<DSDateTime> lastWebAccess() const {
        return dateTimeForAttribute(QStringLiteral("lastWebAccess"));
    }
    void setLastWebAccess(const std::optional<DSDateTime>& date) {
        setDateTimeValue(date, QStringLiteral("lastWebAccess"));
    }

protected:
    void addAttributesToElement(const DSXMLElementRef& element) const override;

private:
    std::optional<qint64> count(const char* name) const {
        return longLongNumberForAttribute(QLatin1String(name));
    }
    void setCount(const char* name, std::optional<qint64> value) {
        setNumberValue(value, QLatin1String(name));
    }
};

// The values these elements take.
namespace DSVideoSiteValues {
inline constexpr const char* kAccessControlActions[] = {"rate",  "comment", "commentVote", "videoRespond",
                                                        "embed", "list",    "syndicate"};
inline constexpr const char* kAccessControlPermissions[] = {"allowed", "denied", "moderated"};
inline constexpr const char* kPublicationStates[] = {"incomplete", "processing", "rejected",
                                                     "failed",     "deleted",    "restricted"};
inline constexpr const char* kRatingValues[] = {"like", "dislike"};
inline constexpr char kDerivationSpeechRecognition[] = "speechRecognition";
inline constexpr const char* kUserEventTypes[] = {
    "video_uploaded",          "video_rated", "video_favorited", "video_shared", "video_commented",
    "user_subscription_added", "friend_added"};
} // namespace DSVideoSiteValues
