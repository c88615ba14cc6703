#include "webservice/DSVideoSiteFeeds.h"

DSClassInfo DSFeedVideoSitePlaylist::classInfo() {
    return {.name = "DSFeedVideoSitePlaylist",
            .children = {&DSVideoSitePrivate::staticClass, &DSVideoSitePlaylistID::staticClass,
                         &DSVideoSiteMediaGroup::staticClass},
            .defaultServiceVersion = "2.0",
            .standardKind = DSVideoSiteConstants::schemaFragment("playlist")};
}

QStringList DSFeedVideoSitePlaylist::itemsForDescription() const {
    const auto group = mediaGroup();
    QStringList items = DSFeedBase::itemsForDescription();
    addDescriptionRecords(
        {DSDescriptionRecord::of("private", isPrivate() ? QVariant(true) : QVariant(), 2),
         DSDescriptionRecord::of("mediaGroup", group ? QVariant(group->description()) : QVariant())},
        items);
    return items;
}
