#include "platform/net/HttpChallenge.h"

namespace platform::net {

namespace {

bool isTokenChar(char c) {
    static const QByteArray separators = QByteArrayLiteral("()<>@,;:\\\"/[]?={} \t");
    const auto u = static_cast<unsigned char>(c);
    return u > 32 && u < 127 && !separators.contains(c);
}

bool isToken68Char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~' || c == '+' || c == '/';
}

class Scanner {
public:
    explicit Scanner(const QByteArray& text) : text(text) {}

    bool atEnd() const { return at >= text.size(); }
    char peek(qsizetype ahead = 0) const { return at + ahead < text.size() ? text[at + ahead] : '\0'; }
    void skipSpaces() {
        while (!atEnd() && (peek() == ' ' || peek() == '\t'))
            ++at;
    }
    void skipSpacesAndCommas() {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == ','))
            ++at;
    }
    QByteArray token() {
        const qsizetype start = at;
        while (!atEnd() && isTokenChar(peek()))
            ++at;
        return text.mid(start, at - start);
    }
    // A token68 that stands alone (up to a comma or the end), or nothing with the position unchanged.
    QByteArray token68() {
        qsizetype end = at;
        while (end < text.size() && isToken68Char(text[end]))
            ++end;
        if (end == at)
            return {};
        while (end < text.size() && text[end] == '=')
            ++end;
        qsizetype after = end;
        while (after < text.size() && (text[after] == ' ' || text[after] == '\t'))
            ++after;
        if (after < text.size() && text[after] != ',')
            return {};
        const QByteArray value = text.mid(at, end - at);
        at = after;
        return value;
    }
    QByteArray quoted() {
        QByteArray value;
        ++at; // the opening quote
        while (!atEnd() && peek() != '"') {
            if (peek() == '\\' && at + 1 < text.size())
                ++at;
            value += text[at++];
        }
        if (!atEnd())
            ++at;
        return value;
    }
    // Whether a parameter ("name =") starts here, looking past spaces and commas.
    bool parameterFollows() const {
        qsizetype i = at;
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == ','))
            ++i;
        const qsizetype nameStart = i;
        while (i < text.size() && isTokenChar(text[i]))
            ++i;
        if (i == nameStart)
            return false;
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        return i < text.size() && text[i] == '=';
    }

    qsizetype at = 0;

private:
    const QByteArray& text;
};

void readParameters(Scanner& scanner, HttpChallenge& challenge) {
    while (scanner.parameterFollows()) {
        scanner.skipSpacesAndCommas();
        const QByteArray name = scanner.token().toLower();
        scanner.skipSpaces();
        ++scanner.at; // '='
        scanner.skipSpaces();
        const QByteArray value = scanner.peek() == '"' ? scanner.quoted() : scanner.token();
        if (!challenge.parameters.contains(name))
            challenge.parameters.insert(name, value);
        scanner.skipSpaces();
    }
}

void parseField(const QByteArray& value, QList<HttpChallenge>& challenges) {
    Scanner scanner(value);
    while (true) {
        scanner.skipSpacesAndCommas();
        if (scanner.atEnd())
            return;
        HttpChallenge challenge;
        challenge.scheme = scanner.token();
        if (challenge.scheme.isEmpty()) {
            ++scanner.at; // not a challenge: step over it
            continue;
        }
        scanner.skipSpaces();
        challenge.token = scanner.token68();
        if (challenge.token.isEmpty())
            readParameters(scanner, challenge);
        challenges.append(challenge);
    }
}

} // namespace

QList<HttpChallenge> parseChallenges(const QList<QByteArray>& fieldValues) {
    QList<HttpChallenge> challenges;
    for (const QByteArray& value : fieldValues)
        parseField(value, challenges);
    return challenges;
}

} // namespace platform::net
