#include "webservice/DSMediaKeywords.h"

std::shared_ptr<DSMediaKeywords> DSMediaKeywords::keywordsWithStrings(const QStringList& keywords) {
    auto made = object();
    made->setKeywords(keywords);
    return made;
}

std::shared_ptr<DSMediaKeywords> DSMediaKeywords::keywordsWithString(const QString& text) {
    return keywordsWithStrings(keywordsFromString(text));
}

QStringList DSMediaKeywords::keywordsFromString(const QString& text) {
    QStringList keywords;
    if (text.isNull())
        return keywords;
    for (const QString& piece : text.split(QLatin1Char(',')))
        if (const QString keyword = trimString(piece); !keyword.isEmpty())
            keywords.append(keyword);
    return keywords;
}

QString DSMediaKeywords::stringFromKeywords(const QStringList& keywords) {
    return keywords.isEmpty() ? QString() : keywords.join(QStringLiteral(", "));
}

QString DSMediaKeywords::trimString(const QString& text) {
    return text.trimmed();
}

void DSMediaKeywords::addKeyword(const QString& keyword) {
    const QString trimmed = trimString(keyword);
    if (trimmed.isEmpty())
        return;
    QStringList present = keywords();
    if (present.contains(trimmed))
        return;
    present.append(trimmed);
    setKeywords(present);
}

QStringList DSMediaKeywords::itemsForDescription() const {
    QStringList items;
    addAttributeDescriptionsToArray(items);
    addToArray(items, stringValue(), QStringLiteral("keywords"));
    return items;
}
