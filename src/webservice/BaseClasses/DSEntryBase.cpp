#include "webservice/BaseClasses/DSEntryBase.h"

#include "webservice/BaseClasses/DSUtilities.h"

DSClassInfo DSEntryBase::classInfo() {
    return {.name = "DSEntryBase",
            .children = {&DSResourceID::staticClass, &DSAtomID::staticClass,
                         &DSAtomPublishedDate::staticClass, &DSAtomUpdatedDate::staticClass,
                         &DSAtomTitle::staticClass, &DSAtomSummary::staticClass, &DSAtomContent::staticClass,
                         &DSAtomRights::staticClass, &DSLink::staticClass, &DSAtomAuthor::staticClass,
                         &DSAtomContributor::staticClass, &DSCategory::staticClass, &DSDeleted::staticClass,
                         &DSAtomPubControl::staticClass, &DSAtomPubEditedDate::staticClass,
                         &DSBatchOperation::staticClass, &DSBatchID::staticClass, &DSBatchStatus::staticClass,
                         &DSBatchInterrupted::staticClass},
            .attributeChildren = {&DSETagAttribute::staticClass, &DSFieldsAttribute::staticClass,
                                  &DSKindAttribute::staticClass}};
}

DSStringMap DSEntryBase::baseDSNamespaces() {
    return {{QString(""), QLatin1String(kDSNamespaceAtom)},
            {QLatin1String(kDSNamespaceDSPrefix), DSNamespaceDS()},
            {QLatin1String(kDSNamespaceAtomPubPrefix), QLatin1String(kDSNamespaceAtomPub)}};
}

DSStringMap DSEntryBase::batchNamespaces() {
    return {{QLatin1String(kDSNamespaceBatchPrefix), DSNamespaceBatch()}};
}

void DSEntryBase::init() {
    DSObject::init();
    addStandardKind();
}

DSLink::Links DSEntryBase::linksWithRelAttributeValue(const QString& rel) const {
    DSLink::Links found;
    for (const auto& link : links())
        if (link->rel() == rel)
            found.append(link);
    return found;
}

void DSEntryBase::setUploadSlug(const QString& slug) {
    uploadSlug_ = DSUtilities::stringByPercentEncodingUTF8ForString(slug);
}

bool DSEntryBase::isEqual(const DSInstance* other) const {
    if (other == this)
        return true;
    if (!other || !other->isKindOfClass(staticClass()) || !DSObject::isEqual(other))
        return false;
    const auto& that = static_cast<const DSEntryBase&>(*other);
    return uploadData_.isNull() == that.uploadData_.isNull() && uploadData_ == that.uploadData_ &&
           ObjectsEqualOrBothNil(uploadMIMEType_, that.uploadMIMEType_) &&
           ObjectsEqualOrBothNil(uploadSlug_, that.uploadSlug_) &&
           BoolsEqual(shouldUploadDataOnly_, that.shouldUploadDataOnly_);
}

void DSEntryBase::copyFieldsInto(DSObject& copy) const {
    DSObject::copyFieldsInto(copy);
    auto& entry = static_cast<DSEntryBase&>(copy);
    entry.uploadData_ = uploadData_;
    entry.uploadFileHandle_ = uploadFileHandle_;
    entry.uploadLocationURL_ = uploadLocationURL_;
    entry.uploadMIMEType_ = uploadMIMEType_;
    entry.uploadSlug_ = uploadSlug_;
    entry.shouldUploadDataOnly_ = shouldUploadDataOnly_;
}

QStringList DSEntryBase::itemsForDescription() const {
    const auto control = atomPubControl();
    const auto operation = batchOperation();
    const auto status = batchStatus();
    const auto interrupted = batchInterrupted();
    const auto edited = editedDate();
    const auto entryContent = content();
    QStringList items = DSObject::itemsForDescription();
    addDescriptionRecords(
        {DSDescriptionRecord::of("v", serviceVersion()),
         DSDescriptionRecord::of("title", DSDescriptionRecord::textOf(title())),
         DSDescriptionRecord::of("summary", DSDescriptionRecord::textOf(summary())),
         DSDescriptionRecord::of("content", DSDescriptionRecord::textOf(entryContent)),
         DSDescriptionRecord::of("contentSrc", entryContent ? entryContent->sourceURI() : QString()),
         DSDescriptionRecord::of("etag", ETag()),
         DSDescriptionRecord::of("kind", kind()),
         DSDescriptionRecord::of("fields", fieldSelection()),
         DSDescriptionRecord::of("resourceID", resourceID()),
         DSDescriptionRecord::of("authors", QVariantList(authors().size()), 3),
         DSDescriptionRecord::of("contributors", QVariantList(contributors().size()), 3),
         DSDescriptionRecord::of("categories", QVariantList(categories().size()), 3),
         DSDescriptionRecord::of("links", DSLink::linkNamesFromLinks(links()).join(QLatin1Char(',')), 8),
         DSDescriptionRecord::of("edited", edited ? edited->RFC3339String() : QString()),
         DSDescriptionRecord::of("id", identifier()),
         DSDescriptionRecord::of("app:control", control ? control->description() : QString()),
         DSDescriptionRecord::of("batchOp", operation ? operation->type() : QString()),
         DSDescriptionRecord::of("batchID", DSDescriptionRecord::textOf(batchID())),
         DSDescriptionRecord::of("batchStatus",
                                 status && status->code() ? QVariant(*status->code()) : QVariant()),
         DSDescriptionRecord::of("batchInterrupted", interrupted ? interrupted->description() : QString()),
         DSDescriptionRecord::of("MIMEType", uploadMIMEType()),
         DSDescriptionRecord::of("slug", uploadSlug()),
         DSDescriptionRecord::of("uploadDataOnly", shouldUploadDataOnly(), 6),
         DSDescriptionRecord::of("UploadData", uploadData(), 7),
         DSDescriptionRecord::of("deleted", isDeleted(), 6)},
        items);
    return items;
}

// ---- kinds

DSKindMap& DSEntryBase::entryKindMap() {
    static DSKindMap map;
    return map;
}

bool DSEntryBase::registerEntryClass(const DSClass& cls) {
    return registerClassByKind(cls, entryKindMap());
}

bool DSEntryBase::registerEntryClass(const DSClass& cls, const QString& scheme, const QString& term) {
    return registerClass(cls, entryKindMap(), scheme, term);
}

const DSClass* DSEntryBase::entryClassForCategory(const QString& scheme, const QString& term) {
    return classForCategory(scheme, term, entryKindMap());
}

const DSClass* DSEntryBase::entryClassForKindAttributeValue(const QString& value) {
    return classForCategory(QString(), value, entryKindMap());
}
