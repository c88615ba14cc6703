#pragma once

#include "webservice/DSMediaGroup.h"
#include "webservice/DSVideoSiteElements.h"

// The service's media group: the Media RSS group with the video's id, duration, upload date, aspect ratio and
// privacy, and the service's attributes on the Media RSS elements inside it.
class DSVideoSiteMediaGroup : public DSClassOf<DSVideoSiteMediaGroup, DSMediaGroup> {
public:
    static DSClassInfo classInfo();
    static std::shared_ptr<DSVideoSiteMediaGroup> mediaGroup() { return object(); }

    void addExtensionDeclarations() override;

    std::optional<int> duration() const;
    void setDuration(std::optional<int> seconds);
    bool isPrivate() const { return objectFor<DSVideoSitePrivate>() != nullptr; }
    void setIsPrivate(bool isPrivate);
    QString videoID() const { return stringValueFor<DSVideoSiteVideoID>(); }
    void setVideoID(const QString& identifier) { setStringValueFor<DSVideoSiteVideoID>(identifier); }
    std::optional<DSDateTime> uploadedDate() const { return dateTimeValueFor<DSVideoSiteUploadedDate>(); }
    void setUploadedDate(const std::optional<DSDateTime>& date) {
        setDateTimeValueFor<DSVideoSiteUploadedDate>(date);
    }
    QString aspectRatio() const { return stringValueFor<DSVideoSiteAspectRatio>(); }
    void setAspectRatio(const QString& ratio) { setStringValueFor<DSVideoSiteAspectRatio>(ratio); }

    // The first thumbnail without a time; none when every one has a time.
    std::shared_ptr<DSMediaThumbnail> highQualityThumbnail() const;
    // The first content of that format (a content without one counts as format 0).
    std::shared_ptr<DSMediaContent> mediaContentWithFormatNumber(int format) const;

    QStringList itemsForDescription() const override;
};

// The service's attributes on Media RSS elements, read and written where its media group declares them.
int videoSiteFormatNumber(const DSMediaContent& content);
void setVideoSiteFormatNumber(DSMediaContent& content, std::optional<int> format);
QString videoSiteName(const DSMediaThumbnail& thumbnail);
void setVideoSiteName(DSMediaThumbnail& thumbnail, const QString& name);
QString videoSiteCountry(const DSMediaRating& rating);
void setVideoSiteCountry(DSMediaRating& rating, const QString& country);
QString videoSiteCreditType(const DSMediaCredit& credit);
void setVideoSiteCreditType(DSMediaCredit& credit, const QString& type);
