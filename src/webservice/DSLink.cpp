#include "webservice/DSLink.h"

DSClassInfo DSLink::classInfo() {
    DSClassInfo info = DSElementInfo("DSLink", kDSNamespaceAtom, "atom", "link");
    info.attributes = {QStringLiteral("rel"),      QStringLiteral("type"),  QStringLiteral("href"),
                       QStringLiteral("hrefLang"), QStringLiteral("title"), QStringLiteral("xml:lang"),
                       QStringLiteral("length")};
    info.children = {&DSAtomContent::staticClass};
    info.attributeChildren = {&DSETagAttribute::staticClass};
    return info;
}

QString DSLinkRel(const char* fragment) {
    return DSNamespaceDS() + QLatin1Char('#') + QLatin1String(fragment);
}

std::shared_ptr<DSLink> DSLink::linkWithRel(const QString& rel, const QString& type, const QString& href) {
    auto link = object();
    link->setRel(rel);
    link->setType(type);
    link->setHref(href);
    return link;
}

QString DSLink::rel() const {
    const QString rel = stringValueForAttribute(QStringLiteral("rel"));
    return rel.isEmpty() ? QStringLiteral("alternate") : rel;
}

QUrl DSLink::URL() const {
    const QString address = href();
    return address.isEmpty() ? QUrl() : QUrl(address);
}

QStringList DSLink::linkNamesFromLinks(const Links& links) {
    QStringList names;
    for (const auto& link : links) {
        const QString rel = link->rel();
        names.append(rel.mid(rel.lastIndexOf(QLatin1Char('#')) + 1));
    }
    return names;
}

std::shared_ptr<DSLink> DSLink::linkWithRel(const QString& rel, const QString& type, const Links& links) {
    for (const auto& link : links)
        if ((rel.isNull() || link->rel() == rel) && (type.isNull() || link->type() == type))
            return link;
    return nullptr;
}

std::shared_ptr<DSLink> DSLink::linkWithRelAttributeSuffix(const QString& suffix, const Links& links) {
    for (const auto& link : links)
        if (link->rel().endsWith(suffix))
            return link;
    return nullptr;
}

QStringList DSLink::itemsForDescription() const {
    QStringList items = DSObject::itemsForDescription();
    if (const auto text = content())
        addToArray(items, text->stringValue(), QStringLiteral("content"));
    addToArray(items, ETag(), QStringLiteral("etag"));
    return items;
}
