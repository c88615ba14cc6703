#pragma once

#include "webservice/BaseClasses/DSAttribute.h"
#include "webservice/BaseClasses/DSExtensionDeclaration.h"
#include "webservice/BaseClasses/DSKindMap.h"
#include "webservice/BaseClasses/DSUploadBody.h"
#include "webservice/DSDateTime.h"
#include "webservice/DSXMLDocument.h"

#include <QMap>
#include <QUrl>
#include <QVariant>

#include <optional>

class DSObject;
using DSObjectRef = std::shared_ptr<DSObject>;
using DSStringMap = QMap<QString, QString>;
using DSSurrogates = QHash<const DSClass*, const DSClass*>;

// One line of a description table: the label (a "version>=V:" or "version<=V:" prefix limits it to some
// service versions), how the value is read, and how it is reported (kinds 1 to 8).
struct DSDescriptionRecord {
    QString label;
    std::function<QVariant(const DSObject&)> value;
    int reportKind = 1;

    // A record of a value known already.
    static DSDescriptionRecord of(const char* label, const QVariant& value, int reportKind = 1) {
        return {QString::fromLatin1(label), [value](const DSObject&) { return value; }, reportKind};
    }
    // The text of an element that has one, none without the element.
    template <class T> static QVariant textOf(const std::shared_ptr<T>& element) {
        return element ? QVariant(element->stringValue()) : QVariant();
    }
};

// An object standing for one XML element of the service's documents. A class says what it holds through its
// declarations (DSClassInfo, or the two declaration hooks); parsing, writing, copying, comparing and
// describing then work alike for every class, and whatever a class does not understand is kept and written
// back. Objects live in shared pointers; a contained object points back at its parent without owning it.
class DSObject : public DSInstance, public std::enable_shared_from_this<DSObject> {
public:
    static const DSClass& staticClass();
    const DSClass& dsClass() const override { return staticClass(); }

    DSObject() = default;
    ~DSObject() override = default;
    DSObject(const DSObject&) = delete;
    DSObject& operator=(const DSObject&) = delete;

    // ---- construction and output
    static DSObjectRef object() {
        auto made = std::make_shared<DSObject>();
        made->init();
        return made;
    }
    virtual void init();
    void initWithServiceVersion(const QString& serviceVersion);
    virtual void initWithXMLElement(const DSXMLElementRef& element, const DSObjectRef& parent);
    void initWithXMLElement(const DSXMLElementRef& element, const DSObjectRef& parent,
                            const QString& serviceVersion, const std::optional<DSSurrogates>& surrogates,
                            bool shouldIgnoreUnknowns);
    // A document's root object: the class the element's kind names, or `cls` when given; null when none fits.
    static DSObjectRef objectWithXMLElement(const DSXMLElementRef& element, const DSClass* cls = nullptr,
                                            const QString& serviceVersion = QString(),
                                            const std::optional<DSSurrogates>& surrogates = std::nullopt,
                                            bool shouldIgnoreUnknowns = false);
    // Parses a whole document from the network (or anywhere) into its root object.
    static DSObjectRef objectWithXMLData(const QByteArray& data, const DSClass* cls = nullptr,
                                         const QString& serviceVersion = QString());

    virtual DSXMLElementRef XMLElement() const;
    DSXMLElementRef XMLElementWithExtensionsAndDefaultName(const QString& defaultName) const;
    DSXMLDocumentRef XMLDocument() const;

    DSObjectRef copy() const;
    DSInstanceRef copyInstance() const override { return copy(); }
    bool isEqual(const DSInstance* other) const override;
    QString description() const override;

    // ---- classes by kind: entry and feed classes registered under the kind their documents name
    // Registers the class under (scheme, term); refused, and reported, when the pair already finds a class.
    static bool registerClass(const DSClass& cls, DSKindMap& map, const QString& scheme, const QString& term);
    // Under the class's kind term (kind scheme) and its kind attribute value, each when it has one.
    static bool registerClassByKind(const DSClass& cls, DSKindMap& map);
    static const DSClass* classForCategory(const QString& scheme, const QString& term, const DSKindMap& map);
    // The class for an element: its kind attribute, then its kind categories, then the base entry or feed;
    // the receiving class decides the entries of unknown kind (a feed's own default).
    static const DSClass* objectClassForXMLElement(const DSClass& receiver, const DSXMLElementRef& element);

    // ---- declarations
    virtual void addExtensionDeclarations();
    virtual void addParseDeclarations();
    void addExtensionDeclaration(const DSClass& parentClass, const DSClass& childClass, bool isAttribute);
    void addExtensionDeclaration(const DSClass& parentClass, const DSClass& childClass) {
        addExtensionDeclaration(parentClass, childClass, false);
    }
    void addAttributeExtensionDeclaration(const DSClass& parentClass, const DSClass& childClass) {
        addExtensionDeclaration(parentClass, childClass, true);
    }
    void addExtensionDeclarations(const DSClass& parentClass, const std::vector<DSClassGetter>& childClasses);
    void removeExtensionDeclaration(const DSClass& parentClass, const DSClass& childClass,
                                    bool isAttribute = false);
    DSExtensionDeclarationList extensionDeclarationsForParentClass(const DSClass& parentClass) const;
    void addLocalAttributeDeclarations(const QStringList& names);
    void addAttributeDeclarationMarker(const QString& marker);
    void addContentValueDeclaration();
    void addChildXMLElementsDeclaration();
    bool hasDeclaredContentValue() const;
    bool hasDeclaredChildXMLElements() const;
    QStringList attributeDeclarations() const {
        return attributeDeclarations_ ? *attributeDeclarations_ : QStringList();
    }

    // ---- extensions: the contained objects, by declared class
    DSInstanceRef objectForExtensionClass(const DSClass& cls) const;
    QList<DSInstanceRef> objectsForExtensionClass(const DSClass& cls) const;
    template <class T> std::shared_ptr<T> objectFor() const {
        return DSInstanceCast<T>(objectForExtensionClass(T::staticClass()));
    }
    template <class T> QList<std::shared_ptr<T>> objectsFor() const;
    // The value of the one value element of the class T; the setter makes it (none removes it).
    template <class T> QString stringValueFor() const {
        const auto value = objectFor<T>();
        return value ? value->stringValue() : QString();
    }
    template <class T> void setStringValueFor(const QString& value) {
        setObject(T::valueWithString(value), T::staticClass());
    }
    template <class T> std::optional<DSDateTime> dateTimeValueFor() const {
        const auto value = objectFor<T>();
        return value ? value->dateTimeValue() : std::nullopt;
    }
    template <class T> void setDateTimeValueFor(const std::optional<DSDateTime>& value) {
        setObject(T::valueWithDateTime(value), T::staticClass());
    }
    template <class T, class List> void setObjectsFor(const List& objects) {
        setObjects(QList<DSInstanceRef>(objects.cbegin(), objects.cend()), T::staticClass());
    }
    QString attributeValueForExtensionClass(const DSClass& cls) const;
    void setAttributeValue(const QString& value, const DSClass& cls);
    // Null removes the entry; an empty list too.
    void setObject(const DSInstanceRef& object, const DSClass& cls);
    void setObjects(const QList<DSInstanceRef>& objects, const DSClass& cls);
    void addObject(const DSInstanceRef& object, const DSClass& cls);
    void removeObject(const DSInstanceRef& object, const DSClass& cls);
    static QString qualifiedNameForExtensionClass(const DSClass& cls) { return cls.qualifiedName(); }
    static void ensureObjectHasXMLName(const DSInstanceRef& object, const DSClass& cls);

    // ---- attributes, content and kept XML
    const std::optional<DSStringMap>& attributes() const { return attributes_; }
    void setAttributes(const std::optional<DSStringMap>& attributes) { attributes_ = attributes; }
    void setStringValueForAttribute(const QString& value, const QString& name);
    QString stringValueForAttribute(const QString& name) const;
    QString contentStringValue() const;
    void setContentStringValue(const QString& value);
    QList<DSXMLElementRef> childXMLElements() const { return childXMLElements_; }
    void setChildXMLElements(const QList<DSXMLElementRef>& elements) { childXMLElements_ = elements; }
    void addChildXMLElement(const DSXMLElementRef& element);

    // ---- namespaces
    const std::optional<DSStringMap>& namespaces() const { return namespaces_; }
    void setNamespaces(const std::optional<DSStringMap>& namespaces) { namespaces_ = namespaces; }
    void addNamespaces(const DSStringMap& namespaces);
    std::optional<DSStringMap> completeNamespaces() const;
    void pruneInheritedNamespaces();
    static std::optional<DSStringMap> dictionaryForElementNamespaces(const DSXMLElementRef& element);

    // ---- parsing, for subclasses that read more than their declarations (each marks what it used)
    DSInstanceRef objectForChildOfElement(const DSXMLElementRef& element, const QString& qualifiedName,
                                          const QString& namespaceURI, const DSClass* cls);
    QList<DSInstanceRef> objectOrArrayForChildrenOfElement(const DSXMLElementRef& element,
                                                           const QString& qualifiedName,
                                                           const QString& namespaceURI, const DSClass* cls);
    DSXMLNodeRef childWithQualifiedName(const QString& qualifiedName, const QString& namespaceURI,
                                        const DSXMLElementRef& element);
    QList<DSXMLNodeRef> elementsForName(const QString& qualifiedName, const QString& namespaceURI,
                                        const DSXMLElementRef& parent) const;
    QList<DSXMLNodeRef> childrenOfElement(const DSXMLElementRef& element, const QString& prefix) const;
    const DSClass& classOrSurrogateForClass(const DSClass& cls) const;
    void handleParsedElement(const DSXMLNodeRef& node);
    void handleParsedElements(const QList<DSXMLNodeRef>& nodes);
    void handleParsedAttribute(const DSXMLNodeRef& node);
    const QList<DSXMLNodeRef>& unknownChildren() const { return unknownChildren_; }
    const QList<DSXMLNodeRef>& unknownAttributes() const { return unknownAttributes_; }
    bool shouldIgnoreUnknowns() const { return shouldIgnoreUnknowns_; }
    void setShouldIgnoreUnknowns(bool ignore) { shouldIgnoreUnknowns_ = ignore; }
    const std::optional<DSSurrogates>& surrogates() const { return surrogates_; }
    void setSurrogates(const std::optional<DSSurrogates>& surrogates) { surrogates_ = surrogates; }

    // ---- typed attribute values (stored as strings, converted on each call; numbers never follow the
    // locale)
    std::optional<int> intNumberForAttribute(const QString& name) const;
    std::optional<qint64> longLongNumberForAttribute(const QString& name) const;
    std::optional<double> doubleNumberForAttribute(const QString& name) const;
    std::optional<double> decimalNumberForAttribute(const QString& name) const;
    std::optional<DSDateTime> dateTimeForAttribute(const QString& name) const;
    bool boolValueForAttribute(const QString& name, bool defaultValue) const;
    void setBoolValue(bool value, bool defaultValue, const QString& name);
    void setExplicitBoolValue(bool value, const QString& name);
    void setDecimalNumberValue(const std::optional<double>& value, const QString& name);
    // The whole number's decimal text; none removes the attribute.
    void setNumberValue(const std::optional<qint64>& value, const QString& name);
    void setDateTimeValue(const std::optional<DSDateTime>& value, const QString& name);

    // ---- readers of an element being parsed (each consumes what it reads)
    DSXMLNodeRef attributeForName(const QString& name, const DSXMLElementRef& element);
    DSXMLNodeRef attributeForLocalName(const QString& localName, const QString& uri,
                                       const DSXMLElementRef& element);
    QString stringForAttributeName(const QString& name, const DSXMLElementRef& element);
    QString stringForAttributeLocalName(const QString& localName, const QString& uri,
                                        const DSXMLElementRef& element);
    std::optional<DSDateTime> dateTimeForAttributeName(const QString& name, const DSXMLElementRef& element);
    bool boolForAttributeName(const QString& name, const DSXMLElementRef& element);
    std::optional<double> doubleNumberForAttributeName(const QString& name, const DSXMLElementRef& element);
    std::optional<int> intNumberForAttributeName(const QString& name, const DSXMLElementRef& element);
    QString stringValueFromElement(const DSXMLElementRef& element);
    std::optional<DSDateTime> dateTimeFromElement(const DSXMLElementRef& element);
    std::optional<int> intNumberValueFromElement(const DSXMLElementRef& element);
    std::optional<double> doubleNumberValueFromElement(const DSXMLElementRef& element);

    // ---- writing, for subclasses
    static DSXMLNodeRef addToElementAttributeValueIfNonNil(const DSXMLElementRef& element,
                                                           const QString& value, const QString& name);
    static DSXMLNodeRef addToElementAttributeValueIfNonNil(const DSXMLElementRef& element,
                                                           const QString& value, const QString& qualifiedName,
                                                           const QString& uri);
    static DSXMLNodeRef addToElementAttributeValueWithInteger(const DSXMLElementRef& element, qint64 value,
                                                              const QString& name);
    static DSXMLElementRef addToElementChildWithStringValueIfNonEmpty(const DSXMLElementRef& element,
                                                                      const QString& value,
                                                                      const QString& name);
    static void addStringValue(const DSXMLElementRef& element, const QString& value);
    static DSXMLElementRef elementWithNameAttribute(const QString& name, const QString& attributeName,
                                                    const QString& attributeValue);

    // ---- names, parent, versions
    QString elementName() const { return elementName_; }
    void setElementName(const QString& name) { elementName_ = name; }
    DSObjectRef parent() const { return parent_.lock(); }
    void setParent(const DSObjectRef& parent) { parent_ = parent; }
    QString serviceVersion() const;
    void setServiceVersion(const QString& version);
    bool isServiceVersionAtLeast(const QString& version) const;
    bool isServiceVersionAtMost(const QString& version) const;
    QString coreProtocolVersion() const;
    bool isCoreProtocolVersion1() const;
    static QString coreProtocolVersionForServiceVersion(const QString& serviceVersion) {
        return serviceVersion;
    }

    // ---- uploads: what entries with media give the service layer; nothing here
    virtual DSUploadBody generateContentInputStream() const { return {}; }
    virtual QString uploadMIMEType() const { return QString(); }
    virtual QByteArray uploadData() const { return QByteArray(); }
    virtual DSUploadFileHandle uploadFileHandle() const { return nullptr; }
    virtual QUrl uploadLocationURL() const { return QUrl(); }
    virtual bool shouldUploadDataOnly() const { return false; }
    // Why the media cannot be sent when the object has media that cannot be read; none otherwise.
    virtual platform::OptionalError uploadMediaError() const { return std::nullopt; }

    // ---- the caller's data: neither copied nor compared
    QVariant userData() const { return userData_; }
    void setUserData(const QVariant& data) { userData_ = data; }
    QVariantMap properties() const { return userProperties_; }
    void setProperties(const QVariantMap& properties) { userProperties_ = properties; }
    void setProperty(const QString& key, const QVariant& value);
    QVariant propertyForKey(const QString& key) const { return userProperties_.value(key); }

    // ---- declaration caches: shared by one parse tree, found up the parent chain
    std::shared_ptr<DSExtensionDeclarationsCache> extensionDeclarationsCache() const;
    std::shared_ptr<DSAttributeDeclarationsCache> attributeDeclarationsCache() const;
    void setExtensionDeclarationsCache(const std::shared_ptr<DSExtensionDeclarationsCache>& cache);
    void setAttributeDeclarationsCache(const std::shared_ptr<DSAttributeDeclarationsCache>& cache);
    void clearExtensionDeclarationsCache() { extensionDeclarationsCache_.reset(); }

    // ---- descriptions
    virtual QStringList itemsForDescription() const;
    QString descriptionWithItems(const QStringList& items) const;
    void addDescriptionRecords(const std::vector<DSDescriptionRecord>& records, QStringList& items) const;
    QString labelAdjustedForVersion(const QString& label) const;
    static void addToArray(QStringList& items, const QVariant& value, const QString& name);
    void addAttributeDescriptionsToArray(QStringList& items) const;
    void addContentDescriptionToArray(QStringList& items, const QString& name) const;
    void addChildXMLElementsDescriptionToArray(QStringList& items) const;

protected:
    virtual void parseAttributesForElement(const DSXMLElementRef& element);
    virtual void addAttributesToElement(const DSXMLElementRef& element) const;
    virtual QStringList attributesIgnoredForEquality() const {
        return dsClass().attributesIgnoredForEquality();
    }
    // A copy gets the fields of its source; subclasses with fields of their own add theirs.
    virtual void copyFieldsInto(DSObject& copy) const;
    void parseContentValueForElement(const DSXMLElementRef& element);
    void keepChildXMLElementsForElement(const DSXMLElementRef& element);
    // Declarations that bind this object only (its class's other objects in the document keep theirs).
    void addContentValueDeclarationForThisObject();
    void addChildXMLElementsDeclarationForThisObject();
    static void addToElementXMLElementForObject(const DSXMLElementRef& element, const DSInstanceRef& object);
    static DSInstanceRef makeParsedObject(const DSClass& cls, const DSXMLElementRef& element,
                                          const DSObjectRef& parent);

private:
    struct ExtensionEntry {
        const DSClass* cls;
        bool isList;
        QList<DSInstanceRef> objects;
    };
    using Extensions = std::vector<ExtensionEntry>;

    void declareForThisObjectOnly(const QString& marker);
    void parseExtensionsForElement(const DSXMLElementRef& element);
    void storeParsed(const QList<DSInstanceRef>& objects, const DSClass& cls);
    ExtensionEntry* entryFor(const DSClass& cls);
    const ExtensionEntry* entryFor(const DSClass& cls) const;
    void removeEntry(const DSClass& cls);
    static bool extensionsEqual(const std::optional<Extensions>& a, const std::optional<Extensions>& b);
    bool hasAttributesEqualToAttributesOf(const DSObject& other) const;
    bool hasChildXMLElementsEqualTo(const DSObject& other) const;
    void addNamespacesToElement(const DSXMLElementRef& element) const;
    void addContentValueToElement(const DSXMLElementRef& element) const;
    void addExtensionsToElement(const DSXMLElementRef& element) const;
    void addUnknownChildNodesToElement(const DSXMLElementRef& element) const;

    QString elementName_;
    std::weak_ptr<DSObject> parent_;
    std::optional<DSStringMap> namespaces_;
    std::shared_ptr<DSExtensionDeclarationsCache> extensionDeclarationsCache_;
    std::shared_ptr<DSAttributeDeclarationsCache> attributeDeclarationsCache_;
    std::shared_ptr<QStringList> attributeDeclarations_;
    std::optional<Extensions> extensions_;
    std::optional<DSStringMap> attributes_;
    QString contentValue_;
    QList<DSXMLElementRef> childXMLElements_;
    QList<DSXMLNodeRef> unknownChildren_;
    QList<DSXMLNodeRef> unknownAttributes_;
    bool shouldIgnoreUnknowns_ = false;
    std::optional<DSSurrogates> surrogates_;
    QString serviceVersion_;
    mutable QString coreProtocolVersion_;
    QVariant userData_;
    QVariantMap userProperties_;
};

template <class T> QList<std::shared_ptr<T>> DSObject::objectsFor() const {
    QList<std::shared_ptr<T>> answer;
    for (const DSInstanceRef& object : objectsForExtensionClass(T::staticClass()))
        if (auto typed = DSInstanceCast<T>(object))
            answer.append(typed);
    return answer;
}

// Reports a caller's programming error in debug builds; a parse never stops for one.
void DSProgrammingError(const QString& message);
