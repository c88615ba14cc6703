#pragma once

#include "webservice/BaseClasses/DSEntryBase.h"
#include "webservice/DSFeedLink.h"
#include "webservice/DSVideoSiteConstants.h"
#include "webservice/DSVideoSiteMediaGroup.h"
#include "webservice/Geo/DSGeo.h"

// An empty object of a video-service class that declares the service's namespaces.
template <class T> std::shared_ptr<T> DSVideoSiteObject() {
    auto made = T::object();
    made->setNamespaces(DSVideoSiteConstants::videoSiteNamespaces());
    return made;
}

// The value of the one number element of the class T; the setter makes it (none removes it).
template <class T> std::optional<int> DSVideoSiteNumber(const DSObject& owner) {
    const auto element = owner.objectFor<T>();
    return element ? std::optional<int>(element->intValue()) : std::nullopt;
}
template <class T> void DSSetVideoSiteNumber(DSObject& owner, std::optional<int> value) {
    owner.setObject(value ? T::valueWithInt(*value) : nullptr, T::staticClass());
}
// Presence of the implicit element of the class T.
template <class T> bool DSVideoSiteFlag(const DSObject& owner) {
    return owner.objectFor<T>() != nullptr;
}
template <class T> void DSSetVideoSiteFlag(DSObject& owner, bool value) {
    owner.setObject(value ? T::object() : nullptr, T::staticClass());
}

// What an entry keeps in its app:control: read nothing without one; a value to store makes one.
namespace DSVideoSiteControl {
template <class T> std::shared_ptr<T> object(const DSEntryBase& entry) {
    const auto control = entry.atomPubControl();
    return control ? control->objectFor<T>() : nullptr;
}
template <class T> void setObject(DSEntryBase& entry, const std::shared_ptr<T>& value) {
    auto control = entry.atomPubControl();
    if (!control) {
        if (!value)
            return;
        control = DSAtomPubControl::atomPubControl();
        entry.setAtomPubControl(control);
    }
    control->setObject(value, T::staticClass());
}
} // namespace DSVideoSiteControl

// A video of the service: every entry of a video feed, and the reply to an upload.
class DSEntryVideoSiteVideo : public DSEntryClassOf<DSEntryVideoSiteVideo, DSEntryBase> {
public:
    static DSClassInfo classInfo();
    static std::shared_ptr<DSEntryVideoSiteVideo> videoEntry() {
        return DSVideoSiteObject<DSEntryVideoSiteVideo>();
    }

    void addExtensionDeclarations() override;

    std::shared_ptr<DSVideoSiteStatistics> statistics() const { return objectFor<DSVideoSiteStatistics>(); }
    void setStatistics(const std::shared_ptr<DSVideoSiteStatistics>& value) {
        setObject(value, DSVideoSiteStatistics::staticClass());
    }
    std::shared_ptr<DSComment> comment() const { return objectFor<DSComment>(); }
    void setComment(const std::shared_ptr<DSComment>& value) { setObject(value, DSComment::staticClass()); }
    QString location() const { return stringValueFor<DSVideoSiteLocation>(); }
    void setLocation(const QString& value) { setStringValueFor<DSVideoSiteLocation>(value); }
    std::optional<DSDateTime> recordedDate() const { return dateTimeValueFor<DSVideoSiteRecordedDate>(); }
    // Kept as a date only.
    void setRecordedDate(std::optional<DSDateTime> date);
    QList<std::shared_ptr<DSVideoSiteAccessControl>> accessControls() const {
        return objectsFor<DSVideoSiteAccessControl>();
    }
    void setAccessControls(const QList<std::shared_ptr<DSVideoSiteAccessControl>>& list) {
        setObjectsFor<DSVideoSiteAccessControl>(list);
    }
    void addAccessControl(const std::shared_ptr<DSVideoSiteAccessControl>& value) {
        addObject(value, DSVideoSiteAccessControl::staticClass());
    }
    bool isEmbeddable() const { return !DSVideoSiteFlag<DSVideoSiteNonEmbeddable>(*this); }
    void setIsEmbeddable(bool embeddable) {
        DSSetVideoSiteFlag<DSVideoSiteNonEmbeddable>(*this, !embeddable);
    }
    std::shared_ptr<DSVideoSiteRating> rating() const { return objectFor<DSVideoSiteRating>(); }
    void setRating(const std::shared_ptr<DSVideoSiteRating>& value) {
        setObject(value, DSVideoSiteRating::staticClass());
    }
    std::shared_ptr<DSVideoSiteMediaGroup> mediaGroup() const { return objectFor<DSVideoSiteMediaGroup>(); }
    void setMediaGroup(const std::shared_ptr<DSVideoSiteMediaGroup>& value) {
        setObject(value, DSVideoSiteMediaGroup::staticClass());
    }
    std::shared_ptr<DSVideoSitePublicationState> publicationState() const {
        return DSVideoSiteControl::object<DSVideoSitePublicationState>(*this);
    }
    void setDSVideoSitePublicationState(const std::shared_ptr<DSVideoSitePublicationState>& state) {
        DSVideoSiteControl::setObject(*this, state);
    }
    bool isIncomplete() const { return DSVideoSiteControl::object<DSVideoSiteIncomplete>(*this) != nullptr; }
    void setIsIncomplete(bool incomplete) {
        DSVideoSiteControl::setObject(*this, incomplete ? DSVideoSiteIncomplete::object() : nullptr);
    }
    std::shared_ptr<DSGeo> geoLocation() const { return DSGeo::geoLocationForObject(*this); }
    void setGeoLocation(const std::shared_ptr<DSGeo>& geo) { DSGeo::setGeoLocation(geo, *this); }

    std::shared_ptr<DSLink> videoResponsesLink() const { return schemaLink("video.responses"); }
    std::shared_ptr<DSLink> ratingsLink() const { return schemaLink("video.ratings"); }
    std::shared_ptr<DSLink> complaintsLink() const { return schemaLink("video.complaints"); }
    std::shared_ptr<DSLink> captionTracksLink() const { return schemaLink("video.captionTracks"); }

    QStringList itemsForDescription() const override;

protected:
    std::shared_ptr<DSLink> schemaLink(const char* fragment) const {
        return linkWithRelAttributeValue(DSVideoSiteConstants::schemaFragment(fragment));
    }
};

// The "+likes/-dislikes" text of a rating; none without one.
QVariant DSVideoSiteRatingLiteral(const std::shared_ptr<DSVideoSiteRating>& rating);

class DSEntryVideoSiteVideoMessage
    : public DSEntryClassOf<DSEntryVideoSiteVideoMessage, DSEntryVideoSiteVideo> {
public:
    static DSClassInfo classInfo();
    static std::shared_ptr<DSEntryVideoSiteVideoMessage> videoMessageEntry() {
        return DSVideoSiteObject<DSEntryVideoSiteVideoMessage>();
    }
};

class DSEntryVideoSiteFavorite : public DSEntryClassOf<DSEntryVideoSiteFavorite, DSEntryVideoSiteVideo> {
public:
    static DSClassInfo classInfo();
    static std::shared_ptr<DSEntryVideoSiteFavorite> favoriteEntry() {
        return DSVideoSiteObject<DSEntryVideoSiteFavorite>();
    }
};

class DSEntryVideoSitePlaylist : public DSEntryClassOf<DSEntryVideoSitePlaylist, DSEntryVideoSiteVideo> {
public:
    static DSClassInfo classInfo();
    static std::shared_ptr<DSEntryVideoSitePlaylist> playlistEntry() {
        return DSVideoSiteObject<DSEntryVideoSitePlaylist>();
    }
    static QString videoEntryCategoryTerm() { return DSVideoSiteConstants::schemaFragment("playlist"); }

    std::shared_ptr<DSVideoSitePosition> position() const { return objectFor<DSVideoSitePosition>(); }
    void setPosition(const std::shared_ptr<DSVideoSitePosition>& value) {
        setObject(value, DSVideoSitePosition::staticClass());
    }
    QStringList itemsForDescription() const override;
};
