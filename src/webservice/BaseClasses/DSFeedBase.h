#pragma once

#include "webservice/BaseClasses/DSEntryBase.h"
#include "webservice/DSGenerator.h"

// Makers of feeds of the class `Self`: `DSFeedBase` and every feed class derive through it.
template <class Self, class Base> class DSFeedClassOf : public DSClassOf<Self, Base> {
public:
    // The feed a document holds; none when the data is not well-formed XML.
    static std::shared_ptr<Self> feedWithXMLData(const QByteArray& data) {
        auto made = std::make_shared<Self>();
        return made->initWithData(data) ? made : nullptr;
    }
};

// The base of every Atom feed: its own Atom, OpenSearch, DS and batch children, a generator, and its entries
// in document order, each of the class its kind names. Feed classes register here under the kind their
// documents name; entries of a kind no class registered become the class's default entry class.
class DSFeedBase : public DSFeedClassOf<DSFeedBase, DSObject>, public DSAtomAccessors<DSFeedBase> {
public:
    static DSClassInfo classInfo();
    using Entries = QList<std::shared_ptr<DSEntryBase>>;

    void init() override;
    // Parses the document (nothing loaded from elsewhere) into this feed; false when it is not well-formed.
    // Unknown children are always kept.
    bool initWithData(const QByteArray& data, const QString& serviceVersion = QString(),
                      bool shouldIgnoreUnknowns = false);
    // A feed is always a root, whatever parent it is given.
    void initWithXMLElement(const DSXMLElementRef& element, const DSObjectRef& parent) override;
    using DSObject::initWithXMLElement;
    DSXMLElementRef XMLElement() const override;

    // ---- the feed's own children (the ones entries and feeds share are DSAtomAccessors')
    std::shared_ptr<DSAtomSubtitle> subtitle() const { return objectFor<DSAtomSubtitle>(); }
    void setSubtitle(const std::shared_ptr<DSAtomSubtitle>& subtitle) {
        setObject(subtitle, DSAtomSubtitle::staticClass());
    }
    void setSubtitleWithString(const QString& text) {
        setSubtitle(DSAtomSubtitle::textConstructWithString(text));
    }
    std::shared_ptr<DSAtomRights> rights() const { return objectFor<DSAtomRights>(); }
    void setRights(const std::shared_ptr<DSAtomRights>& rights) {
        setObject(rights, DSAtomRights::staticClass());
    }
    void setRightsWithString(const QString& text) { setRights(DSAtomRights::textConstructWithString(text)); }
    QString icon() const { return stringValueFor<DSAtomIcon>(); }
    void setIcon(const QString& icon) { setStringValueFor<DSAtomIcon>(icon); }
    QString logo() const { return stringValueFor<DSAtomLogo>(); }
    void setLogo(const QString& logo) { setStringValueFor<DSAtomLogo>(logo); }
    std::optional<int> totalResults() const { return numberFor<DSOpenSearchTotalResults>(); }
    void setTotalResults(std::optional<int> count) { setNumberFor<DSOpenSearchTotalResults>(count); }
    std::optional<int> startIndex() const { return numberFor<DSOpenSearchStartIndex>(); }
    void setStartIndex(std::optional<int> index) { setNumberFor<DSOpenSearchStartIndex>(index); }
    std::optional<int> itemsPerPage() const { return numberFor<DSOpenSearchItemsPerPage>(); }
    void setItemsPerPage(std::optional<int> count) { setNumberFor<DSOpenSearchItemsPerPage>(count); }
    std::shared_ptr<DSGenerator> generator() const { return generator_; }
    // Keeps a copy.
    void setGenerator(const std::shared_ptr<DSGenerator>& generator);

    // ---- entries: each entry belongs to one feed at most
    // The feed's entries; none before the first is set or added.
    const std::optional<Entries>& entries() const { return entries_; }
    // Adopts the entries; refused, as a caller's error, when one of them belongs to another feed.
    bool setEntries(const Entries& entries);
    bool addEntry(const std::shared_ptr<DSEntryBase>& entry);
    // Copies of the entries, whatever feed they belong to.
    void setEntriesWithEntries(const std::optional<Entries>& entries);
    void addEntryWithEntry(const std::shared_ptr<DSEntryBase>& entry);
    std::shared_ptr<DSEntryBase> firstEntry() const { return entryAtIndex(0); }
    std::shared_ptr<DSEntryBase> entryAtIndex(qsizetype index) const;
    std::shared_ptr<DSEntryBase> entryForIdentifier(const QString& identifier) const;
    // The entries whose kind category has the term.
    Entries entriesWithCategoryKind(const QString& term) const;
    Entries::const_iterator begin() const { return entries_ ? entries_->cbegin() : noEntries().cbegin(); }
    Entries::const_iterator end() const { return entries_ ? entries_->cend() : noEntries().cend(); }

    // ---- links (the first of its relation; the type is not looked at)
    std::shared_ptr<DSLink> uploadLink() const {
        return linkWithRelAttributeValue(DSLinkRel("resumable-create-media"));
    }
    std::shared_ptr<DSLink> batchLink() const { return linkWithRelAttributeValue(DSLinkRel("batch")); }
    std::shared_ptr<DSLink> nextLink() const { return linkWithRelAttributeValue(QStringLiteral("next")); }
    std::shared_ptr<DSLink> previousLink() const {
        return linkWithRelAttributeValue(QStringLiteral("previous"));
    }
    bool canPost() const { return postLink() != nullptr; }

    // ---- hooks of feed classes
    // The class of every entry (its table's); none lets each entry's kind choose.
    virtual const DSClass* classForEntries() const { return dsClass().classForEntries(); }
    // Called while parsing, after the generator and before the entries.
    virtual void initFeedWithXMLElement(const DSXMLElementRef& element) { Q_UNUSED(element); }

    bool isEqual(const DSInstance* other) const override;
    QStringList itemsForDescription() const override;

    // ---- kinds
    static bool registerFeedClass(const DSClass& cls);
    static bool registerFeedClass(const DSClass& cls, const QString& scheme, const QString& term);
    static const DSClass* feedClassForCategory(const QString& scheme, const QString& term);
    static const DSClass* feedClassForKindAttributeValue(const QString& value);

protected:
    void copyFieldsInto(DSObject& copy) const override;

private:
    static DSKindMap& feedKindMap();
    static const Entries& noEntries();
    bool adopt(const std::shared_ptr<DSEntryBase>& entry, const char* message);
    void parseEntries(const DSXMLElementRef& element);
    template <class T> std::optional<int> numberFor() const {
        const auto value = objectFor<T>();
        return value ? std::optional<int>(value->intValue()) : std::nullopt;
    }
    template <class T> void setNumberFor(std::optional<int> value) {
        setObject(value ? T::valueWithInt(*value) : nullptr, T::staticClass());
    }

    std::shared_ptr<DSGenerator> generator_;
    std::optional<Entries> entries_;
};
