#pragma once

#include "webservice/BaseClasses/DSClass.h"

#include <QHash>

// One declaration: objects of `parentClass` may contain `childClass`, as an element or as an attribute.
struct DSExtensionDeclaration {
    const DSClass* parentClass = nullptr;
    const DSClass* childClass = nullptr;
    bool isAttribute = false;

    bool operator==(const DSExtensionDeclaration&) const = default;
    QString description() const {
        return QStringLiteral("DSExtensionDeclaration: {%1 can contain %2}%3")
            .arg(parentClass->name(), childClass->name(),
                 isAttribute ? QStringLiteral(" (attribute)") : QString());
    }
};

using DSExtensionDeclarationList = std::vector<DSExtensionDeclaration>;
// Declaring class -> parent class -> declarations, in the order made.
using DSExtensionDeclarationsCache = QHash<const DSClass*, QHash<const DSClass*, DSExtensionDeclarationList>>;
// Declaring class -> its attribute names and markers; an object shares its class's list.
using DSAttributeDeclarationsCache = QHash<const DSClass*, std::shared_ptr<QStringList>>;
