#include "webservice/BaseClasses/DSServerErrorGroup.h"

#include "webservice/BaseClasses/DSNamespaces.h"
#include "webservice/DSXMLDocument.h"

namespace {

QString address(const void* object) {
    return QStringLiteral("0x") + QString::number(reinterpret_cast<quintptr>(object), 16);
}

} // namespace

DSServerError::DSServerError(const DSXMLElementRef& element)
    : domain_(errorStringForParentElement(element, QStringLiteral("domain"))),
      code_(errorStringForParentElement(element, QStringLiteral("code"))),
      internalReason_(errorStringForParentElement(element, QStringLiteral("internalReason"))),
      extendedHelpURI_(errorStringForParentElement(element, QStringLiteral("extendedHelp"))),
      sendReportURI_(errorStringForParentElement(element, QStringLiteral("sendReport"))) {}

QString DSServerError::errorStringForParentElement(const DSXMLElementRef& element, const QString& childName) {
    const QList<DSXMLElementRef> children = element->elementsForLocalNameURI(childName, DSNamespaceDS());
    return children.isEmpty() ? QString() : children.first()->stringValue();
}

QString DSServerError::summary() const {
    const QString head = QStringLiteral("%1 error %2").arg(domain_, code_);
    if (internalReason_.isEmpty())
        return head;
    return head + QStringLiteral(": \"") + internalReason_ + QLatin1Char('"');
}

QString DSServerError::description() const {
    QStringList items;
    const auto add = [&items](const char* name, const QString& value) {
        if (!value.isNull())
            items.append(QLatin1String(name) + QStringLiteral("=\"") + value + QLatin1Char('"'));
    };
    add("domain", domain_);
    add("code", code_);
    add("reason", internalReason_);
    add("help", extendedHelpURI_);
    add("report", sendReportURI_);
    return QStringLiteral("DSServerError %1: {%2}").arg(address(this), items.join(QLatin1Char(' ')));
}

QList<DSServerError> DSServerErrorGroup::serverErrorsWithData(const QByteArray& data) {
    const DSXMLDocumentRef document = DSXMLDocument::documentWithData(data);
    const DSXMLElementRef root = document ? document->rootElement() : nullptr;
    QList<DSServerError> errors;
    if (!root)
        return errors;
    for (const DSXMLElementRef& element :
         root->elementsForLocalNameURI(QStringLiteral("error"), DSNamespaceDS()))
        errors.append(DSServerError(element));
    return errors;
}

std::optional<DSServerErrorGroup> DSServerErrorGroup::groupWithData(const QByteArray& data) {
    const QList<DSServerError> errors = serverErrorsWithData(data);
    if (errors.isEmpty())
        return std::nullopt;
    DSServerErrorGroup group;
    group.setErrors(errors);
    return group;
}

QString DSServerErrorGroup::description() const {
    QStringList items;
    for (const DSServerError& error : errors_)
        items.append(error.description());
    return QStringLiteral("DSServerErrorGroup %1: {errors: (%2)}")
        .arg(address(this), items.join(QStringLiteral(", ")));
}
