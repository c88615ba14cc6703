#pragma once

#include "webservice/DSXMLElement.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>

#include <optional>

// One error of a DS error document, as the server words it.
class DSServerError {
public:
    DSServerError() = default;
    explicit DSServerError(const DSXMLElementRef& element);

    // The text of the element's first child of that local name in the DS namespace; null when there is none.
    static QString errorStringForParentElement(const DSXMLElementRef& element, const QString& childName);

    // `D error C: "R"`, or `D error C` without a reason.
    QString summary() const;
    QString description() const;

    QString domain() const { return domain_; }
    void setDomain(const QString& value) { domain_ = value; }
    QString code() const { return code_; }
    void setCode(const QString& value) { code_ = value; }
    QString internalReason() const { return internalReason_; }
    void setInternalReason(const QString& value) { internalReason_ = value; }
    QString extendedHelpURI() const { return extendedHelpURI_; }
    void setExtendedHelpURI(const QString& value) { extendedHelpURI_ = value; }
    QString sendReportURI() const { return sendReportURI_; }
    void setSendReportURI(const QString& value) { sendReportURI_ = value; }

    friend bool operator==(const DSServerError&, const DSServerError&) = default;

private:
    QString domain_;
    QString code_;
    QString internalReason_;
    QString extendedHelpURI_;
    QString sendReportURI_;
};

// The errors of a DS error document ("application/vnd.ds.error+xml"): the "error" children of its root in
// the DS namespace, in document order. A group that exists holds at least one error.
class DSServerErrorGroup {
public:
    DSServerErrorGroup() = default;
    // None when the data is not XML or names no error.
    static std::optional<DSServerErrorGroup> groupWithData(const QByteArray& data);
    static QList<DSServerError> serverErrorsWithData(const QByteArray& data);

    const QList<DSServerError>& errors() const { return errors_; }
    void setErrors(const QList<DSServerError>& errors) { errors_ = errors; }
    // The first error; an empty one for an empty list.
    DSServerError mainError() const { return errors_.value(0); }
    QString description() const;

    friend bool operator==(const DSServerErrorGroup&, const DSServerErrorGroup&) = default;

private:
    QList<DSServerError> errors_;
};

Q_DECLARE_METATYPE(DSServerErrorGroup)
