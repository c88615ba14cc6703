#pragma once

#include "webservice/DSAtomElements.h"

#include <QUrl>

class DSVideoSiteToken;

// An Atom link: where a related resource is and what it is to the element that holds the link.
class DSLink : public DSClassOf<DSLink, DSObject> {
public:
    static DSClassInfo classInfo();

    static std::shared_ptr<DSLink> linkWithRel(const QString& rel, const QString& type, const QString& href);

    // "alternate" when the link names no relation.
    QString rel() const;
    void setRel(const QString& rel) { setStringValueForAttribute(rel, QStringLiteral("rel")); }
    QString type() const { return stringValueForAttribute(QStringLiteral("type")); }
    void setType(const QString& type) { setStringValueForAttribute(type, QStringLiteral("type")); }
    QString href() const { return stringValueForAttribute(QStringLiteral("href")); }
    void setHref(const QString& href) { setStringValueForAttribute(href, QStringLiteral("href")); }
    QString hrefLang() const { return stringValueForAttribute(QStringLiteral("hrefLang")); }
    void setHrefLang(const QString& lang) { setStringValueForAttribute(lang, QStringLiteral("hrefLang")); }
    QString title() const { return stringValueForAttribute(QStringLiteral("title")); }
    void setTitle(const QString& title) { setStringValueForAttribute(title, QStringLiteral("title")); }
    QString titleLang() const { return stringValueForAttribute(QStringLiteral("xml:lang")); }
    void setTitleLang(const QString& lang) { setStringValueForAttribute(lang, QStringLiteral("xml:lang")); }
    std::optional<int> resourceLength() const { return intNumberForAttribute(QStringLiteral("length")); }
    void setResourceLength(std::optional<int> length) { setNumberValue(length, QStringLiteral("length")); }
    QString ETag() const { return attributeValueForExtensionClass(DSETagAttribute::staticClass()); }
    void setETag(const QString& tag) { setAttributeValue(tag, DSETagAttribute::staticClass()); }
    std::shared_ptr<DSAtomContent> content() const { return objectFor<DSAtomContent>(); }
    void setContent(const std::shared_ptr<DSAtomContent>& content) {
        setObject(content, DSAtomContent::staticClass());
    }
    // None when the link has no address.
    QUrl URL() const;
    // The video service's token for the linked resource: the link's "vs:token" child (null removes it).
    std::shared_ptr<DSVideoSiteToken> videoSiteToken() const;
    void setVideoSiteToken(const std::shared_ptr<DSVideoSiteToken>& token);

    using Links = QList<std::shared_ptr<DSLink>>;
    // Each relation cut after its last "#": the DS post relation reads "post".
    static QStringList linkNamesFromLinks(const Links& links);
    // The first link of the relation (any, for none) and, when one is given, of the type.
    static std::shared_ptr<DSLink> linkWithRel(const QString& rel, const QString& type, const Links& links);
    static std::shared_ptr<DSLink> linkWithRelAttributeSuffix(const QString& suffix, const Links& links);

    QStringList itemsForDescription() const override;
};

// A relation of the DS namespace: its URI, "#" and the fragment ("post", "feed", "batch").
QString DSLinkRel(const char* fragment);
