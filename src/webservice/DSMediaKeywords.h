#pragma once

#include "webservice/BaseClasses/DSNamespaces.h"
#include "webservice/DSValueConstruct.h"

// media:keywords: the keywords as one text, joined with ", ".
class DSMediaKeywords : public DSValueClassOf<DSMediaKeywords, DSValueElementConstruct> {
public:
    static DSClassInfo classInfo() {
        return DSElementInfo("DSMediaKeywords", kDSNamespaceMedia, kDSNamespaceMediaPrefix, "keywords");
    }

    static std::shared_ptr<DSMediaKeywords> keywordsWithStrings(const QStringList& keywords);
    // The keywords of a text ("a ,b,,c" holds a, b and c).
    static std::shared_ptr<DSMediaKeywords> keywordsWithString(const QString& text);
    // The pieces between commas, trimmed, the empty ones left out.
    static QStringList keywordsFromString(const QString& text);
    // None for no keywords.
    static QString stringFromKeywords(const QStringList& keywords);
    static QString trimString(const QString& text);

    QStringList keywords() const { return keywordsFromString(stringValue()); }
    void setKeywords(const QStringList& keywords) { setStringValue(stringFromKeywords(keywords)); }
    // Adds the trimmed keyword unless it is empty or already there (compared exactly).
    void addKeyword(const QString& keyword);

    QStringList itemsForDescription() const override;
};
