#pragma once

// The Media RSS elements that the service embeds in its entries: texts, keywords, categories, contents,
// credits, players, ratings, restrictions and thumbnails.

#include "webservice/BaseClasses/DSNamespaces.h"
#include "webservice/DSNormalPlayTime.h"
#include "webservice/DSTextConstruct.h"
#include "webservice/DSValueConstruct.h"

DS_ELEMENT_CLASS(DSMediaTitle, DSTextClassOf, DSTextConstruct, kDSNamespaceMedia, kDSNamespaceMediaPrefix,
                 "title");
DS_ELEMENT_CLASS(DSMediaDescription, DSTextClassOf, DSTextConstruct, kDSNamespaceMedia,
                 kDSNamespaceMediaPrefix, "description");

// A media element with a text, and an attribute or two.
class DSMediaText : public DSClassOf<DSMediaText, DSObject> {
public:
    static DSClassInfo classInfo() { return {.name = "DSMediaText", .contentValue = true}; }
    QString stringValue() const { return contentStringValue(); }
    void setStringValue(const QString& text) { setContentStringValue(text); }
    QString scheme() const { return stringValueForAttribute(QStringLiteral("scheme")); }
    void setScheme(const QString& scheme) { setStringValueForAttribute(scheme, QStringLiteral("scheme")); }

protected:
    static DSClassInfo mediaInfo(const char* name, const char* localName, QStringList attributes) {
        DSClassInfo info = DSElementInfo(name, kDSNamespaceMedia, kDSNamespaceMediaPrefix, localName);
        info.attributes = std::move(attributes);
        return info;
    }
    template <class T> static std::shared_ptr<T> withString(const QString& text) {
        auto made = T::object();
        made->setStringValue(text);
        return made;
    }
};

class DSMediaCategory : public DSClassOf<DSMediaCategory, DSMediaText> {
public:
    static DSClassInfo classInfo() {
        return mediaInfo("DSMediaCategory", "category", {QStringLiteral("label"), QStringLiteral("scheme")});
    }
    static std::shared_ptr<DSMediaCategory> mediaCategoryWithString(const QString& text) {
        return withString<DSMediaCategory>(text);
    }
    QString label() const { return stringValueForAttribute(QStringLiteral("label")); }
    void setLabel(const QString& label) { setStringValueForAttribute(label, QStringLiteral("label")); }
};

class DSMediaCredit : public DSClassOf<DSMediaCredit, DSMediaText> {
public:
    static DSClassInfo classInfo() {
        return mediaInfo("DSMediaCredit", "credit", {QStringLiteral("role"), QStringLiteral("scheme")});
    }
    static std::shared_ptr<DSMediaCredit> mediaCreditWithString(const QString& text) {
        return withString<DSMediaCredit>(text);
    }
    QString role() const { return stringValueForAttribute(QStringLiteral("role")); }
    void setRole(const QString& role) { setStringValueForAttribute(role, QStringLiteral("role")); }
};

class DSMediaRating : public DSClassOf<DSMediaRating, DSMediaText> {
public:
    static DSClassInfo classInfo() {
        return mediaInfo("DSMediaRating", "rating", {QStringLiteral("scheme")});
    }
    static std::shared_ptr<DSMediaRating> mediaRatingWithString(const QString& text) {
        return withString<DSMediaRating>(text);
    }
};

class DSMediaRestriction : public DSClassOf<DSMediaRestriction, DSMediaText> {
public:
    static DSClassInfo classInfo() {
        return mediaInfo("DSMediaRestriction", "restriction",
                         {QStringLiteral("relationship"), QStringLiteral("type")});
    }
    static std::shared_ptr<DSMediaRestriction>
    mediaRestrictionWithString(const QString& text, const QString& relationship, const QString& type) {
        auto made = withString<DSMediaRestriction>(text);
        made->setRelationship(relationship);
        made->setType(type);
        return made;
    }
    QString relationship() const { return stringValueForAttribute(QStringLiteral("relationship")); }
    void setRelationship(const QString& relationship) {
        setStringValueForAttribute(relationship, QStringLiteral("relationship"));
    }
    QString type() const { return stringValueForAttribute(QStringLiteral("type")); }
    void setType(const QString& type) { setStringValueForAttribute(type, QStringLiteral("type")); }
};

// A media element that points at a resource by its "url", with a pixel size.
class DSMediaResource : public DSClassOf<DSMediaResource, DSObject> {
public:
    static DSClassInfo classInfo() { return {.name = "DSMediaResource"}; }
    QString URLString() const { return stringValueForAttribute(QStringLiteral("url")); }
    void setURLString(const QString& url) { setStringValueForAttribute(url, QStringLiteral("url")); }
    std::optional<int> height() const { return intNumberForAttribute(QStringLiteral("height")); }
    void setHeight(std::optional<int> height) { setNumberValue(height, QStringLiteral("height")); }
    std::optional<int> width() const { return intNumberForAttribute(QStringLiteral("width")); }
    void setWidth(std::optional<int> width) { setNumberValue(width, QStringLiteral("width")); }

protected:
    template <class T> static std::shared_ptr<T> withURLString(const QString& url) {
        auto made = T::object();
        made->setURLString(url);
        return made;
    }
};

class DSMediaContent : public DSClassOf<DSMediaContent, DSMediaResource> {
public:
    static DSClassInfo classInfo();
    static std::shared_ptr<DSMediaContent> mediaContentWithURLString(const QString& url) {
        return withURLString<DSMediaContent>(url);
    }
    QString type() const { return stringValueForAttribute(QStringLiteral("type")); }
    void setType(const QString& type) { setStringValueForAttribute(type, QStringLiteral("type")); }
    QString medium() const { return stringValueForAttribute(QStringLiteral("medium")); }
    void setMedium(const QString& medium) { setStringValueForAttribute(medium, QStringLiteral("medium")); }
    QString expression() const { return stringValueForAttribute(QStringLiteral("expression")); }
    void setExpression(const QString& expression) {
        setStringValueForAttribute(expression, QStringLiteral("expression"));
    }
    QString lang() const { return stringValueForAttribute(QStringLiteral("lang")); }
    void setLang(const QString& lang) { setStringValueForAttribute(lang, QStringLiteral("lang")); }
    std::optional<qint64> fileSize() const { return longLongNumberForAttribute(QStringLiteral("fileSize")); }
    void setFileSize(std::optional<qint64> size) { setNumberValue(size, QStringLiteral("fileSize")); }
    std::optional<double> bitrate() const { return decimalNumberForAttribute(QStringLiteral("bitrate")); }
    void setBitrate(std::optional<double> rate) { setDecimalNumberValue(rate, QStringLiteral("bitrate")); }
    std::optional<double> framerate() const { return decimalNumberForAttribute(QStringLiteral("framerate")); }
    void setFramerate(std::optional<double> rate) {
        setDecimalNumberValue(rate, QStringLiteral("framerate"));
    }
    std::optional<double> samplingrate() const {
        return decimalNumberForAttribute(QStringLiteral("samplingrate"));
    }
    void setSamplingrate(std::optional<double> rate) {
        setDecimalNumberValue(rate, QStringLiteral("samplingrate"));
    }
    std::optional<int> channels() const { return intNumberForAttribute(QStringLiteral("channels")); }
    void setChannels(std::optional<int> channels) { setNumberValue(channels, QStringLiteral("channels")); }
    std::optional<int> duration() const { return intNumberForAttribute(QStringLiteral("duration")); }
    void setDuration(std::optional<int> seconds) { setNumberValue(seconds, QStringLiteral("duration")); }
    bool isDefault() const { return boolValueForAttribute(QStringLiteral("isDefault"), false); }
    void setIsDefault(bool isDefault) { setBoolValue(isDefault, false, QStringLiteral("isDefault")); }
};

class DSMediaPlayer : public DSClassOf<DSMediaPlayer, DSMediaResource> {
public:
    static DSClassInfo classInfo() {
        DSClassInfo info =
            DSElementInfo("DSMediaPlayer", kDSNamespaceMedia, kDSNamespaceMediaPrefix, "player");
        info.attributes = {QStringLiteral("url"), QStringLiteral("height"), QStringLiteral("width")};
        return info;
    }
    static std::shared_ptr<DSMediaPlayer> mediaPlayerWithURLString(const QString& url) {
        return withURLString<DSMediaPlayer>(url);
    }
};

class DSMediaThumbnail : public DSClassOf<DSMediaThumbnail, DSMediaResource> {
public:
    static DSClassInfo classInfo() {
        DSClassInfo info =
            DSElementInfo("DSMediaThumbnail", kDSNamespaceMedia, kDSNamespaceMediaPrefix, "thumbnail");
        info.attributes = {QStringLiteral("url"), QStringLiteral("height"), QStringLiteral("width"),
                           QStringLiteral("time")};
        return info;
    }
    static std::shared_ptr<DSMediaThumbnail> mediaContentWithURL(const QString& url) {
        return withURLString<DSMediaThumbnail>(url);
    }
    // None when the thumbnail names no time.
    std::optional<DSNormalPlayTime> time() const;
    void setTime(const std::optional<DSNormalPlayTime>& time) {
        setStringValueForAttribute(time ? time->HHMMSSString() : QString(), QStringLiteral("time"));
    }
};
