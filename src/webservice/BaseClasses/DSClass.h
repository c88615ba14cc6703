#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class DSClass;
class DSInstance;
using DSInstanceRef = std::shared_ptr<DSInstance>;
using DSClassGetter = const DSClass& (*)();

// What an element class says about itself: its name, the element (or attribute) it stands for, what it
// declares for parsing, and its class-side values. Leave a field empty to inherit the base class's. Element
// classes are declared by one such table each (see DSClassOf).
struct DSClassInfo {
    const char* name = nullptr;
    // The element's namespace URI, usual prefix and local name ("*": any element of the namespace). The URI
    // is a string because the service's own namespaces are read from its address table.
    QString uri = {};
    const char* prefix = nullptr;
    const char* localName = nullptr;
    // Attributes read and written by name as written ("xml:lang", "href"); the text content kept as a value;
    // child elements kept verbatim.
    QStringList attributes = {};
    bool contentValue = false;
    bool childXML = false;
    // Element and attribute classes this class may contain, declared for itself.
    std::vector<DSClassGetter> children = {};
    std::vector<DSClassGetter> attributeChildren = {};
    // Value constructs: the attribute holding the value ("" for the text content) and a name attribute.
    const char* valueAttribute = nullptr;
    const char* nameAttribute = nullptr;
    QStringList attributesIgnoredForEquality = {};
    // Entries and feeds: the service version, the kind term, the kind attribute value, the class of entries
    // of unknown kind.
    const char* defaultServiceVersion = nullptr;
    QString standardKind = {};
    const char* kindAttributeValue = nullptr;
    DSClassGetter defaultClassForEntries = nullptr;
    // Feeds: the class of every entry; none lets each entry's kind choose.
    DSClassGetter classForEntries = nullptr;
};

// The table of a class that names its element (or attribute) and declares nothing else.
inline DSClassInfo DSElementInfo(const char* name, const QString& uri, const char* prefix,
                                 const char* localName) {
    return {.name = name, .uri = uri, .prefix = prefix, .localName = localName};
}

// Declares such a class in one line: `DS_ELEMENT_CLASS(DSAtomID, DSValueClassOf, DSValueElementConstruct,
// kDSNamespaceAtom, "atom", "id");` where the second argument is the class template that gives it its makers.
#define DS_ELEMENT_CLASS(Class, ClassOf, Base, uri, prefix, localName)                                       \
    class Class : public ClassOf<Class, Base> {                                                              \
    public:                                                                                                  \
        static DSClassInfo classInfo() { return DSElementInfo(#Class, uri, prefix, localName); }             \
    }

// The identity of an element class: made once per class on first use, never freed, compared by address.
class DSClass {
public:
    DSClass(DSClassInfo info, const DSClass* base, std::function<DSInstanceRef()> factory);
    DSClass(const DSClass&) = delete;
    DSClass& operator=(const DSClass&) = delete;

    const QString& name() const { return name_; }
    const DSClass* base() const { return base_; }
    bool isSubclassOf(const DSClass& other) const;
    DSInstanceRef make() const { return factory_(); }

    // Whether the class names an element or attribute of its own or through its base (it can be contained).
    bool isExtension() const { return !localName_.isNull(); }
    const QString& extensionElementURI() const { return uri_; }
    const QString& extensionElementPrefix() const { return prefix_; }
    const QString& extensionElementLocalName() const { return localName_; }
    // The bare local name in the Atom namespace or none, else "prefix:local"; computed once.
    const QString& qualifiedName() const { return qualifiedName_; }

    const DSClassInfo& info() const { return info_; }
    // The class-side values, inherited along the base chain.
    QString defaultServiceVersion() const;
    QString standardKind() const;
    QString kindAttributeValue() const;
    const DSClass* defaultClassForEntries() const;
    const DSClass* classForEntries() const;
    QString valueAttribute() const; // null: none declared anywhere
    QString nameAttribute() const;
    QStringList attributesIgnoredForEquality() const;
    // The chain from the root class down to this one.
    std::vector<const DSClass*> lineage() const;

    // The process-wide registry by name, filled by registerDsClasses().
    static void registerClassName(const DSClass& cls);
    static const DSClass* classNamed(const QString& name);

private:
    DSClassInfo info_;
    const DSClass* base_;
    std::function<DSInstanceRef()> factory_;
    QString name_, uri_, prefix_, localName_, qualifiedName_;
};

// Anything an element class makes: the objects of the object model and the attribute values.
class DSInstance {
public:
    virtual ~DSInstance() = default;
    virtual const DSClass& dsClass() const = 0;
    bool isKindOfClass(const DSClass& cls) const { return dsClass().isSubclassOf(cls); }
    virtual DSInstanceRef copyInstance() const = 0;
    virtual bool isEqual(const DSInstance* other) const = 0;
    virtual QString description() const = 0;
};

// Equal when both are absent, the same, or equal by the first one's rule.
inline bool ObjectsEqualOrBothNil(const DSInstance* a, const DSInstance* b) {
    return a == b || (a && b && a->isEqual(b));
}
inline bool ObjectsEqualOrBothNil(const DSInstanceRef& a, const DSInstanceRef& b) {
    return ObjectsEqualOrBothNil(a.get(), b.get());
}
// A null string is absent and differs from an empty one.
inline bool ObjectsEqualOrBothNil(const QString& a, const QString& b) {
    return a.isNull() == b.isNull() && a == b;
}
inline bool BoolsEqual(bool a, bool b) {
    return a == b;
}

// Declares an element class in one line: `class DSAtomID : public DSClassOf<DSAtomID,
// DSValueElementConstruct>` with a static `DSClassInfo classInfo()`. It gives the class its identity, its
// factory and `object()`.
template <class Self, class Base> class DSClassOf : public Base {
public:
    static const DSClass& staticClass() {
        static const DSClass descriptor(Self::classInfo(), &Base::staticClass(),
                                        [] { return DSInstanceRef(std::make_shared<Self>()); });
        return descriptor;
    }
    const DSClass& dsClass() const override { return staticClass(); }
    // A new object made by code.
    static std::shared_ptr<Self> object() {
        auto made = std::make_shared<Self>();
        made->init();
        return made;
    }
};

template <class T> std::shared_ptr<T> DSInstanceCast(const DSInstanceRef& instance) {
    return instance && instance->isKindOfClass(T::staticClass()) ? std::static_pointer_cast<T>(instance)
                                                                 : nullptr;
}
