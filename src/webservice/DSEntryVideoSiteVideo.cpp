#include "webservice/DSEntryVideoSiteVideo.h"

using DSVideoSiteConstants::schemaFragment;

namespace {

// Video-service entries and feeds speak version 2.0 of the protocol.
constexpr char kServiceVersion[] = "2.0";

} // namespace

DSClassInfo DSEntryVideoSiteVideo::classInfo() {
    return {.name = "DSEntryVideoSiteVideo",
            .children = {&DSComment::staticClass, &DSVideoSiteRating::staticClass,
                         &DSVideoSiteStatistics::staticClass, &DSVideoSiteNonEmbeddable::staticClass,
                         &DSVideoSiteLocation::staticClass, &DSVideoSiteRecordedDate::staticClass,
                         &DSVideoSiteAccessControl::staticClass, &DSVideoSiteMediaGroup::staticClass},
            .defaultServiceVersion = kServiceVersion,
            .standardKind = schemaFragment("video")};
}

void DSEntryVideoSiteVideo::addExtensionDeclarations() {
    DSEntryBase::addExtensionDeclarations();
    DSGeo::addGeoExtensionDeclarations(*this, dsClass());
    addExtensionDeclaration(DSAtomPubControl::staticClass(), DSVideoSitePublicationState::staticClass());
    addExtensionDeclaration(DSAtomPubControl::staticClass(), DSVideoSiteIncomplete::staticClass());
    addExtensionDeclaration(DSLink::staticClass(), DSVideoSiteToken::staticClass());
}

void DSEntryVideoSiteVideo::setRecordedDate(std::optional<DSDateTime> date) {
    if (date)
        date->setHasTime(false);
    setDateTimeValueFor<DSVideoSiteRecordedDate>(date);
}

QVariant DSVideoSiteRatingLiteral(const std::shared_ptr<DSVideoSiteRating>& rating) {
    if (!rating)
        return QVariant();
    const auto number = [](std::optional<int> value) {
        return value ? QString::number(*value) : QStringLiteral("(null)");
    };
    return QStringLiteral("+%1/-%2").arg(number(rating->numberOfLikes()), number(rating->numberOfDislikes()));
}

QStringList DSEntryVideoSiteVideo::itemsForDescription() const {
    const auto text = [](const auto& object) {
        return object ? QVariant(object->description()) : QVariant();
    };
    const auto recorded = recordedDate();
    QStringList items = DSEntryBase::itemsForDescription();
    addDescriptionRecords(
        {DSDescriptionRecord::of("state", text(publicationState())),
         DSDescriptionRecord::of("rating", DSVideoSiteRatingLiteral(rating()), 8),
         DSDescriptionRecord::of("comment", text(comment())),
         DSDescriptionRecord::of("stats", text(statistics())),
         DSDescriptionRecord::of("mediaGroup", text(mediaGroup())),
         DSDescriptionRecord::of("geoLocation", text(geoLocation())),
         DSDescriptionRecord::of("notEmbeddable",
                                 isEmbeddable() ? QVariant() : QVariant(QStringLiteral("YES")), 8),
         DSDescriptionRecord::of("pubState", text(publicationState())),
         DSDescriptionRecord::of("recorded", recorded ? QVariant(recorded->stringValue()) : QVariant()),
         DSDescriptionRecord::of("incomplete", isIncomplete(), 6),
         DSDescriptionRecord::of("accessControls", QVariantList(accessControls().size()), 3)},
        items);
    return items;
}

DSClassInfo DSEntryVideoSiteVideoMessage::classInfo() {
    return {.name = "DSEntryVideoSiteVideoMessage", .standardKind = schemaFragment("videoMessage")};
}

DSClassInfo DSEntryVideoSiteFavorite::classInfo() {
    return {.name = "DSEntryVideoSiteFavorite", .standardKind = schemaFragment("favorite")};
}

DSClassInfo DSEntryVideoSitePlaylist::classInfo() {
    return {.name = "DSEntryVideoSitePlaylist",
            .children = {&DSVideoSitePosition::staticClass},
            .standardKind = schemaFragment("playlist")};
}

QStringList DSEntryVideoSitePlaylist::itemsForDescription() const {
    QStringList items = DSEntryVideoSiteVideo::itemsForDescription();
    addDescriptionRecords({DSDescriptionRecord::of("position", DSDescriptionRecord::textOf(position()))},
                          items);
    return items;
}
