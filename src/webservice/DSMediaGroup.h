#pragma once

#include "webservice/DSMediaElements.h"
#include "webservice/DSMediaKeywords.h"

// media:group: what the service says of a video: its texts, keywords and categories, the files it is
// served as, thumbnails, credits, players, ratings and restrictions.
class DSMediaGroup : public DSClassOf<DSMediaGroup, DSObject> {
public:
    static DSClassInfo classInfo() {
        DSClassInfo info = DSElementInfo("DSMediaGroup", kDSNamespaceMedia, kDSNamespaceMediaPrefix, "group");
        info.children = {&DSMediaContent::staticClass,     &DSMediaCategory::staticClass,
                         &DSMediaCredit::staticClass,      &DSMediaDescription::staticClass,
                         &DSMediaPlayer::staticClass,      &DSMediaRating::staticClass,
                         &DSMediaRestriction::staticClass, &DSMediaThumbnail::staticClass,
                         &DSMediaKeywords::staticClass,    &DSMediaTitle::staticClass};
        return info;
    }
    static std::shared_ptr<DSMediaGroup> mediaGroup() { return object(); }

    template <class T> using List = QList<std::shared_ptr<T>>;
    List<DSMediaCategory> mediaCategories() const { return objectsFor<DSMediaCategory>(); }
    void setMediaCategories(const List<DSMediaCategory>& list) { setObjectsFor<DSMediaCategory>(list); }
    void addMediaCategory(const std::shared_ptr<DSMediaCategory>& item) { add(item); }
    List<DSMediaContent> mediaContents() const { return objectsFor<DSMediaContent>(); }
    void setMediaContents(const List<DSMediaContent>& list) { setObjectsFor<DSMediaContent>(list); }
    void addMediaContent(const std::shared_ptr<DSMediaContent>& item) { add(item); }
    List<DSMediaCredit> mediaCredits() const { return objectsFor<DSMediaCredit>(); }
    void setMediaCredits(const List<DSMediaCredit>& list) { setObjectsFor<DSMediaCredit>(list); }
    void addMediaCredit(const std::shared_ptr<DSMediaCredit>& item) { add(item); }
    List<DSMediaPlayer> mediaPlayers() const { return objectsFor<DSMediaPlayer>(); }
    void setMediaPlayers(const List<DSMediaPlayer>& list) { setObjectsFor<DSMediaPlayer>(list); }
    void addMediaPlayer(const std::shared_ptr<DSMediaPlayer>& item) { add(item); }
    List<DSMediaRating> mediaRatings() const { return objectsFor<DSMediaRating>(); }
    void setMediaRatings(const List<DSMediaRating>& list) { setObjectsFor<DSMediaRating>(list); }
    void addMediaRating(const std::shared_ptr<DSMediaRating>& item) { add(item); }
    List<DSMediaRestriction> mediaRestrictions() const { return objectsFor<DSMediaRestriction>(); }
    void setMediaRestrictions(const List<DSMediaRestriction>& list) {
        setObjectsFor<DSMediaRestriction>(list);
    }
    void addMediaRestriction(const std::shared_ptr<DSMediaRestriction>& item) { add(item); }
    List<DSMediaThumbnail> mediaThumbnails() const { return objectsFor<DSMediaThumbnail>(); }
    void setMediaThumbnails(const List<DSMediaThumbnail>& list) { setObjectsFor<DSMediaThumbnail>(list); }
    void addMediaThumbnail(const std::shared_ptr<DSMediaThumbnail>& item) { add(item); }
    std::shared_ptr<DSMediaKeywords> mediaKeywords() const { return objectFor<DSMediaKeywords>(); }
    void setMediaKeywords(const std::shared_ptr<DSMediaKeywords>& item) { set(item); }
    std::shared_ptr<DSMediaDescription> mediaDescription() const { return objectFor<DSMediaDescription>(); }
    void setMediaDescription(const std::shared_ptr<DSMediaDescription>& item) { set(item); }
    std::shared_ptr<DSMediaTitle> mediaTitle() const { return objectFor<DSMediaTitle>(); }
    void setMediaTitle(const std::shared_ptr<DSMediaTitle>& item) { set(item); }

    QStringList itemsForDescription() const override;

private:
    template <class T> void add(const std::shared_ptr<T>& item) { addObject(item, T::staticClass()); }
    template <class T> void set(const std::shared_ptr<T>& item) { setObject(item, T::staticClass()); }
};
