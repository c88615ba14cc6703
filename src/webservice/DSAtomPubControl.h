#pragma once

#include "webservice/DSAtomElements.h"

DS_ELEMENT_CLASS(DSAtomPubDraft, DSValueClassOf, DSValueElementConstruct, kDSNamespaceAtomPub, "app",
                 "draft");

// The AtomPub control of an entry: whether it is a draft, and what the service adds (its publication state).
class DSAtomPubControl : public DSClassOf<DSAtomPubControl, DSObject> {
public:
    static DSClassInfo classInfo() {
        DSClassInfo info = DSElementInfo("DSAtomPubControl", kDSNamespaceAtomPub, "app", "control");
        info.children = {&DSAtomPubDraft::staticClass};
        info.defaultServiceVersion = "2.0";
        return info;
    }

    // A control that declares its own namespace, so that it can be written on its own.
    static std::shared_ptr<DSAtomPubControl> atomPubControl() {
        auto control = object();
        control->setNamespaces(
            DSStringMap{{QLatin1String(kDSNamespaceAtomPubPrefix), QLatin1String(kDSNamespaceAtomPub)}});
        return control;
    }
    static std::shared_ptr<DSAtomPubControl> atomPubControlWithIsDraft(bool isDraft) {
        auto control = atomPubControl();
        control->setIsDraft(isDraft);
        return control;
    }

    bool isDraft() const {
        return stringValueFor<DSAtomPubDraft>().compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0;
    }
    void setIsDraft(bool isDraft) {
        setStringValueFor<DSAtomPubDraft>(isDraft ? QStringLiteral("yes") : QString());
    }

    QStringList itemsForDescription() const override {
        QStringList items = DSObject::itemsForDescription();
        addToArray(items, isDraft() ? QStringLiteral("yes") : QStringLiteral("no"),
                   QStringLiteral("isDraft"));
        return items;
    }
};
