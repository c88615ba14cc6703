#include "webservice/BaseClasses/DSFeedBase.h"

#include "webservice/DSClasses.h"

DSClassInfo DSFeedBase::classInfo() {
    return {.name = "DSFeedBase",
            .children = {&DSResourceID::staticClass, &DSAtomID::staticClass, &DSAtomTitle::staticClass,
                         &DSAtomSubtitle::staticClass, &DSAtomRights::staticClass, &DSAtomIcon::staticClass,
                         &DSAtomLogo::staticClass, &DSLink::staticClass, &DSAtomAuthor::staticClass,
                         &DSAtomContributor::staticClass, &DSCategory::staticClass,
                         &DSAtomUpdatedDate::staticClass, &DSAtomPubControl::staticClass,
                         &DSBatchOperation::staticClass, &DSOpenSearchTotalResults::staticClass,
                         &DSOpenSearchStartIndex::staticClass, &DSOpenSearchItemsPerPage::staticClass},
            .attributeChildren = {&DSETagAttribute::staticClass, &DSFieldsAttribute::staticClass,
                                  &DSKindAttribute::staticClass},
            .defaultClassForEntries = &DSEntryBase::staticClass};
}

void DSFeedBase::init() {
    DSObject::init();
    addStandardKind();
}

bool DSFeedBase::initWithData(const QByteArray& data, const QString& serviceVersion,
                              bool shouldIgnoreUnknowns) {
    Q_UNUSED(shouldIgnoreUnknowns);
    registerDsClasses();
    const DSXMLDocumentRef document = DSXMLDocument::documentWithData(data);
    if (!document)
        return false;
    DSObject::initWithXMLElement(document->rootElement(), nullptr, serviceVersion, std::nullopt, false);
    clearExtensionDeclarationsCache();
    return true;
}

void DSFeedBase::initWithXMLElement(const DSXMLElementRef& element, const DSObjectRef& parent) {
    Q_UNUSED(parent);
    DSObject::initWithXMLElement(element, nullptr);
    if (!element)
        return;
    const DSInstanceRef generator = objectForChildOfElement(
        element, QStringLiteral("generator"), QLatin1String(kDSNamespaceAtom), &DSGenerator::staticClass());
    setGenerator(DSInstanceCast<DSGenerator>(generator));
    initFeedWithXMLElement(element);
    parseEntries(element);
}

void DSFeedBase::parseEntries(const DSXMLElementRef& element) {
    const DSClass* cls = classForEntries();
    if (cls && !cls->isSubclassOf(DSEntryBase::staticClass()))
        cls = nullptr;
    Entries parsed;
    for (const DSInstanceRef& object : objectOrArrayForChildrenOfElement(
             element, QStringLiteral("entry"), QLatin1String(kDSNamespaceAtom), cls))
        if (auto entry = DSInstanceCast<DSEntryBase>(object))
            parsed.append(entry);
    if (parsed.size() > 1)
        setEntries(parsed);
    else if (parsed.size() == 1)
        addEntry(parsed.first());
}

DSXMLElementRef DSFeedBase::XMLElement() const {
    const DSXMLElementRef element = XMLElementWithExtensionsAndDefaultName(QStringLiteral("feed"));
    if (!element)
        return element;
    if (generator_)
        element->addChild(generator_->XMLElement());
    for (const auto& entry : *this)
        element->addChild(entry->XMLElement());
    return element;
}

void DSFeedBase::setGenerator(const std::shared_ptr<DSGenerator>& generator) {
    generator_ = generator ? std::static_pointer_cast<DSGenerator>(generator->copy()) : nullptr;
}

// ---- entries

const DSFeedBase::Entries& DSFeedBase::noEntries() {
    static const Entries none;
    return none;
}

bool DSFeedBase::adopt(const std::shared_ptr<DSEntryBase>& entry, const char* message) {
    if (!entry)
        return false;
    const DSObjectRef owner = entry->parent();
    if (owner && owner.get() != this) {
        DSProgrammingError(QString::fromLatin1(message));
        return false;
    }
    return true;
}

bool DSFeedBase::setEntries(const Entries& entries) {
    for (const auto& entry : entries)
        if (!adopt(entry, "Trying to replace existing feed parent; use setEntriesWithEntries: instead"))
            return false;
    for (const auto& entry : entries)
        entry->setParent(shared_from_this());
    entries_ = entries;
    return true;
}

bool DSFeedBase::addEntry(const std::shared_ptr<DSEntryBase>& entry) {
    if (!adopt(entry, "Trying to replace existing feed parent; use addEntryWithEntry: instead"))
        return false;
    entry->setParent(shared_from_this());
    if (!entries_)
        entries_.emplace();
    entries_->append(entry);
    return true;
}

void DSFeedBase::setEntriesWithEntries(const std::optional<Entries>& entries) {
    if (!entries) {
        entries_.reset();
        return;
    }
    Entries copies;
    for (const auto& entry : *entries)
        copies.append(std::static_pointer_cast<DSEntryBase>(entry->copy()));
    setEntries(copies);
}

void DSFeedBase::addEntryWithEntry(const std::shared_ptr<DSEntryBase>& entry) {
    if (entry)
        addEntry(std::static_pointer_cast<DSEntryBase>(entry->copy()));
}

std::shared_ptr<DSEntryBase> DSFeedBase::entryAtIndex(qsizetype index) const {
    return entries_ && index >= 0 && index < entries_->size() ? entries_->at(index) : nullptr;
}

std::shared_ptr<DSEntryBase> DSFeedBase::entryForIdentifier(const QString& identifier) const {
    for (const auto& entry : *this)
        if (ObjectsEqualOrBothNil(entry->identifier(), identifier))
            return entry;
    return nullptr;
}

DSFeedBase::Entries DSFeedBase::entriesWithCategoryKind(const QString& term) const {
    Entries found;
    for (const auto& entry : *this)
        if (const auto category = entry->kindCategory(); category && category->term() == term)
            found.append(entry);
    return found;
}

// ---- copying, equality, description

void DSFeedBase::copyFieldsInto(DSObject& copy) const {
    DSObject::copyFieldsInto(copy);
    auto& feed = static_cast<DSFeedBase&>(copy);
    feed.setGenerator(generator_);
    feed.setEntriesWithEntries(entries_);
}

bool DSFeedBase::isEqual(const DSInstance* other) const {
    if (other == this)
        return true;
    if (!other || !other->isKindOfClass(staticClass()) || !DSObject::isEqual(other))
        return false;
    const auto& theirs = static_cast<const DSFeedBase&>(*other).entries_;
    if (!entries_ || !theirs)
        return !entries_ && !theirs;
    return std::equal(entries_->cbegin(), entries_->cend(), theirs->cbegin(), theirs->cend(),
                      [](const auto& a, const auto& b) { return ObjectsEqualOrBothNil(a, b); });
}

QStringList DSFeedBase::itemsForDescription() const {
    const auto updated = updatedDate();
    QStringList items = DSObject::itemsForDescription();
    addDescriptionRecords(
        {DSDescriptionRecord::of("v", serviceVersion()),
         DSDescriptionRecord::of("entries", entries_ ? QVariant(entries_->size()) : QVariant()),
         DSDescriptionRecord::of("etag", ETag()), DSDescriptionRecord::of("kind", kind()),
         DSDescriptionRecord::of("fields", fieldSelection()),
         DSDescriptionRecord::of("resourceID", resourceID()),
         DSDescriptionRecord::of("title", DSDescriptionRecord::textOf(title())),
         DSDescriptionRecord::of("subtitle", DSDescriptionRecord::textOf(subtitle())),
         DSDescriptionRecord::of("rights", DSDescriptionRecord::textOf(rights())),
         DSDescriptionRecord::of("updated", updated ? updated->stringValue() : QString()),
         DSDescriptionRecord::of("authors", QVariantList(authors().size()), 3),
         DSDescriptionRecord::of("contributors", QVariantList(contributors().size()), 3),
         DSDescriptionRecord::of("categories", QVariantList(categories().size()), 3),
         DSDescriptionRecord::of("links", DSLink::linkNamesFromLinks(links()).join(QLatin1Char(',')), 8),
         DSDescriptionRecord::of("id", identifier())},
        items);
    return items;
}

// ---- kinds

DSKindMap& DSFeedBase::feedKindMap() {
    static DSKindMap map;
    return map;
}

bool DSFeedBase::registerFeedClass(const DSClass& cls) {
    return registerClassByKind(cls, feedKindMap());
}

bool DSFeedBase::registerFeedClass(const DSClass& cls, const QString& scheme, const QString& term) {
    return registerClass(cls, feedKindMap(), scheme, term);
}

const DSClass* DSFeedBase::feedClassForCategory(const QString& scheme, const QString& term) {
    return classForCategory(scheme, term, feedKindMap());
}

const DSClass* DSFeedBase::feedClassForKindAttributeValue(const QString& value) {
    return classForCategory(QString(), value, feedKindMap());
}
