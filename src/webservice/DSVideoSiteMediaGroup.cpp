#include "webservice/DSVideoSiteMediaGroup.h"

DSClassInfo DSVideoSiteMediaGroup::classInfo() {
    return {.name = "DSVideoSiteMediaGroup",
            .children = {&DSVideoSiteAspectRatio::staticClass, &DSVideoSiteDuration::staticClass,
                         &DSVideoSitePrivate::staticClass, &DSVideoSiteVideoID::staticClass,
                         &DSVideoSiteUploadedDate::staticClass}};
}

void DSVideoSiteMediaGroup::addExtensionDeclarations() {
    DSMediaGroup::addExtensionDeclarations();
    addAttributeExtensionDeclaration(DSMediaContent::staticClass(),
                                     DSVideoSiteFormatAttribute::staticClass());
    addAttributeExtensionDeclaration(DSMediaRating::staticClass(),
                                     DSVideoSiteCountryAttribute::staticClass());
    addAttributeExtensionDeclaration(DSMediaCredit::staticClass(), DSVideoSiteTypeAttribute::staticClass());
    addAttributeExtensionDeclaration(DSMediaThumbnail::staticClass(),
                                     DSVideoSiteNameAttribute::staticClass());
}

std::optional<int> DSVideoSiteMediaGroup::duration() const {
    const auto element = objectFor<DSVideoSiteDuration>();
    return element ? std::optional<int>(element->intValue()) : std::nullopt;
}

void DSVideoSiteMediaGroup::setDuration(std::optional<int> seconds) {
    setObject(seconds ? DSVideoSiteDuration::valueWithInt(*seconds) : nullptr,
              DSVideoSiteDuration::staticClass());
}

void DSVideoSiteMediaGroup::setIsPrivate(bool isPrivate) {
    setObject(isPrivate ? DSVideoSitePrivate::object() : nullptr, DSVideoSitePrivate::staticClass());
}

std::shared_ptr<DSMediaThumbnail> DSVideoSiteMediaGroup::highQualityThumbnail() const {
    for (const auto& thumbnail : mediaThumbnails())
        if (thumbnail->stringValueForAttribute(QStringLiteral("time")).isNull())
            return thumbnail;
    return nullptr;
}

std::shared_ptr<DSMediaContent> DSVideoSiteMediaGroup::mediaContentWithFormatNumber(int format) const {
    for (const auto& content : mediaContents())
        if (videoSiteFormatNumber(*content) == format)
            return content;
    return nullptr;
}

QStringList DSVideoSiteMediaGroup::itemsForDescription() const {
    const auto uploaded = uploadedDate();
    QStringList items = DSMediaGroup::itemsForDescription();
    addDescriptionRecords(
        {DSDescriptionRecord::of("duration", duration() ? QVariant(*duration()) : QVariant()),
         DSDescriptionRecord::of("videoID", videoID()), DSDescriptionRecord::of("aspectRatio", aspectRatio()),
         DSDescriptionRecord::of("uploaded", uploaded ? uploaded->RFC3339String() : QString()),
         DSDescriptionRecord::of("private", isPrivate(), 6)},
        items);
    return items;
}

int videoSiteFormatNumber(const DSMediaContent& content) {
    // The leading digits, as the platform's conversion reads them; 0 for none.
    const QString text =
        content.attributeValueForExtensionClass(DSVideoSiteFormatAttribute::staticClass()).trimmed();
    qsizetype digits = (text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('+'))) ? 1 : 0;
    while (digits < text.size() && text.at(digits).isDigit())
        ++digits;
    return text.left(digits).toInt();
}

void setVideoSiteFormatNumber(DSMediaContent& content, std::optional<int> format) {
    content.setAttributeValue(format ? QString::number(*format) : QString(),
                              DSVideoSiteFormatAttribute::staticClass());
}

QString videoSiteName(const DSMediaThumbnail& thumbnail) {
    return thumbnail.attributeValueForExtensionClass(DSVideoSiteNameAttribute::staticClass());
}

void setVideoSiteName(DSMediaThumbnail& thumbnail, const QString& name) {
    thumbnail.setAttributeValue(name, DSVideoSiteNameAttribute::staticClass());
}

QString videoSiteCountry(const DSMediaRating& rating) {
    return rating.attributeValueForExtensionClass(DSVideoSiteCountryAttribute::staticClass());
}

void setVideoSiteCountry(DSMediaRating& rating, const QString& country) {
    rating.setAttributeValue(country, DSVideoSiteCountryAttribute::staticClass());
}

QString videoSiteCreditType(const DSMediaCredit& credit) {
    return credit.attributeValueForExtensionClass(DSVideoSiteTypeAttribute::staticClass());
}

void setVideoSiteCreditType(DSMediaCredit& credit, const QString& type) {
    credit.setAttributeValue(type, DSVideoSiteTypeAttribute::staticClass());
}
