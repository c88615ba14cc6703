#pragma once

// The batch elements: what an entry of a batch request asks for and what the reply says of it.

#include "webservice/BaseClasses/DSNamespaces.h"
#include "webservice/BaseClasses/DSObject.h"

inline constexpr char kDSBatchOperationInsert[] = "insert";
inline constexpr char kDSBatchOperationUpdate[] = "update";
inline constexpr char kDSBatchOperationDelete[] = "delete";
inline constexpr char kDSBatchOperationQuery[] = "query";

// The operation of a batch entry, or the default one of a batch feed.
class DSBatchOperation : public DSClassOf<DSBatchOperation, DSObject> {
public:
    static DSClassInfo classInfo() {
        DSClassInfo info = DSElementInfo("DSBatchOperation", DSNamespaceBatch(), "batch", "operation");
        info.attributes = {QStringLiteral("type")};
        return info;
    }
    static std::shared_ptr<DSBatchOperation> batchOperationWithType(const QString& type) {
        auto operation = object();
        operation->setType(type);
        return operation;
    }
    QString type() const { return stringValueForAttribute(QStringLiteral("type")); }
    void setType(const QString& type) { setStringValueForAttribute(type, QStringLiteral("type")); }
};

// The identifier a client gave a batch entry, as the element's text.
class DSBatchID : public DSClassOf<DSBatchID, DSObject> {
public:
    static DSClassInfo classInfo() {
        DSClassInfo info = DSElementInfo("DSBatchID", DSNamespaceBatch(), "batch", "id");
        info.contentValue = true;
        return info;
    }
    static std::shared_ptr<DSBatchID> batchIDWithString(const QString& identifier) {
        auto made = object();
        made->setStringValue(identifier);
        return made;
    }
    QString stringValue() const { return contentStringValue(); }
    void setStringValue(const QString& text) { setContentStringValue(text); }
};

// The outcome of one batch entry: an HTTP status, its reason and a body.
class DSBatchStatus : public DSClassOf<DSBatchStatus, DSObject> {
public:
    static DSClassInfo classInfo() {
        DSClassInfo info = DSElementInfo("DSBatchStatus", DSNamespaceBatch(), "batch", "status");
        info.attributes = {QStringLiteral("code"), QStringLiteral("reason"), QStringLiteral("content-type")};
        info.contentValue = true;
        return info;
    }
    static std::shared_ptr<DSBatchStatus> batchStatusWithCode(int code, const QString& reason) {
        auto status = object();
        status->setReason(reason);
        status->setCode(code);
        return status;
    }
    std::optional<int> code() const { return intNumberForAttribute(QStringLiteral("code")); }
    void setCode(std::optional<int> code) { setNumberValue(code, QStringLiteral("code")); }
    QString reason() const { return stringValueForAttribute(QStringLiteral("reason")); }
    void setReason(const QString& reason) { setStringValueForAttribute(reason, QStringLiteral("reason")); }
    QString contentType() const { return stringValueForAttribute(QStringLiteral("content-type")); }
    void setContentType(const QString& type) {
        setStringValueForAttribute(type, QStringLiteral("content-type"));
    }
    QString stringValue() const { return contentStringValue(); }
    void setStringValue(const QString& text) { setContentStringValue(text); }
};

// A batch the service stopped: how many entries it read, and how many of them succeeded and failed.
class DSBatchInterrupted : public DSClassOf<DSBatchInterrupted, DSObject> {
public:
    static DSClassInfo classInfo() {
        DSClassInfo info = DSElementInfo("DSBatchInterrupted", DSNamespaceBatch(), "batch", "interrupted");
        info.attributes = {QStringLiteral("reason"), QStringLiteral("success"), QStringLiteral("failures"),
                           QStringLiteral("parsed"), QStringLiteral("content-type")};
        info.contentValue = true;
        return info;
    }
    static std::shared_ptr<DSBatchInterrupted> batchInterrupted() { return object(); }

    QString reason() const { return stringValueForAttribute(QStringLiteral("reason")); }
    void setReason(const QString& reason) { setStringValueForAttribute(reason, QStringLiteral("reason")); }
    std::optional<int> successCount() const { return intNumberForAttribute(QStringLiteral("success")); }
    void setSuccessCount(std::optional<int> count) { setNumberValue(count, QStringLiteral("success")); }
    std::optional<int> errorCount() const { return intNumberForAttribute(QStringLiteral("failures")); }
    void setErrorCount(std::optional<int> count) { setNumberValue(count, QStringLiteral("failures")); }
    std::optional<int> totalCount() const { return intNumberForAttribute(QStringLiteral("parsed")); }
    void setTotalCount(std::optional<int> count) { setNumberValue(count, QStringLiteral("parsed")); }
    QString contentType() const { return stringValueForAttribute(QStringLiteral("content-type")); }
    void setContentType(const QString& type) {
        setStringValueForAttribute(type, QStringLiteral("content-type"));
    }
    QString stringValue() const { return contentStringValue(); }
    void setStringValue(const QString& text) { setContentStringValue(text); }
};
