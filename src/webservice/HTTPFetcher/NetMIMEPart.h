#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QMap>
#include <QString>

// One part of a multipart body: its header block, rendered when the part is made, and its body as given
// (shared, not copied).
class NetMIMEPart {
public:
    using Headers = QMap<QString, QString>;

    // The header block is one "name: value" line per header, names in order ignoring case, then an empty
    // line.
    NetMIMEPart(const Headers& headers, const QByteArray& body);
    static NetMIMEPart partWithHeaders(const Headers& headers, const QByteArray& body);

    const QByteArray& header() const { return headerData_; }
    const QByteArray& body() const { return bodyData_; }
    qint64 length() const { return headerData_.size() + bodyData_.size(); }
    // Whether the bytes occur inside the header block or inside the body.
    bool containsBytes(QByteArrayView bytes) const;

private:
    QByteArray headerData_;
    QByteArray bodyData_;
};
