#include "webservice/DSMediaGroup.h"

QStringList DSMediaGroup::itemsForDescription() const {
    const auto listed = [](const auto& items) {
        QStringList texts;
        for (const auto& item : items)
            texts.append(item->description());
        return QVariant(texts);
    };
    QStringList items = DSObject::itemsForDescription();
    addDescriptionRecords(
        {DSDescriptionRecord::of("categories", listed(mediaCategories()), 4),
         DSDescriptionRecord::of("contents", listed(mediaContents()), 4),
         DSDescriptionRecord::of("credits", listed(mediaCredits()), 4),
         DSDescriptionRecord::of("thumbnails", listed(mediaThumbnails()), 4),
         DSDescriptionRecord::of("keywords", DSDescriptionRecord::textOf(mediaKeywords())),
         DSDescriptionRecord::of("description", DSDescriptionRecord::textOf(mediaDescription())),
         DSDescriptionRecord::of("players", listed(mediaPlayers()), 4),
         DSDescriptionRecord::of("ratings", listed(mediaRatings()), 4),
         DSDescriptionRecord::of("title", DSDescriptionRecord::textOf(mediaTitle()))},
        items);
    return items;
}
