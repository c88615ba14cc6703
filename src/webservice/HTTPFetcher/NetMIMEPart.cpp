#include "webservice/HTTPFetcher/NetMIMEPart.h"

#include <QStringList>

#include <algorithm>

NetMIMEPart::NetMIMEPart(const Headers& headers, const QByteArray& body) : bodyData_(body) {
    QStringList names = headers.keys();
    // Names equal but for case keep a fixed order between them, so the same headers give the same bytes.
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
    QString block;
    for (const QString& name : names)
        block += name + QLatin1String(": ") + headers.value(name) + QLatin1String("\r\n");
    block += QLatin1String("\r\n");
    headerData_ = block.toUtf8();
}

NetMIMEPart NetMIMEPart::partWithHeaders(const Headers& headers, const QByteArray& body) {
    return NetMIMEPart(headers, body);
}

bool NetMIMEPart::containsBytes(QByteArrayView bytes) const {
    return headerData_.contains(bytes) || bodyData_.contains(bytes);
}
