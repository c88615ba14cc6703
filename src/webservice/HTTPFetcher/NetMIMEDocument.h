#pragma once

#include "webservice/HTTPFetcher/NetGatherInputStream.h"
#include "webservice/HTTPFetcher/NetMIMEPart.h"

#include <QList>
#include <QString>

#include <memory>

// A multipart body built from parts without copying them into one buffer. Its boundary is one that no
// part contains. The body begins with the first delimiter's line break (no preamble):
//   for each part "\r\n--" boundary "\r\n", the part's header block, its body;
//   then "\r\n--" boundary "--\r\n".
class NetMIMEDocument {
public:
    struct GeneratedBody {
        std::unique_ptr<NetGatherInputStream> stream; // over the parts' own bytes; open it before reading
        quint64 length = 0;                           // the bytes the stream yields
        QString boundary;                             // for the "Content-Type" header
    };

    static std::unique_ptr<NetMIMEDocument> MIMEDocument() { return std::make_unique<NetMIMEDocument>(); }

    void addPartWithHeaders(const NetMIMEPart::Headers& headers, const QByteArray& body);
    const QList<NetMIMEPart>& parts() const { return parts_; }

    // A seed other than 0 makes boundaries repeatable: boundary numbers then count up from it.
    void seedRandomWith(quint32 seed) { randomSeed_ = seed; }
    quint32 random();
    QString uniqueBoundary();

    // Chooses a boundary and lays out the body; call it once the parts are all added.
    GeneratedBody generateInputStream();

private:
    bool anyPartContains(const QString& candidate) const;

    QList<NetMIMEPart> parts_;
    quint32 randomSeed_ = 0;
};
