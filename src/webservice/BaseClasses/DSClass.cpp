#include "webservice/BaseClasses/DSClass.h"

#include "webservice/BaseClasses/DSNamespaces.h"

#include <QHash>

#include <mutex>

namespace {

struct NameRegistry {
    std::mutex lock;
    QHash<QString, const DSClass*> classes;
};

NameRegistry& nameRegistry() {
    static NameRegistry registry;
    return registry;
}

QString text(const char* value) {
    return value ? QString::fromUtf8(value) : QString();
}

// The first class up the chain (this one included) whose table gives the field.
template <class Value> Value firstGiven(const DSClass* cls, Value DSClassInfo::*field) {
    for (; cls; cls = cls->base())
        if (cls->info().*field)
            return cls->info().*field;
    return Value();
}

} // namespace

DSClass::DSClass(DSClassInfo info, const DSClass* base, std::function<DSInstanceRef()> factory)
    : info_(std::move(info)), base_(base), factory_(std::move(factory)), name_(text(info_.name)) {
    if (info_.localName) {
        uri_ = info_.uri;
        prefix_ = text(info_.prefix);
        localName_ = text(info_.localName);
    } else if (base_) {
        uri_ = base_->uri_;
        prefix_ = base_->prefix_;
        localName_ = base_->localName_;
    }
    if (localName_.isNull())
        return;
    if (uri_.isEmpty() || uri_ == QLatin1String(kDSNamespaceAtom) || prefix_.isEmpty())
        qualifiedName_ = localName_;
    else
        qualifiedName_ = prefix_ + QLatin1Char(':') + localName_;
}

bool DSClass::isSubclassOf(const DSClass& other) const {
    for (const DSClass* cls = this; cls; cls = cls->base_)
        if (cls == &other)
            return true;
    return false;
}

QString DSClass::defaultServiceVersion() const {
    return text(firstGiven(this, &DSClassInfo::defaultServiceVersion));
}

QString DSClass::standardKind() const {
    for (const DSClass* cls = this; cls; cls = cls->base_)
        if (!cls->info_.standardKind.isNull())
            return cls->info_.standardKind;
    return QString();
}

QString DSClass::kindAttributeValue() const {
    return text(firstGiven(this, &DSClassInfo::kindAttributeValue));
}

const DSClass* DSClass::defaultClassForEntries() const {
    const DSClassGetter getter = firstGiven(this, &DSClassInfo::defaultClassForEntries);
    return getter ? &getter() : nullptr;
}

const DSClass* DSClass::classForEntries() const {
    const DSClassGetter getter = firstGiven(this, &DSClassInfo::classForEntries);
    return getter ? &getter() : nullptr;
}

QString DSClass::valueAttribute() const {
    return text(firstGiven(this, &DSClassInfo::valueAttribute));
}

QString DSClass::nameAttribute() const {
    return text(firstGiven(this, &DSClassInfo::nameAttribute));
}

QStringList DSClass::attributesIgnoredForEquality() const {
    for (const DSClass* cls = this; cls; cls = cls->base_)
        if (!cls->info_.attributesIgnoredForEquality.isEmpty())
            return cls->info_.attributesIgnoredForEquality;
    return {};
}

std::vector<const DSClass*> DSClass::lineage() const {
    std::vector<const DSClass*> chain;
    for (const DSClass* cls = this; cls; cls = cls->base_)
        chain.insert(chain.begin(), cls);
    return chain;
}

void DSClass::registerClassName(const DSClass& cls) {
    NameRegistry& registry = nameRegistry();
    std::lock_guard guard(registry.lock);
    registry.classes.insert(cls.name(), &cls);
}

const DSClass* DSClass::classNamed(const QString& name) {
    NameRegistry& registry = nameRegistry();
    std::lock_guard guard(registry.lock);
    return registry.classes.value(name, nullptr);
}
