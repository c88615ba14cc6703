#pragma once

#include "webservice/BaseClasses/DSClass.h"

#include <QHash>

#include <mutex>

// A process-wide map from kind key to class: filled while the classes register, read by every parse thread.
class DSKindMap {
public:
    // The term alone for the kind scheme or none; else {"scheme":"term"}.
    static QString keyFor(const QString& scheme, const QString& term);

    const DSClass* value(const QString& key) const {
        std::lock_guard guard(lock_);
        return classes_.value(key, nullptr);
    }
    void insert(const QString& key, const DSClass* cls) {
        std::lock_guard guard(lock_);
        classes_.insert(key, cls);
    }

private:
    mutable std::mutex lock_;
    QHash<QString, const DSClass*> classes_;
};
