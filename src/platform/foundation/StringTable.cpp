#include "platform/foundation/StringTable.h"

#include "platform/foundation/StandardPaths.h"

#include <QFile>
#include <QHash>
#include <QLocale>
#include <QStringDecoder>

#include <memory>
#include <mutex>

namespace platform {

namespace {

using Table = QHash<QString, QString>;

// Reads the "key" = "value"; format of our string tables. Comments are /* */ and //; strings are quoted
// (with \" \\ \n \t \r and \Uxxxx escapes) or bare words; `"key";` alone maps a key to itself. A
// malformed entry is skipped up to its ";" so one typo costs one text, not the table.
class StringsParser {
public:
    explicit StringsParser(const QString& text) : text(text) {}

    Table parse() {
        Table table;
        while (skipSpaceAndComments()) {
            if (!parseEntry(table))
                skipPastSemicolon();
        }
        return table;
    }

private:
    const QString& text;
    qsizetype at = 0;

    bool atEnd() const { return at >= text.size(); }
    QChar peek() const { return atEnd() ? QChar() : text[at]; }

    // Answers whether anything but space and comments is left.
    bool skipSpaceAndComments() {
        while (!atEnd()) {
            if (peek().isSpace()) {
                ++at;
            } else if (text.mid(at, 2) == u"/*") {
                const qsizetype end = text.indexOf(u"*/", at + 2);
                at = end < 0 ? text.size() : end + 2;
            } else if (text.mid(at, 2) == u"//") {
                const qsizetype end = text.indexOf(u'\n', at);
                at = end < 0 ? text.size() : end + 1;
            } else {
                return true;
            }
        }
        return false;
    }

    void skipPastSemicolon() {
        const qsizetype end = text.indexOf(u';', at);
        at = end < 0 ? text.size() : end + 1;
    }

    bool parseEntry(Table& table) {
        QString key;
        if (!parseString(key))
            return false;
        skipSpaceAndComments();
        QString value = key;
        if (peek() == u'=') {
            ++at;
            skipSpaceAndComments();
            if (!parseString(value))
                return false;
            skipSpaceAndComments();
        }
        if (peek() != u';')
            return false;
        ++at;
        table.insert(key, value);
        return true;
    }

    bool parseString(QString& out) {
        if (peek() == u'"')
            return parseQuoted(out);
        const qsizetype start = at;
        while (!atEnd() && (peek().isLetterOrNumber() || QStringView(u"_.-$:/").contains(peek())))
            ++at;
        out = text.mid(start, at - start);
        return at > start;
    }

    bool parseQuoted(QString& out) {
        ++at;
        out.clear();
        while (!atEnd()) {
            const QChar c = text[at++];
            if (c == u'"')
                return true;
            if (c != u'\\') {
                out += c;
            } else if (!atEnd()) {
                out += unescape(text[at++]);
            }
        }
        return false;
    }

    QString unescape(QChar c) {
        switch (c.unicode()) {
        case 'n':
            return QStringLiteral("\n");
        case 't':
            return QStringLiteral("\t");
        case 'r':
            return QStringLiteral("\r");
        case 'U':
        case 'u': {
            bool ok = false;
            const uint code = text.mid(at, 4).toUInt(&ok, 16);
            if (!ok || text.mid(at, 4).size() != 4)
                return QString(c);
            at += 4;
            return QString(QChar(char16_t(code)));
        }
        default:
            return QString(c);
        }
    }
};

QString decode(const QByteArray& bytes) {
    // Tables are UTF-8; a UTF-16 table announces itself with a byte order mark.
    const auto encoding = QStringConverter::encodingForData(bytes);
    QStringDecoder decoder(encoding.value_or(QStringConverter::Utf8));
    return decoder.decode(bytes);
}

Table loadTable(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Table();
    return StringsParser(decode(file.readAll())).parse();
}

// The tables to search in order: the user's language ("fr_FR", then "fr"), then the base table.
QStringList tablePaths(const QString& root, const QString& table) {
    const QString fileName = table + QStringLiteral(".strings");
    QStringList paths;
    const QString locale = QLocale().name();
    const QString language = locale.section(u'_', 0, 0);
    for (const QString& folder : {locale, language})
        if (!folder.isEmpty() && folder != QStringLiteral("C") &&
            !paths.contains(root + u'/' + folder + u'/' + fileName))
            paths << root + u'/' + folder + u'/' + fileName;
    paths << root + u'/' + fileName;
    return paths;
}

class TableCache {
public:
    // Tables are keyed by full path, so a different resource folder or language never reads a stale one.
    std::shared_ptr<const Table> table(const QString& path) {
        std::lock_guard lock(mutex);
        auto& slot = tables[path];
        if (!slot)
            slot = std::make_shared<const Table>(loadTable(path));
        return slot;
    }

private:
    std::mutex mutex;
    QHash<QString, std::shared_ptr<const Table>> tables;
};

} // namespace

QString localizedString(const QString& key, const QString& table) {
    static TableCache cache;
    const QString root = paths::resourceFolder() + QStringLiteral("/strings");
    const QString name = table.isEmpty() ? QStringLiteral("Localizable") : table;
    for (const QString& path : tablePaths(root, name)) {
        const QString text = cache.table(path)->value(key);
        if (!text.isEmpty())
            return text;
    }
    return key;
}

} // namespace platform
