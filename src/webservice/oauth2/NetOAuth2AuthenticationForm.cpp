// Form encoding of token requests, token replies and the keychain's persistence string.
#include "webservice/oauth2/NetOAuth2Authentication.h"

#include <QStringDecoder>

#include <algorithm>

QString NetOAuth2Authentication::encodedOAuthValueForString(const QString& text) {
    if (text.isNull())
        return QString();
    // Only the unreserved characters stand as they are; a blank is %20, never "+".
    return QString::fromLatin1(text.toUtf8().toPercentEncoding());
}

std::optional<QString> NetOAuth2Authentication::unencodedOAuthParameterForString(const QString& text) {
    if (text.isNull())
        return std::nullopt;
    const QByteArray bytes = QByteArray::fromPercentEncoding(text.toUtf8());
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return decoded.isNull() ? QStringLiteral("") : decoded;
}

QString NetOAuth2Authentication::encodedQueryParametersForDictionary(const Form& dictionary) {
    QStringList keys = dictionary.keys();
    std::stable_sort(keys.begin(), keys.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    QStringList pairs;
    for (const QString& key : keys)
        pairs << encodedOAuthValueForString(key) + u'=' + encodedOAuthValueForString(dictionary.value(key));
    return pairs.join(u'&');
}

std::optional<NetOAuth2Authentication::Form>
NetOAuth2Authentication::dictionaryWithResponseString(const QString& text) {
    if (text.isNull())
        return std::nullopt;
    Form form;
    for (const QString& piece : text.split(u'&', Qt::SkipEmptyParts)) {
        const qsizetype equals = piece.indexOf(u'=');
        const std::optional<QString> key =
            unencodedOAuthParameterForString(equals < 0 ? piece : piece.left(equals));
        const std::optional<QString> value =
            unencodedOAuthParameterForString(equals < 0 ? QStringLiteral("") : piece.mid(equals + 1));
        if (key && value)
            form.insert(*key, *value);
    }
    return form;
}

std::optional<NetOAuth2Authentication::Form>
NetOAuth2Authentication::dictionaryWithResponseData(const QByteArray& data) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(data);
    if (decoder.hasError())
        return std::nullopt;
    return dictionaryWithResponseString(text);
}

QString NetOAuth2Authentication::scopeWithStrings(const QStringList& scopes) {
    return scopes.join(u' ');
}
