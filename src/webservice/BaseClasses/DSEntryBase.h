#pragma once

#include "webservice/BaseClasses/DSAtomAccessors.h"
#include "webservice/BaseClasses/DSObject.h"

// Makers of entries of the class `Self`: `DSEntryBase` and every entry class derive through it.
template <class Self, class Base> class DSEntryClassOf : public DSClassOf<Self, Base> {
public:
    // A new entry that declares the base namespaces, so that it can be written on its own.
    static std::shared_ptr<Self> entry() {
        auto made = Self::object();
        made->setNamespaces(Self::baseDSNamespaces());
        return made;
    }
};

// The base of every Atom entry: its Atom, AtomPub, DS and batch children, and the media it may be uploaded
// with. For a plain upload it gives the request body: the media alone, or the entry's XML and the media as a
// two-part MIME document. Entry classes register here under the kind their documents name.
class DSEntryBase : public DSEntryClassOf<DSEntryBase, DSObject>, public DSAtomAccessors<DSEntryBase> {
public:
    static DSClassInfo classInfo();
    static DSStringMap baseDSNamespaces();
    static DSStringMap batchNamespaces();

    void init() override;
    DSXMLElementRef XMLElement() const override {
        return XMLElementWithExtensionsAndDefaultName(QStringLiteral("entry"));
    }

    // ---- children (the ones entries and feeds share are DSAtomAccessors')
    std::optional<DSDateTime> publishedDate() const { return dateTimeValueFor<DSAtomPublishedDate>(); }
    void setPublishedDate(const std::optional<DSDateTime>& date) {
        setDateTimeValueFor<DSAtomPublishedDate>(date);
    }
    std::optional<DSDateTime> editedDate() const { return dateTimeValueFor<DSAtomPubEditedDate>(); }
    void setEditedDate(const std::optional<DSDateTime>& date) {
        setDateTimeValueFor<DSAtomPubEditedDate>(date);
    }
    std::shared_ptr<DSAtomSummary> summary() const { return objectFor<DSAtomSummary>(); }
    void setSummary(const std::shared_ptr<DSAtomSummary>& summary) {
        setObject(summary, DSAtomSummary::staticClass());
    }
    void setSummaryWithString(const QString& text) {
        setSummary(DSAtomSummary::textConstructWithString(text));
    }
    std::shared_ptr<DSAtomContent> content() const { return objectFor<DSAtomContent>(); }
    void setContent(const std::shared_ptr<DSAtomContent>& content) {
        setObject(content, DSAtomContent::staticClass());
    }
    void setContentWithString(const QString& text) { setContent(DSAtomContent::contentWithString(text)); }
    std::shared_ptr<DSAtomRights> rightsString() const { return objectFor<DSAtomRights>(); }
    void setRightsString(const std::shared_ptr<DSAtomRights>& rights) {
        setObject(rights, DSAtomRights::staticClass());
    }
    void setRightsStringWithString(const QString& text) {
        setRightsString(DSAtomRights::textConstructWithString(text));
    }
    bool isDeleted() const { return objectFor<DSDeleted>() != nullptr; }
    void setIsDeleted(bool deleted) {
        setObject(deleted ? DSDeleted::deleted() : nullptr, DSDeleted::staticClass());
    }
    std::shared_ptr<DSBatchID> batchID() const { return objectFor<DSBatchID>(); }
    void setBatchID(const std::shared_ptr<DSBatchID>& identifier) {
        setObject(identifier, DSBatchID::staticClass());
    }
    void setBatchIDWithString(const QString& text) { setBatchID(DSBatchID::batchIDWithString(text)); }
    std::shared_ptr<DSBatchStatus> batchStatus() const { return objectFor<DSBatchStatus>(); }
    void setBatchStatus(const std::shared_ptr<DSBatchStatus>& status) {
        setObject(status, DSBatchStatus::staticClass());
    }
    std::shared_ptr<DSBatchInterrupted> batchInterrupted() const { return objectFor<DSBatchInterrupted>(); }
    void setBatchInterrupted(const std::shared_ptr<DSBatchInterrupted>& interrupted) {
        setObject(interrupted, DSBatchInterrupted::staticClass());
    }

    // ---- searches
    DSCategory::Categories categoriesWithScheme(const QString& scheme) const {
        return DSCategory::categoriesWithScheme(scheme, categories());
    }
    DSLink::Links linksWithRelAttributeValue(const QString& rel) const;
    std::shared_ptr<DSLink> editLink() const { return linkWithRelAttributeValue(QStringLiteral("edit")); }
    std::shared_ptr<DSLink> editMediaLink() const {
        return linkWithRelAttributeValue(QStringLiteral("edit-media"));
    }
    std::shared_ptr<DSLink> HTMLLink() const {
        return linkWithRelAttributeValue(QStringLiteral("alternate"), QStringLiteral("text/html"));
    }
    std::shared_ptr<DSLink> uploadEditLink() const {
        return linkWithRelAttributeValue(DSLinkRel("resumable-edit-media"));
    }
    bool canEdit() const { return editLink() != nullptr; }

    // ---- upload: the media as bytes or as a file the caller owns, where a begun upload continues
    QByteArray uploadData() const override { return uploadData_; }
    void setUploadData(const QByteArray& data) { uploadData_ = data; }
    DSUploadFileHandle uploadFileHandle() const override { return uploadFileHandle_; }
    void setUploadFileHandle(const DSUploadFileHandle& handle) { uploadFileHandle_ = handle; }
    QUrl uploadLocationURL() const override { return uploadLocationURL_; }
    void setUploadLocationURL(const QUrl& url) { uploadLocationURL_ = url; }
    QString uploadMIMEType() const override { return uploadMIMEType_; }
    void setUploadMIMEType(const QString& type) { uploadMIMEType_ = type; }
    // Kept percent-encoded, as it goes into the "Slug" header.
    QString uploadSlug() const { return uploadSlug_; }
    void setUploadSlug(const QString& slug);
    bool shouldUploadDataOnly() const override { return shouldUploadDataOnly_; }
    void setShouldUploadDataOnly(bool dataOnly) { shouldUploadDataOnly_ = dataOnly; }

    // "Content-Type", "MIME-Version" and "Slug", up to the first that has no value.
    DSHTTPHeaders contentHeaders() const;
    DSUploadBody generateContentInputStream() const override;
    // A file that cannot be read from its start: the chunked road reads it only after the entry has gone.
    platform::OptionalError uploadMediaError() const override;

    bool isEqual(const DSInstance* other) const override;
    QStringList itemsForDescription() const override;

    // ---- kinds: under the class's kind term (kind scheme) and its kind attribute value, each when it has
    // one
    static bool registerEntryClass(const DSClass& cls);
    static bool registerEntryClass(const DSClass& cls, const QString& scheme, const QString& term);
    static const DSClass* entryClassForCategory(const QString& scheme, const QString& term);
    static const DSClass* entryClassForKindAttributeValue(const QString& value);

protected:
    void copyFieldsInto(DSObject& copy) const override;

private:
    static DSKindMap& entryKindMap();
    // The media to send: the bytes, else the whole file; an error when the file cannot be read whole.
    platform::OptionalError readMedia(QByteArray* media) const;

    QByteArray uploadData_;
    DSUploadFileHandle uploadFileHandle_;
    QUrl uploadLocationURL_;
    QString uploadMIMEType_;
    QString uploadSlug_;
    bool shouldUploadDataOnly_ = false;
};
