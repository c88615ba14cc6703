#include "webservice/BaseClasses/DSObject.h"

#include "webservice/BaseClasses/DSScanner.h"
#include "webservice/BaseClasses/DSUtilities.h"

#include <QDebug>

namespace {

const QString& contentMarker() {
    static const QString marker = QStringLiteral(" __content");
    return marker;
}

const QString& childXMLMarker() {
    static const QString marker = QStringLiteral(" __childXML");
    return marker;
}

} // namespace

void DSProgrammingError(const QString& message) {
#ifndef NDEBUG
    qWarning().noquote() << message;
#else
    Q_UNUSED(message);
#endif
}

const DSClass& DSObject::staticClass() {
    static const DSClass descriptor(DSClassInfo{.name = "DSObject"}, nullptr,
                                    [] { return DSInstanceRef(std::make_shared<DSObject>()); });
    return descriptor;
}

// ---- construction

void DSObject::init() {
    extensionDeclarationsCache_ = std::make_shared<DSExtensionDeclarationsCache>();
    attributeDeclarationsCache_ = std::make_shared<DSAttributeDeclarationsCache>();
    addParseDeclarations();
}

void DSObject::initWithServiceVersion(const QString& serviceVersion) {
    setServiceVersion(serviceVersion);
    init();
}

DSObjectRef DSObject::copy() const {
    auto made = std::static_pointer_cast<DSObject>(dsClass().make());
    made->init();
    copyFieldsInto(*made);
    return made;
}

// ---- declarations

void DSObject::addExtensionDeclarations() {
    for (const DSClass* cls : dsClass().lineage()) {
        addExtensionDeclarations(dsClass(), cls->info().children);
        for (DSClassGetter child : cls->info().attributeChildren)
            addAttributeExtensionDeclaration(dsClass(), child());
    }
}

void DSObject::addParseDeclarations() {
    for (const DSClass* cls : dsClass().lineage()) {
        const DSClassInfo& info = cls->info();
        if (!info.attributes.isEmpty())
            addLocalAttributeDeclarations(info.attributes);
        if (info.contentValue)
            addContentValueDeclaration();
        if (info.childXML)
            addChildXMLElementsDeclaration();
    }
}

void DSObject::addExtensionDeclaration(const DSClass& parentClass, const DSClass& childClass,
                                       bool isAttribute) {
    const auto cache = extensionDeclarationsCache();
    if (cache)
        (*cache)[&dsClass()][&parentClass].push_back({&parentClass, &childClass, isAttribute});
}

void DSObject::addExtensionDeclarations(const DSClass& parentClass,
                                        const std::vector<DSClassGetter>& childClasses) {
    for (DSClassGetter child : childClasses)
        addExtensionDeclaration(parentClass, child());
}

void DSObject::removeExtensionDeclaration(const DSClass& parentClass, const DSClass& childClass,
                                          bool isAttribute) {
    const auto cache = extensionDeclarationsCache();
    if (!cache || !cache->contains(&dsClass()))
        return;
    auto& byParent = (*cache)[&dsClass()];
    if (!byParent.contains(&parentClass))
        return;
    std::erase(byParent[&parentClass], DSExtensionDeclaration{&parentClass, &childClass, isAttribute});
}

DSExtensionDeclarationList DSObject::extensionDeclarationsForParentClass(const DSClass& parentClass) const {
    const auto cache = extensionDeclarationsCache();
    if (!cache)
        return {};
    const auto outer = cache->constFind(&dsClass());
    if (outer == cache->cend())
        return {};
    return outer->value(&parentClass);
}

void DSObject::addLocalAttributeDeclarations(const QStringList& names) {
    if (!attributeDeclarations_) {
        const auto cache = attributeDeclarationsCache();
        if (cache && cache->contains(&dsClass())) {
            attributeDeclarations_ = cache->value(&dsClass());
        } else {
            attributeDeclarations_ = std::make_shared<QStringList>();
            if (cache)
                cache->insert(&dsClass(), attributeDeclarations_);
        }
    }
    attributeDeclarations_->append(names);
}

void DSObject::addAttributeDeclarationMarker(const QString& marker) {
    if (!attributeDeclarations_ || !attributeDeclarations_->contains(marker))
        addLocalAttributeDeclarations({marker});
}

void DSObject::declareForThisObjectOnly(const QString& marker) {
    if (attributeDeclarations_ && attributeDeclarations_->contains(marker))
        return;
    attributeDeclarations_ = std::make_shared<QStringList>(attributeDeclarations());
    attributeDeclarations_->append(marker);
}

void DSObject::addContentValueDeclarationForThisObject() {
    declareForThisObjectOnly(contentMarker());
}

void DSObject::addChildXMLElementsDeclarationForThisObject() {
    declareForThisObjectOnly(childXMLMarker());
}

void DSObject::addContentValueDeclaration() {
    addAttributeDeclarationMarker(contentMarker());
}

void DSObject::addChildXMLElementsDeclaration() {
    addAttributeDeclarationMarker(childXMLMarker());
}

bool DSObject::hasDeclaredContentValue() const {
    return attributeDeclarations_ && attributeDeclarations_->contains(contentMarker());
}

bool DSObject::hasDeclaredChildXMLElements() const {
    return attributeDeclarations_ && attributeDeclarations_->contains(childXMLMarker());
}

// ---- extensions

DSObject::ExtensionEntry* DSObject::entryFor(const DSClass& cls) {
    if (!extensions_)
        return nullptr;
    for (ExtensionEntry& entry : *extensions_)
        if (entry.cls == &cls)
            return &entry;
    return nullptr;
}

const DSObject::ExtensionEntry* DSObject::entryFor(const DSClass& cls) const {
    return const_cast<DSObject*>(this)->entryFor(cls);
}

void DSObject::removeEntry(const DSClass& cls) {
    if (extensions_)
        std::erase_if(*extensions_, [&](const ExtensionEntry& entry) { return entry.cls == &cls; });
}

DSInstanceRef DSObject::objectForExtensionClass(const DSClass& cls) const {
    const ExtensionEntry* entry = entryFor(cls);
    return entry && !entry->objects.isEmpty() ? entry->objects.first() : nullptr;
}

QList<DSInstanceRef> DSObject::objectsForExtensionClass(const DSClass& cls) const {
    const ExtensionEntry* entry = entryFor(cls);
    return entry ? entry->objects : QList<DSInstanceRef>();
}

QString DSObject::attributeValueForExtensionClass(const DSClass& cls) const {
    const auto attribute = DSInstanceCast<DSAttribute>(objectForExtensionClass(cls));
    return attribute ? attribute->stringValue() : QString();
}

void DSObject::setAttributeValue(const QString& value, const DSClass& cls) {
    setObject(DSAttribute::attributeWithValue(cls, value), cls);
}

void DSObject::ensureObjectHasXMLName(const DSInstanceRef& object, const DSClass& cls) {
    if (auto dsObject = DSInstanceCast<DSObject>(object); dsObject && dsObject->elementName_.isEmpty())
        dsObject->elementName_ = cls.qualifiedName();
}

void DSObject::setObject(const DSInstanceRef& object, const DSClass& cls) {
    if (!object) {
        removeEntry(cls);
        return;
    }
    ensureObjectHasXMLName(object, cls);
    if (ExtensionEntry* entry = entryFor(cls)) {
        *entry = ExtensionEntry{&cls, false, {object}};
        return;
    }
    if (!extensions_)
        extensions_.emplace();
    extensions_->push_back({&cls, false, {object}});
}

void DSObject::setObjects(const QList<DSInstanceRef>& objects, const DSClass& cls) {
    if (objects.isEmpty()) {
        removeEntry(cls);
        return;
    }
    for (const DSInstanceRef& object : objects)
        ensureObjectHasXMLName(object, cls);
    if (ExtensionEntry* entry = entryFor(cls)) {
        *entry = ExtensionEntry{&cls, true, objects};
        return;
    }
    if (!extensions_)
        extensions_.emplace();
    extensions_->push_back({&cls, true, objects});
}

void DSObject::addObject(const DSInstanceRef& object, const DSClass& cls) {
    if (!object)
        return;
    ExtensionEntry* entry = entryFor(cls);
    if (!entry) {
        setObject(object, cls);
        return;
    }
    ensureObjectHasXMLName(object, cls);
    entry->isList = true;
    entry->objects.append(object);
}

void DSObject::removeObject(const DSInstanceRef& object, const DSClass& cls) {
    ExtensionEntry* entry = entryFor(cls);
    if (!entry)
        return;
    if (!entry->isList) {
        if (ObjectsEqualOrBothNil(entry->objects.first(), object))
            removeEntry(cls);
        return;
    }
    entry->objects.removeIf(
        [&](const DSInstanceRef& stored) { return ObjectsEqualOrBothNil(stored, object); });
}

// ---- attributes, content, kept XML

void DSObject::setStringValueForAttribute(const QString& value, const QString& name) {
    if (value.isNull()) {
        if (attributes_)
            attributes_->remove(name);
        return;
    }
    if (!attributes_)
        attributes_.emplace();
    attributes_->insert(name, value);
}

QString DSObject::stringValueForAttribute(const QString& name) const {
    return attributes_ ? attributes_->value(name) : QString();
}

QString DSObject::contentStringValue() const {
    if (!hasDeclaredContentValue()) {
        DSProgrammingError(QStringLiteral("%1 getting undeclared content value").arg(dsClass().name()));
        return QString();
    }
    return contentValue_;
}

void DSObject::setContentStringValue(const QString& value) {
    if (!hasDeclaredContentValue()) {
        DSProgrammingError(QStringLiteral("%1 setting undeclared content value").arg(dsClass().name()));
        return;
    }
    contentValue_ = value;
}

void DSObject::addChildXMLElement(const DSXMLElementRef& element) {
    if (element)
        childXMLElements_.append(element);
}

// ---- namespaces

void DSObject::addNamespaces(const DSStringMap& namespaces) {
    if (!namespaces_)
        namespaces_.emplace();
    namespaces_->insert(namespaces);
}

std::optional<DSStringMap> DSObject::completeNamespaces() const {
    const DSObjectRef parentObject = parent();
    const std::optional<DSStringMap> inherited =
        parentObject ? parentObject->completeNamespaces() : std::nullopt;
    if (!inherited)
        return namespaces_;
    if (!namespaces_)
        return inherited;
    DSStringMap complete = *inherited;
    complete.insert(*namespaces_);
    return complete;
}

void DSObject::pruneInheritedNamespaces() {
    const DSObjectRef parentObject = parent();
    if (!parentObject || !namespaces_ || namespaces_->isEmpty())
        return;
    const std::optional<DSStringMap> inherited = parentObject->completeNamespaces();
    if (!inherited)
        return;
    for (auto it = namespaces_->begin(); it != namespaces_->end();) {
        const auto found = inherited->constFind(it.key());
        if (found != inherited->cend() && ObjectsEqualOrBothNil(found.value(), it.value()))
            it = namespaces_->erase(it);
        else
            ++it;
    }
}

std::optional<DSStringMap> DSObject::dictionaryForElementNamespaces(const DSXMLElementRef& element) {
    const QList<DSXMLNodeRef> declared = element ? element->namespaces() : QList<DSXMLNodeRef>();
    if (declared.isEmpty())
        return std::nullopt;
    DSStringMap map;
    for (const DSXMLNodeRef& ns : declared)
        map.insert(ns->name(), ns->stringValue());
    return map;
}

// ---- versions

QString DSObject::serviceVersion() const {
    return serviceVersion_.isNull() ? dsClass().defaultServiceVersion() : serviceVersion_;
}

void DSObject::setServiceVersion(const QString& version) {
    if (ObjectsEqualOrBothNil(version, serviceVersion_))
        return;
    coreProtocolVersion_ = QString();
    serviceVersion_ = version;
}

bool DSObject::isServiceVersionAtLeast(const QString& version) const {
    return DSUtilities::compareVersion(serviceVersion(), version) != -1;
}

bool DSObject::isServiceVersionAtMost(const QString& version) const {
    return DSUtilities::compareVersion(serviceVersion(), version) != 1;
}

QString DSObject::coreProtocolVersion() const {
    if (coreProtocolVersion_.isNull())
        coreProtocolVersion_ = coreProtocolVersionForServiceVersion(serviceVersion());
    return coreProtocolVersion_;
}

bool DSObject::isCoreProtocolVersion1() const {
    return DSLeadingInt(coreProtocolVersion()) < 2;
}

void DSObject::setProperty(const QString& key, const QVariant& value) {
    if (value.isValid())
        userProperties_.insert(key, value);
    else
        userProperties_.remove(key);
}

// ---- caches

std::shared_ptr<DSExtensionDeclarationsCache> DSObject::extensionDeclarationsCache() const {
    if (extensionDeclarationsCache_)
        return extensionDeclarationsCache_;
    const DSObjectRef parentObject = parent();
    return parentObject ? parentObject->extensionDeclarationsCache() : nullptr;
}

std::shared_ptr<DSAttributeDeclarationsCache> DSObject::attributeDeclarationsCache() const {
    if (attributeDeclarationsCache_)
        return attributeDeclarationsCache_;
    const DSObjectRef parentObject = parent();
    return parentObject ? parentObject->attributeDeclarationsCache() : nullptr;
}

void DSObject::setExtensionDeclarationsCache(const std::shared_ptr<DSExtensionDeclarationsCache>& cache) {
    extensionDeclarationsCache_ = cache ? std::make_shared<DSExtensionDeclarationsCache>(*cache) : nullptr;
}

void DSObject::setAttributeDeclarationsCache(const std::shared_ptr<DSAttributeDeclarationsCache>& cache) {
    attributeDeclarationsCache_ = cache ? std::make_shared<DSAttributeDeclarationsCache>(*cache) : nullptr;
}
