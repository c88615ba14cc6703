#pragma once

#include "webservice/DSAtomElements.h"

// The program that made a feed: its name as the text, a version and an address.
class DSGenerator : public DSClassOf<DSGenerator, DSObject> {
public:
    static DSClassInfo classInfo() {
        DSClassInfo info = DSElementInfo("DSGenerator", kDSNamespaceAtom, "atom", "generator");
        info.attributes = {QStringLiteral("version"), QStringLiteral("uri")};
        info.contentValue = true;
        return info;
    }

    static std::shared_ptr<DSGenerator> generatorWithName(const QString& name, const QString& version,
                                                          const QString& uri) {
        auto generator = object();
        generator->setName(name);
        generator->setVersion(version);
        generator->setURI(uri);
        return generator;
    }

    QString name() const { return contentStringValue(); }
    void setName(const QString& name) { setContentStringValue(name); }
    QString version() const { return stringValueForAttribute(QStringLiteral("version")); }
    void setVersion(const QString& version) {
        setStringValueForAttribute(version, QStringLiteral("version"));
    }
    QString URI() const { return stringValueForAttribute(QStringLiteral("uri")); }
    void setURI(const QString& uri) { setStringValueForAttribute(uri, QStringLiteral("uri")); }
};
