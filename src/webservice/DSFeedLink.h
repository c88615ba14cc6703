#pragma once

#include "webservice/BaseClasses/DSFeedBase.h"
#include "webservice/DSEntryLink.h"

#include <QUrl>

// A link to a feed (ds:feedLink), with a hint of its size and the feed itself when the document embeds it.
class DSFeedLink : public DSClassOf<DSFeedLink, DSEmbeddingLink> {
public:
    static DSClassInfo classInfo() {
        DSClassInfo info = DSElementInfo("DSFeedLink", DSNamespaceDS(), "ds", "feedLink");
        info.attributes = {QStringLiteral("href"), QStringLiteral("rel"), QStringLiteral("readOnly"),
                           QStringLiteral("countHint")};
        return info;
    }

    static std::shared_ptr<DSFeedLink> feedLinkWithHref(const QString& href, bool isReadOnly) {
        return linkWithHref<DSFeedLink>(href, isReadOnly);
    }

    std::optional<int> countHint() const { return intNumberForAttribute(QStringLiteral("countHint")); }
    void setCountHint(std::optional<int> hint) { setNumberValue(hint, QStringLiteral("countHint")); }
    // None when the link has no address.
    QUrl URL() const;
    std::shared_ptr<DSFeedBase> feed() const { return DSInstanceCast<DSFeedBase>(embedded()); }
    void setFeed(const std::shared_ptr<DSFeedBase>& feed) { setEmbedded(feed); }

    QStringList itemsForDescription() const override;

protected:
    QString embeddedLocalName() const override { return QStringLiteral("feed"); }
};

// The comments of an entry: a link to their feed.
class DSComment : public DSClassOf<DSComment, DSObject> {
public:
    static DSClassInfo classInfo() {
        DSClassInfo info = DSElementInfo("DSComment", DSNamespaceDS(), "ds", "comments");
        info.attributes = {QStringLiteral("rel")};
        info.children = {&DSFeedLink::staticClass};
        return info;
    }

    static std::shared_ptr<DSComment> commentWithFeedLink(const std::shared_ptr<DSFeedLink>& feedLink) {
        auto comment = object();
        comment->setFeedLink(feedLink);
        return comment;
    }

    QString rel() const { return stringValueForAttribute(QStringLiteral("rel")); }
    void setRel(const QString& rel) { setStringValueForAttribute(rel, QStringLiteral("rel")); }
    std::shared_ptr<DSFeedLink> feedLink() const { return objectFor<DSFeedLink>(); }
    void setFeedLink(const std::shared_ptr<DSFeedLink>& link) { setObject(link, DSFeedLink::staticClass()); }

    QStringList itemsForDescription() const override {
        QStringList items = DSObject::itemsForDescription();
        if (const auto link = feedLink())
            addToArray(items, link->description(), QStringLiteral("feedLink"));
        return items;
    }
};
