#include "webservice/BaseClasses/DSUtilities.h"

#include "webservice/BaseClasses/DSScanner.h"

#include <QFileInfo>
#include <QMimeDatabase>

#include <array>
#include <limits>

void getDSLibraryVersion(unsigned* major, unsigned* minor, unsigned* release) {
    if (major)
        *major = 1;
    if (minor)
        *minor = 12;
    if (release)
        *release = 0;
}

QString DSLibraryVersionString() {
    unsigned major = 0;
    unsigned minor = 0;
    getDSLibraryVersion(&major, &minor, nullptr);
    return QStringLiteral("%1.%2").arg(major).arg(minor);
}

namespace DSUtilities {

namespace {

bool isFilteredControl(char32_t c) {
    if (c == 0x09 || c == 0x0A || c == 0x0D || c == 0x85)
        return false;
    const QChar::Category category = QChar::category(c);
    return category == QChar::Other_Control || category == QChar::Other_Format;
}

QString percentEncoded(const QString& text, const QByteArray& keep) {
    return QString::fromLatin1(text.toUtf8().toPercentEncoding(keep));
}

} // namespace

QString stringWithControlsFilteredForString(const QString& text) {
    if (text.isNull())
        return text;
    QList<uint> characters = text.toUcs4();
    const qsizetype removed = characters.removeIf([](uint c) { return isFilteredControl(char32_t(c)); });
    if (removed == 0)
        return text;
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(characters.constData()), characters.size());
}

QString userAgentStringForString(const QString& text) {
    if (text.isNull())
        return text;
    static const QString separators = QStringLiteral("()<>@,;:\\\"/[]?={}");
    QString token = text;
    token.replace(QLatin1Char(' '), QLatin1Char('_'));
    token.removeIf([](QChar c) { return DSScanner::isWhitespaceOrNewline(c) || separators.contains(c); });
    return token;
}

std::optional<double> doubleNumberOrInfForString(const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    const double value = DSLeadingDouble(text).value_or(0.0);
    if (value != 0.0)
        return value;
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("INF"), Qt::CaseInsensitive) == 0)
        return std::numeric_limits<double>::infinity();
    if (trimmed.compare(QLatin1String("-INF"), Qt::CaseInsensitive) == 0)
        return -std::numeric_limits<double>::infinity();
    return 0.0;
}

QString stringByURLEncodingString(const QString& text) {
    return percentEncoded(text, "!#$%&'()*+,-./:;=?@_~");
}

QString stringByURLEncodingForURI(const QString& text) {
    return percentEncoded(text, QByteArray());
}

QString stringByURLEncodingStringParameter(const QString& text) {
    return percentEncoded(text, " ").replace(QLatin1Char(' '), QLatin1Char('+'));
}

QString stringByPercentEncodingUTF8ForString(const QString& text) {
    if (text.isEmpty())
        return text;
    const QByteArray utf8 = text.toUtf8();
    QByteArray encoded;
    bool changed = false;
    for (const char byte : utf8) {
        const auto value = static_cast<unsigned char>(byte);
        if (value == '%' || value < 0x20 || value > 0x7E) {
            encoded += '%' + QByteArray::number(value, 16).toUpper().rightJustified(2, '0');
            changed = true;
        } else {
            encoded += byte;
        }
    }
    return changed ? QString::fromLatin1(encoded) : text;
}

QList<DSInstanceRef> arrayWithCopiesOfObjectsInArray(const QList<DSInstanceRef>& objects) {
    QList<DSInstanceRef> copies;
    for (const DSInstanceRef& object : objects)
        copies.append(object ? object->copyInstance() : nullptr);
    return copies;
}

QMap<QString, DSInstanceRef>
dictionaryWithCopiesOfObjectsInDictionary(const QMap<QString, DSInstanceRef>& objects) {
    QMap<QString, DSInstanceRef> copies;
    for (auto it = objects.cbegin(); it != objects.cend(); ++it)
        copies.insert(it.key(), it.value() ? it.value()->copyInstance() : nullptr);
    return copies;
}

QMap<QString, QList<DSInstanceRef>>
dictionaryWithCopiesOfArraysInDictionary(const QMap<QString, QList<DSInstanceRef>>& arrays) {
    QMap<QString, QList<DSInstanceRef>> copies;
    for (auto it = arrays.cbegin(); it != arrays.cend(); ++it)
        copies.insert(it.key(), arrayWithCopiesOfObjectsInArray(it.value()));
    return copies;
}

std::optional<QMap<QString, QString>> dictionaryWithResponseString(const QString& text) {
    if (text.isNull())
        return std::nullopt;
    QMap<QString, QString> answer;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        DSScanner scanner(line);
        QString key;
        QString value;
        if (scanner.scanUpToString(u"=", &key) && scanner.scanString(u"=") &&
            scanner.scanUpToString(u"\n", &value))
            answer.insert(key, value);
    }
    return answer;
}

std::optional<QMap<QString, QString>> dictionaryWithResponseData(const QByteArray& data) {
    return dictionaryWithResponseString(data.isNull() ? QString() : QString::fromUtf8(data));
}

namespace {

std::array<int, 4> versionParts(const QString& version) {
    std::array<int, 4> parts{};
    DSScanner scanner(version);
    scanner.setCharactersToBeSkipped([](QChar c) { return c == QLatin1Char('.'); });
    for (int& part : parts)
        if (!scanner.scanInt(&part))
            break;
    return parts;
}

} // namespace

int compareVersion(const QString& a, const QString& b) {
    const std::array<int, 4> first = versionParts(a);
    const std::array<int, 4> second = versionParts(b);
    for (std::size_t i = 0; i < first.size(); ++i)
        if (first[i] != second[i])
            return first[i] < second[i] ? -1 : 1;
    return 0;
}

QString MIMETypeForFileAtPath(const QString& path, const QString& defaultMIMEType) {
    if (path.isEmpty() || !QFileInfo::exists(path))
        return defaultMIMEType;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    return type.isValid() && !type.isDefault() ? type.name() : defaultMIMEType;
}

} // namespace DSUtilities
