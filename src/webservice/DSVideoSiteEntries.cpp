#include "webservice/DSVideoSiteEntries.h"

using DSVideoSiteConstants::categoryScheme;
using DSVideoSiteConstants::schemaFragment;

namespace {

QVariant descriptionOf(const std::shared_ptr<DSInstance>& object) {
    return object ? QVariant(object->description()) : QVariant();
}

DSDescriptionRecord text(const char* label, const QString& value) {
    return DSDescriptionRecord::of(label, value);
}

} // namespace

DSClassInfo DSEntryVideoSiteUserProfile::classInfo() {
    return {.name = "DSEntryVideoSiteUserProfile",
            .children = {&DSFeedLink::staticClass, &DSVideoSiteAge::staticClass,
                         &DSVideoSiteBooks::staticClass, &DSVideoSiteCompany::staticClass,
                         &DSVideoSiteAboutMe::staticClass, &DSVideoSiteGender::staticClass,
                         &DSVideoSiteHobbies::staticClass, &DSVideoSiteHometown::staticClass,
                         &DSVideoSiteLocation::staticClass, &DSVideoSiteMovies::staticClass,
                         &DSVideoSiteMusic::staticClass, &DSVideoSiteOccupation::staticClass,
                         &DSVideoSiteRelationship::staticClass, &DSVideoSiteSchool::staticClass,
                         &DSVideoSiteUsername::staticClass, &DSVideoSiteFirstName::staticClass,
                         &DSVideoSiteLastName::staticClass, &DSVideoSiteStatistics::staticClass,
                         &DSMediaThumbnail::staticClass},
            .defaultServiceVersion = "2.0",
            .standardKind = schemaFragment("userProfile")};
}

QStringList DSEntryVideoSiteUserProfile::itemsForDescription() const {
    const auto entrySummary = summary();
    QStringList items = DSEntryBase::itemsForDescription();
    addDescriptionRecords(
        {DSDescriptionRecord::of("statistics", descriptionOf(statistics())),
         DSDescriptionRecord::of("age", age() ? QVariant(*age()) : QVariant()),
         DSDescriptionRecord::of("thumbnail", descriptionOf(thumbnail())), text("company", company()),
         text("gender", gender()), text("hobbies", hobbies()), text("hometown", hometown()),
         text("location", location()), text("movies", movies()), text("music", music()),
         text("occupation", occupation()), text("relationship", relationship()), text("school", school()),
         text("username", username()), text("firstName", firstName()), text("lastName", lastName()),
         text("summary", entrySummary ? entrySummary->stringValue() : QString()),
         DSDescriptionRecord::of("feedLinks", QVariantList(feedLinks().size()), 3)},
        items);
    return items;
}

// ---- user events

DSClassInfo DSEntryVideoSiteUserEvent::classInfo() {
    return {.name = "DSEntryVideoSiteUserEvent",
            .children = {&DSVideoSiteVideoID::staticClass, &DSVideoSiteUsername::staticClass,
                         &DSVideoSiteRating::staticClass},
            .defaultServiceVersion = "2.0",
            .standardKind = schemaFragment("userEvent")};
}

QString DSEntryVideoSiteUserEvent::userEventType() const {
    const auto found = categoriesWithScheme(categoryScheme("userevents.cat"));
    return found.isEmpty() ? QString() : found.first()->term();
}

void DSEntryVideoSiteUserEvent::setUserEventType(const QString& type) {
    const QString scheme = categoryScheme("userevents.cat");
    for (const auto& category : categoriesWithScheme(scheme))
        removeCategory(category);
    if (!type.isNull())
        addCategory(DSCategory::categoryWithScheme(scheme, type));
}

std::shared_ptr<DSLink> DSEntryVideoSiteUserEvent::videoLink() const {
    return linkWithRelAttributeValue(schemaFragment("video"));
}

std::shared_ptr<DSLink> DSEntryVideoSiteUserEvent::commentLink() const {
    return linkWithRelAttributeValue(schemaFragment("comments"));
}

QStringList DSEntryVideoSiteUserEvent::itemsForDescription() const {
    QStringList items = DSEntryBase::itemsForDescription();
    addDescriptionRecords({text("eventType", userEventType()), text("videoID", videoID()),
                           text("username", username()),
                           DSDescriptionRecord::of("rating", DSVideoSiteRatingLiteral(rating()), 8)},
                          items);
    return items;
}

// ---- feed links: subscriptions and playlist links

DSClassInfo DSEntryVideoSiteFeedLinkBase::classInfo() {
    return {.name = "DSEntryVideoSiteFeedLinkBase",
            .children = {&DSVideoSitePrivate::staticClass, &DSVideoSiteCountHint::staticClass,
                         &DSVideoSitePlaylistID::staticClass, &DSFeedLink::staticClass,
                         &DSMediaGroup::staticClass},
            .defaultServiceVersion = "2.0"};
}

QStringList DSEntryVideoSiteFeedLinkBase::itemsForDescription() const {
    QStringList items = DSEntryBase::itemsForDescription();
    addDescriptionRecords(
        {DSDescriptionRecord::of("mediaGroup", descriptionOf(mediaGroup())), text("countHint", countHint())},
        items);
    return items;
}

DSClassInfo DSEntryVideoSiteSubscription::classInfo() {
    return {.name = "DSEntryVideoSiteSubscription",
            .children = {&DSVideoSiteUsername::staticClass, &DSVideoSiteQueryString::staticClass,
                         &DSVideoSitePlaylistTitle::staticClass},
            .standardKind = schemaFragment("subscription")};
}

QStringList DSEntryVideoSiteSubscription::itemsForDescription() const {
    QStringList items = DSEntryVideoSiteFeedLinkBase::itemsForDescription();
    addDescriptionRecords({text("username", username()), text("query", videoSiteQueryString()),
                           text("playlistID", playlistID()), text("playlistTitle", playlistTitle())},
                          items);
    return items;
}

DSClassInfo DSEntryVideoSitePlaylistLink::classInfo() {
    return {.name = "DSEntryVideoSitePlaylistLink",
            .children = {&DSVideoSitePrivate::staticClass},
            .standardKind = schemaFragment("playlistLink")};
}

QStringList DSEntryVideoSitePlaylistLink::itemsForDescription() const {
    QStringList items = DSEntryVideoSiteFeedLinkBase::itemsForDescription();
    addDescriptionRecords({DSDescriptionRecord::of("private", isPrivate() ? QVariant(true) : QVariant(), 2)},
                          items);
    return items;
}

// ---- channels, friends, complaints, comments, ratings, caption tracks

DSClassInfo DSEntryVideoSiteChannel::classInfo() {
    return {.name = "DSEntryVideoSiteChannel",
            .children = {&DSFeedLink::staticClass},
            .defaultServiceVersion = "2.0",
            .standardKind = schemaFragment("channel")};
}

QStringList DSEntryVideoSiteChannel::itemsForDescription() const {
    QStringList items = DSEntryBase::itemsForDescription();
    addDescriptionRecords({DSDescriptionRecord::of("feedLinks", QVariantList(feedLinks().size()), 3)}, items);
    return items;
}

DSClassInfo DSEntryVideoSiteFriend::classInfo() {
    return {.name = "DSEntryVideoSiteFriend",
            .children = {&DSVideoSiteUsername::staticClass, &DSVideoSiteStatus::staticClass},
            .defaultServiceVersion = "2.0",
            .standardKind = schemaFragment("friend")};
}

QStringList DSEntryVideoSiteFriend::itemsForDescription() const {
    QStringList items = DSEntryBase::itemsForDescription();
    addDescriptionRecords({text("username", username()), text("status", status())}, items);
    return items;
}

DSClassInfo DSEntryVideoSiteComplaint::classInfo() {
    return {.name = "DSEntryVideoSiteComplaint",
            .defaultServiceVersion = "2.0",
            .standardKind = schemaFragment("complaint")};
}

DSClassInfo DSEntryVideoSiteComment::classInfo() {
    return {.name = "DSEntryVideoSiteComment",
            .children = {&DSVideoSiteCommentRating::staticClass, &DSVideoSiteSpam::staticClass},
            .defaultServiceVersion = "2.0",
            .standardKind = schemaFragment("comment")};
}

QStringList DSEntryVideoSiteComment::itemsForDescription() const {
    QStringList items = DSEntryBase::itemsForDescription();
    addDescriptionRecords(
        {DSDescriptionRecord::of("rating", totalRating() ? QVariant(*totalRating()) : QVariant()),
         DSDescriptionRecord::of("spam", hasSpam() ? QVariant(true) : QVariant(), 2)},
        items);
    return items;
}

DSClassInfo DSEntryVideoSiteRating::classInfo() {
    return {.name = "DSEntryVideoSiteRating",
            .children = {&DSVideoSiteRating::staticClass},
            .defaultServiceVersion = "2.0",
            .standardKind = schemaFragment("rating")};
}

std::shared_ptr<DSEntryVideoSiteRating> DSEntryVideoSiteRating::ratingEntryWithValue(const QString& value) {
    auto entry = DSVideoSiteObject<DSEntryVideoSiteRating>();
    entry->setRating(DSVideoSiteRating::ratingWithValue(value));
    return entry;
}

QStringList DSEntryVideoSiteRating::itemsForDescription() const {
    QStringList items = DSEntryBase::itemsForDescription();
    addDescriptionRecords({DSDescriptionRecord::of("rating", descriptionOf(rating()))}, items);
    return items;
}

DSClassInfo DSEntryVideoSiteCaptionTrack::classInfo() {
    return {.name = "DSEntryVideoSiteCaptionTrack",
            .children = {&DSVideoSiteDerived::staticClass},
            .defaultServiceVersion = "2.0",
            .standardKind = schemaFragment("captionTrack")};
}

void DSEntryVideoSiteCaptionTrack::addExtensionDeclarations() {
    DSEntryBase::addExtensionDeclarations();
    addExtensionDeclaration(DSAtomPubControl::staticClass(), DSVideoSitePublicationState::staticClass());
}

QStringList DSEntryVideoSiteCaptionTrack::itemsForDescription() const {
    QStringList items = DSEntryBase::itemsForDescription();
    addDescriptionRecords({DSDescriptionRecord::of("state", descriptionOf(publicationState()))}, items);
    return items;
}
