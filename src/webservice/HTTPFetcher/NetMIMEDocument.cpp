#include "webservice/HTTPFetcher/NetMIMEDocument.h"

#include <QRandomGenerator>

#include <algorithm>

namespace {

const QString boundaryStem = QStringLiteral("END_OF_PART");
constexpr int boundaryCandidates = 10;

QString hex8(quint32 number) {
    return QStringLiteral("%1").arg(number, 8, 16, QLatin1Char('0'));
}

} // namespace

void NetMIMEDocument::addPartWithHeaders(const NetMIMEPart::Headers& headers, const QByteArray& body) {
    parts_.append(NetMIMEPart::partWithHeaders(headers, body));
}

quint32 NetMIMEDocument::random() {
    if (randomSeed_ == 0)
        return QRandomGenerator::global()->generate();
    return randomSeed_++;
}

bool NetMIMEDocument::anyPartContains(const QString& candidate) const {
    const QByteArray bytes = candidate.toUtf8();
    return std::any_of(parts_.begin(), parts_.end(),
                       [&](const NetMIMEPart& part) { return part.containsBytes(bytes); });
}

QString NetMIMEDocument::uniqueBoundary() {
    QString candidate = boundaryStem;
    for (int tried = 1; anyPartContains(candidate); ++tried) {
        if (tried == boundaryCandidates) {
            // Two random 32-bit numbers: a part holding this by chance is not worth a test.
            const quint32 first = random();
            return hex8(first) + QLatin1String("_quirlan_") + hex8(random());
        }
        candidate = boundaryStem + u'_' + hex8(random());
    }
    return candidate;
}

NetMIMEDocument::GeneratedBody NetMIMEDocument::generateInputStream() {
    GeneratedBody body;
    body.boundary = uniqueBoundary();
    const QByteArray boundary = body.boundary.toUtf8();
    const QByteArray opening = "\r\n--" + boundary + "\r\n";
    const QByteArray closing = "\r\n--" + boundary + "--\r\n";
    QList<QByteArray> buffers;
    for (const NetMIMEPart& part : parts_) {
        buffers << opening << part.header() << part.body();
        body.length += quint64(opening.size() + part.length());
    }
    buffers << closing;
    body.length += quint64(closing.size());
    body.stream = NetGatherInputStream::streamWithArray(std::move(buffers));
    return body;
}
