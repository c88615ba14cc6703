#include "webservice/DSEntryVideoSiteUpload.h"

DSClassInfo DSEntryVideoSiteUpload::classInfo() {
    return {.name = "DSEntryVideoSiteUpload",
            .children = {&DSVideoSiteMediaGroup::staticClass, &DSVideoSiteAccessControl::staticClass,
                         &DSVideoSiteIncomplete::staticClass},
            .defaultServiceVersion = "2.0"};
}

std::shared_ptr<DSEntryVideoSiteUpload>
DSEntryVideoSiteUpload::uploadEntryWithMediaGroup(const std::shared_ptr<DSVideoSiteMediaGroup>& mediaGroup,
                                                  const DSUploadFileHandle& fileHandle,
                                                  const QString& MIMEType, const QString& slug) {
    auto entry = DSVideoSiteObject<DSEntryVideoSiteUpload>();
    entry->setMediaGroup(mediaGroup);
    entry->setUploadFileHandle(fileHandle);
    entry->setUploadMIMEType(MIMEType);
    entry->setUploadSlug(slug);
    return entry;
}

std::shared_ptr<DSEntryVideoSiteUpload>
DSEntryVideoSiteUpload::uploadEntryWithMediaGroup(const std::shared_ptr<DSVideoSiteMediaGroup>& mediaGroup,
                                                  const QByteArray& data, const QString& MIMEType,
                                                  const QString& slug) {
    auto entry = uploadEntryWithMediaGroup(mediaGroup, DSUploadFileHandle(), MIMEType, slug);
    entry->setUploadData(data);
    return entry;
}

QStringList DSEntryVideoSiteUpload::itemsForDescription() const {
    const auto group = mediaGroup();
    QStringList items = DSEntryBase::itemsForDescription();
    addDescriptionRecords(
        {DSDescriptionRecord::of("mediaGroup", group ? QVariant(group->description()) : QVariant()),
         DSDescriptionRecord::of("incomplete", isIncomplete(), 6),
         DSDescriptionRecord::of("accessControls", QVariantList(accessControls().size()), 3)},
        items);
    return items;
}
