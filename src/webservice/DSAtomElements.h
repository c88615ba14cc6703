#pragma once

// The element classes of Atom entries and feeds that hold one value each: ids, dates, texts, the OpenSearch
// counts, the DS attributes and the deletion marker.

#include "webservice/BaseClasses/DSNamespaces.h"
#include "webservice/DSEntryContent.h"
#include "webservice/DSTextConstruct.h"
#include "webservice/DSValueConstruct.h"

DS_ELEMENT_CLASS(DSResourceID, DSValueClassOf, DSValueElementConstruct, DSNamespaceDS(), "ds", "resourceId");
DS_ELEMENT_CLASS(DSAtomID, DSValueClassOf, DSValueElementConstruct, kDSNamespaceAtom, "atom", "id");
DS_ELEMENT_CLASS(DSAtomPublishedDate, DSValueClassOf, DSValueElementConstruct, kDSNamespaceAtom, "atom",
                 "published");
DS_ELEMENT_CLASS(DSAtomUpdatedDate, DSValueClassOf, DSValueElementConstruct, kDSNamespaceAtom, "atom",
                 "updated");
DS_ELEMENT_CLASS(DSAtomPubEditedDate, DSValueClassOf, DSValueElementConstruct, kDSNamespaceAtomPub, "app",
                 "edited");
DS_ELEMENT_CLASS(DSAtomIcon, DSValueClassOf, DSValueElementConstruct, kDSNamespaceAtom, "atom", "icon");
DS_ELEMENT_CLASS(DSAtomLogo, DSValueClassOf, DSValueElementConstruct, kDSNamespaceAtom, "atom", "logo");
DS_ELEMENT_CLASS(DSOpenSearchTotalResults, DSValueClassOf, DSValueElementConstruct, DSNamespaceOpenSearch(),
                 "openSearch", "totalResults");
DS_ELEMENT_CLASS(DSOpenSearchStartIndex, DSValueClassOf, DSValueElementConstruct, DSNamespaceOpenSearch(),
                 "openSearch", "startIndex");
DS_ELEMENT_CLASS(DSOpenSearchItemsPerPage, DSValueClassOf, DSValueElementConstruct, DSNamespaceOpenSearch(),
                 "openSearch", "itemsPerPage");

DS_ELEMENT_CLASS(DSAtomTitle, DSTextClassOf, DSTextConstruct, kDSNamespaceAtom, "atom", "title");
DS_ELEMENT_CLASS(DSAtomSubtitle, DSTextClassOf, DSTextConstruct, kDSNamespaceAtom, "atom", "subtitle");
DS_ELEMENT_CLASS(DSAtomSummary, DSTextClassOf, DSTextConstruct, kDSNamespaceAtom, "atom", "summary");
DS_ELEMENT_CLASS(DSAtomRights, DSTextClassOf, DSTextConstruct, kDSNamespaceAtom, "atom", "rights");

DS_ELEMENT_CLASS(DSETagAttribute, DSClassOf, DSAttribute, DSNamespaceDS(), "ds", "etag");
DS_ELEMENT_CLASS(DSFieldsAttribute, DSClassOf, DSAttribute, DSNamespaceDS(), "ds", "fields");
DS_ELEMENT_CLASS(DSKindAttribute, DSClassOf, DSAttribute, DSNamespaceDS(), "ds", "kind");

// The Atom content element as entries and links hold it.
class DSAtomContent : public DSClassOf<DSAtomContent, DSEntryContent> {
public:
    static DSClassInfo classInfo() { return {.name = "DSAtomContent"}; }
    static std::shared_ptr<DSAtomContent> contentWithString(const QString& text) {
        return DSEntryContent::contentWithString<DSAtomContent>(text);
    }
};

// Its presence marks an entry as deleted.
class DSDeleted : public DSValueClassOf<DSDeleted, DSImplicitValueConstruct> {
public:
    static DSClassInfo classInfo() { return DSElementInfo("DSDeleted", DSNamespaceDS(), "ds", "deleted"); }
    static std::shared_ptr<DSDeleted> deleted() { return object(); }
};
