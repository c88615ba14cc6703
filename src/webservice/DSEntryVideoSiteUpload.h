#pragma once

#include "webservice/DSEntryVideoSiteVideo.h"

// The metadata of a new video with its movie: posted to the service, which answers with the video entry.
// It has no kind, so it writes no kind category.
class DSEntryVideoSiteUpload : public DSEntryClassOf<DSEntryVideoSiteUpload, DSEntryBase> {
public:
    static DSClassInfo classInfo();
    static std::shared_ptr<DSEntryVideoSiteUpload>
    uploadEntryWithMediaGroup(const std::shared_ptr<DSVideoSiteMediaGroup>& mediaGroup,
                              const DSUploadFileHandle& fileHandle, const QString& MIMEType,
                              const QString& slug);
    static std::shared_ptr<DSEntryVideoSiteUpload>
    uploadEntryWithMediaGroup(const std::shared_ptr<DSVideoSiteMediaGroup>& mediaGroup,
                              const QByteArray& data, const QString& MIMEType, const QString& slug);

    std::shared_ptr<DSVideoSiteMediaGroup> mediaGroup() const { return objectFor<DSVideoSiteMediaGroup>(); }
    void setMediaGroup(const std::shared_ptr<DSVideoSiteMediaGroup>& value) {
        setObject(value, DSVideoSiteMediaGroup::staticClass());
    }
    QList<std::shared_ptr<DSVideoSiteAccessControl>> accessControls() const {
        return objectsFor<DSVideoSiteAccessControl>();
    }
    void setAccessControls(const QList<std::shared_ptr<DSVideoSiteAccessControl>>& list) {
        setObjectsFor<DSVideoSiteAccessControl>(list);
    }
    void addAccessControl(const std::shared_ptr<DSVideoSiteAccessControl>& value) {
        addObject(value, DSVideoSiteAccessControl::staticClass());
    }
    // Directly under the entry, not in an app:control.
    bool isIncomplete() const { return DSVideoSiteFlag<DSVideoSiteIncomplete>(*this); }
    void setIsIncomplete(bool incomplete) { DSSetVideoSiteFlag<DSVideoSiteIncomplete>(*this, incomplete); }

    QStringList itemsForDescription() const override;
};
