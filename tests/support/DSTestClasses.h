#pragma once

// Element classes for the object-model tests: a value, a link with attributes, a class gathering a whole
// namespace, an attribute extension, a class keeping its child XML, entries and a feed with kinds, and a
// video entry and feed.

#include "support/TestEnvironment.h"
#include "webservice/BaseClasses/DSEntryBase.h"
#include "webservice/BaseClasses/DSFeedBase.h"
#include "webservice/BaseClasses/DSNamespaces.h"
#include "webservice/DSClasses.h"
#include "webservice/DSFeedLink.h"
#include "webservice/DSMediaGroup.h"
#include "webservice/DSValueConstruct.h"
#include "webservice/Geo/DSGeo.h"

#include <QByteArray>

#include <mutex>

namespace ds_test {

inline constexpr char kValueNamespace[] = "urn:test:values";
inline constexpr char kOtherNamespace[] = "urn:test:other";

class Value : public DSValueClassOf<Value, DSValueElementConstruct> {
public:
    static DSClassInfo classInfo() {
        return {.name = "TestValue", .uri = kValueNamespace, .prefix = "t", .localName = "value"};
    }
};

class Link : public DSClassOf<Link, DSObject> {
public:
    static DSClassInfo classInfo() {
        return {.name = "TestLink",
                .uri = kDSNamespaceAtom,
                .prefix = "atom",
                .localName = "link",
                .attributes = {QStringLiteral("rel"), QStringLiteral("href")}};
    }
};

class AnyOther : public DSClassOf<AnyOther, DSObject> {
public:
    static DSClassInfo classInfo() {
        return {.name = "TestAnyOther", .uri = kOtherNamespace, .prefix = "o", .localName = "*"};
    }
};

class ETag : public DSClassOf<ETag, DSAttribute> {
public:
    static DSClassInfo classInfo() {
        return {.name = "TestETag", .uri = DSNamespaceDS(), .prefix = "ds", .localName = "etag"};
    }
};

class Keeper : public DSClassOf<Keeper, DSObject> {
public:
    static DSClassInfo classInfo() { return {.name = "TestKeeper", .localName = "keeper", .childXML = true}; }
};

class Entry : public DSEntryClassOf<Entry, DSEntryBase> {
public:
    static DSClassInfo classInfo() {
        return {.name = "TestEntry",
                .children = {&Value::staticClass, &Link::staticClass, &AnyOther::staticClass},
                .attributeChildren = {&ETag::staticClass},
                .standardKind = "test-entry-a"};
    }
    // The test's own link and etag classes stand in for the entry base's.
    void addExtensionDeclarations() override {
        DSEntryBase::addExtensionDeclarations();
        removeExtensionDeclaration(dsClass(), DSLink::staticClass());
        removeExtensionDeclaration(dsClass(), DSETagAttribute::staticClass(), true);
    }
};

class OtherEntry : public DSEntryClassOf<OtherEntry, DSEntryBase> {
public:
    static DSClassInfo classInfo() { return {.name = "TestOtherEntry", .standardKind = "test-entry-b"}; }
};

class Feed : public DSFeedClassOf<Feed, DSFeedBase> {
public:
    static DSClassInfo classInfo() {
        return {.name = "TestFeed",
                .standardKind = "test-feed",
                .defaultClassForEntries = &OtherEntry::staticClass};
    }
};

// Stand-ins for the video service's entry and feed, never registered: they read what the shared service
// documents hold of this library's elements (comments, media group, geo).
class VideoEntry : public DSEntryClassOf<VideoEntry, DSEntryBase> {
public:
    static DSClassInfo classInfo() {
        return {.name = "TestVideoEntry", .children = {&DSComment::staticClass, &DSMediaGroup::staticClass}};
    }
    void addExtensionDeclarations() override {
        DSEntryBase::addExtensionDeclarations();
        DSGeo::addGeoExtensionDeclarations(*this, dsClass());
    }
};

class VideoFeed : public DSFeedClassOf<VideoFeed, DSFeedBase> {
public:
    static DSClassInfo classInfo() {
        return {.name = "TestVideoFeed", .classForEntries = &VideoEntry::staticClass};
    }
};

// Registers the entries and the feed under their kinds once for the whole test run.
inline void registerKinds() {
    static std::once_flag once;
    std::call_once(once, [] {
        DSEntryBase::registerEntryClass(Entry::staticClass());
        DSEntryBase::registerEntryClass(OtherEntry::staticClass());
        DSFeedBase::registerFeedClass(Feed::staticClass());
    });
}

// An element's text read into an object of the class T.
template <class T> std::shared_ptr<T> parsed(const QString& xml) {
    registerDsClasses();
    return DSInstanceCast<T>(
        DSObject::objectWithXMLElement(DSXMLElement::elementWithXMLString(xml), &T::staticClass()));
}

inline QByteArray entryDocument() {
    return QByteArrayLiteral("<entry xmlns='http://www.w3.org/2005/Atom' xmlns:t='urn:test:values' "
                             "xmlns:o='urn:test:other' xmlns:ds='http://schemas.vistrelle.invalid/ds/2005' "
                             "ds:etag='W/1' extra='x'>"
                             "<t:value>1</t:value><link rel='self' href='a'/><link rel='next' href='b'/>"
                             "<o:one/><o:two/><unknown>u</unknown><!-- note -->tail</entry>");
}

} // namespace ds_test
