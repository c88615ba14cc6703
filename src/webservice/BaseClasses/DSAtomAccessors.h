#pragma once

#include "webservice/BaseClasses/DSObject.h"
#include "webservice/DSAtomPubControl.h"
#include "webservice/DSBatchElements.h"
#include "webservice/DSCategory.h"
#include "webservice/DSLink.h"
#include "webservice/DSPerson.h"

// The typed accessors that entries and feeds share over the Atom, DS and batch children they both declare.
// `Self` is the entry or feed class itself.
template <class Self> class DSAtomAccessors {
public:
    QString identifier() const { return self().template stringValueFor<DSAtomID>(); }
    void setIdentifier(const QString& identifier) { self().template setStringValueFor<DSAtomID>(identifier); }
    QString resourceID() const { return self().template stringValueFor<DSResourceID>(); }
    void setResourceID(const QString& identifier) {
        self().template setStringValueFor<DSResourceID>(identifier);
    }
    std::optional<DSDateTime> updatedDate() const {
        return self().template dateTimeValueFor<DSAtomUpdatedDate>();
    }
    void setUpdatedDate(const std::optional<DSDateTime>& date) {
        self().template setDateTimeValueFor<DSAtomUpdatedDate>(date);
    }

    std::shared_ptr<DSAtomTitle> title() const { return self().template objectFor<DSAtomTitle>(); }
    void setTitle(const std::shared_ptr<DSAtomTitle>& title) {
        self().setObject(title, DSAtomTitle::staticClass());
    }
    void setTitleWithString(const QString& text) { setTitle(DSAtomTitle::textConstructWithString(text)); }

    DSLink::Links links() const { return self().template objectsFor<DSLink>(); }
    void setLinks(const DSLink::Links& links) { self().template setObjectsFor<DSLink>(links); }
    void addLink(const std::shared_ptr<DSLink>& link) { self().addObject(link, DSLink::staticClass()); }
    void removeLink(const std::shared_ptr<DSLink>& link) { self().removeObject(link, DSLink::staticClass()); }
    QList<std::shared_ptr<DSAtomAuthor>> authors() const {
        return self().template objectsFor<DSAtomAuthor>();
    }
    void setAuthors(const QList<std::shared_ptr<DSAtomAuthor>>& authors) {
        self().template setObjectsFor<DSAtomAuthor>(authors);
    }
    void addAuthor(const std::shared_ptr<DSAtomAuthor>& author) {
        self().addObject(author, DSAtomAuthor::staticClass());
    }
    QList<std::shared_ptr<DSAtomContributor>> contributors() const {
        return self().template objectsFor<DSAtomContributor>();
    }
    void setContributors(const QList<std::shared_ptr<DSAtomContributor>>& contributors) {
        self().template setObjectsFor<DSAtomContributor>(contributors);
    }
    void addContributor(const std::shared_ptr<DSAtomContributor>& contributor) {
        self().addObject(contributor, DSAtomContributor::staticClass());
    }
    DSCategory::Categories categories() const { return self().template objectsFor<DSCategory>(); }
    void setCategories(const DSCategory::Categories& categories) {
        self().template setObjectsFor<DSCategory>(categories);
    }
    void addCategory(const std::shared_ptr<DSCategory>& category) {
        self().addObject(category, DSCategory::staticClass());
    }
    void removeCategory(const std::shared_ptr<DSCategory>& category) {
        self().removeObject(category, DSCategory::staticClass());
    }

    std::shared_ptr<DSAtomPubControl> atomPubControl() const {
        return self().template objectFor<DSAtomPubControl>();
    }
    void setAtomPubControl(const std::shared_ptr<DSAtomPubControl>& control) {
        self().setObject(control, DSAtomPubControl::staticClass());
    }
    std::shared_ptr<DSBatchOperation> batchOperation() const {
        return self().template objectFor<DSBatchOperation>();
    }
    void setBatchOperation(const std::shared_ptr<DSBatchOperation>& operation) {
        self().setObject(operation, DSBatchOperation::staticClass());
    }

    QString ETag() const { return self().attributeValueForExtensionClass(DSETagAttribute::staticClass()); }
    void setETag(const QString& tag) { self().setAttributeValue(tag, DSETagAttribute::staticClass()); }
    QString fieldSelection() const {
        return self().attributeValueForExtensionClass(DSFieldsAttribute::staticClass());
    }
    void setFieldSelection(const QString& fields) {
        self().setAttributeValue(fields, DSFieldsAttribute::staticClass());
    }
    QString kind() const { return self().attributeValueForExtensionClass(DSKindAttribute::staticClass()); }
    void setKind(const QString& kind) { self().setAttributeValue(kind, DSKindAttribute::staticClass()); }

    // The first link of the relation (of the type, when one is given).
    std::shared_ptr<DSLink> linkWithRelAttributeValue(const QString& rel,
                                                      const QString& type = QString()) const {
        return DSLink::linkWithRel(rel, type, links());
    }
    std::shared_ptr<DSLink> feedLink() const { return linkWithRelAttributeValue(DSLinkRel("feed")); }
    std::shared_ptr<DSLink> alternateLink() const {
        return linkWithRelAttributeValue(QStringLiteral("alternate"));
    }
    std::shared_ptr<DSLink> relatedLink() const {
        return linkWithRelAttributeValue(QStringLiteral("related"));
    }
    std::shared_ptr<DSLink> postLink() const { return linkWithRelAttributeValue(DSLinkRel("post")); }
    std::shared_ptr<DSLink> selfLink() const { return linkWithRelAttributeValue(QStringLiteral("self")); }

    // The first category of the kind scheme.
    std::shared_ptr<DSCategory> kindCategory() const {
        const auto found = DSCategory::categoriesWithScheme(DSCategoryKindScheme(), categories());
        return found.isEmpty() ? nullptr : found.first();
    }

protected:
    // The kind category and kind attribute of a new object whose class names them.
    void addStandardKind() {
        const DSClass& cls = self().dsClass();
        if (const QString term = cls.standardKind(); !term.isNull())
            addCategory(DSCategory::categoryWithScheme(DSCategoryKindScheme(), term));
        if (const QString value = cls.kindAttributeValue(); !value.isNull())
            setKind(value);
    }

private:
    const Self& self() const { return static_cast<const Self&>(*this); }
    Self& self() { return static_cast<Self&>(*this); }
};
