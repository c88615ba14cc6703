#pragma once

// Hand-made archive records, for archives as older or foreign versions wrote them, and a probe that
// lists the keys a class was written with.

#include "platform/foundation/KeyedArchive.h"

#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace model_test {

class RawRecord : public platform::Archivable {
public:
    explicit RawRecord(QStringList classes) : classes(std::move(classes)) {}
    QStringList archiveClassNames() const override { return classes; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override {
        for (const auto& write : writes)
            write(coder);
    }
    RawRecord& object(const QString& key, const QVariant& value) {
        writes.push_back([=](platform::KeyedArchiver& c) { c.encodeObject(value, key); });
        return *this;
    }
    RawRecord& child(const QString& key, const platform::ArchivableRef& value) {
        writes.push_back([=](platform::KeyedArchiver& c) { c.encodeObject(value, key); });
        return *this;
    }
    RawRecord& int32(const QString& key, qint32 value) {
        writes.push_back([=](platform::KeyedArchiver& c) { c.encodeInt32(value, key); });
        return *this;
    }
    RawRecord& real(const QString& key, float value) {
        writes.push_back([=](platform::KeyedArchiver& c) { c.encodeFloat(value, key); });
        return *this;
    }
    RawRecord& boolean(const QString& key, bool value) {
        writes.push_back([=](platform::KeyedArchiver& c) { c.encodeBool(value, key); });
        return *this;
    }

private:
    QStringList classes;
    std::vector<std::function<void(platform::KeyedArchiver&)>> writes;
};

inline std::shared_ptr<RawRecord> record(const QString& className) {
    return std::make_shared<RawRecord>(QStringList{className});
}

// Which of the given keys a record of className holds in an archive. Registers a probe under the
// class name for the time of the call and then puts the real factory back.
QStringList keysPresent(const QByteArray& archive, const QString& className, const QStringList& candidates);

// Puts the model's own factory for className back after a test replaced it.
void restoreFactory(const QString& className);

} // namespace model_test
