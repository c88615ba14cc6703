#include "webservice/DSFeedLink.h"

QUrl DSFeedLink::URL() const {
    const QString address = href();
    return address.isEmpty() ? QUrl() : QUrl(address);
}

QStringList DSFeedLink::itemsForDescription() const {
    QStringList items;
    addToArray(items, href(), QStringLiteral("href"));
    if (isReadOnly())
        items.append(QStringLiteral("readOnly:YES"));
    if (const auto hint = countHint())
        items.append(QStringLiteral("countHint:%1").arg(*hint));
    if (const auto embeddedFeed = feed())
        addToArray(items, embeddedFeed->description(), QStringLiteral("feed"));
    addToArray(items, rel(), QStringLiteral("rel"));
    return items;
}
