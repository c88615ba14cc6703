#include "http/ReqTextEncoding.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace ReqTextEncoding {

std::optional<QByteArray> canonicalName(const QByteArray& charset) {
    const QByteArray name = charset.trimmed().toUpper();
    if (name == "UTF8" || name == "UTF-8")
        return QByteArray("UTF-8");
    if (name == "ISO-8859-1" || name == "ISO8859-1" || name == "LATIN1" || name == "ISO_8859-1" ||
        name == "L1")
        return QByteArray(kLatin1);
    if (name == "US-ASCII" || name == "ASCII")
        return QByteArray("US-ASCII");
    for (const char* unicode : {"UTF-16", "UTF-16LE", "UTF-16BE", "UTF-32", "UTF-32LE", "UTF-32BE"})
        if (name == unicode)
            return name;
    return std::nullopt;
}

QString decode(const QByteArray& data, const QByteArray& encoding) {
    if (encoding == "US-ASCII" || encoding == kLatin1)
        return QString::fromLatin1(data);
    QStringDecoder decoder(encoding.constData());
    if (!decoder.isValid())
        return QString::fromLatin1(data);
    return decoder.decode(data);
}

QByteArray encode(const QString& text, const QByteArray& encoding) {
    if (encoding == "US-ASCII" || encoding == kLatin1)
        return text.toLatin1();
    QStringEncoder encoder(encoding.constData());
    if (!encoder.isValid())
        return text.toUtf8();
    return encoder.encode(text);
}

} // namespace ReqTextEncoding
