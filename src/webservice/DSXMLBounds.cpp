#include "webservice/DSXMLBounds.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isContinuation(unsigned char c, unsigned char low = 0x80, unsigned char high = 0xBF) {
    return c >= low && c <= high;
}

// The length of the UTF-8 sequence at `p` when it encodes a character XML allows, else 0. libxml2 stops
// reading a comment or a CDATA section at any other, and would take what follows as markup.
int xmlCharacterLength(const unsigned char* p, const unsigned char* end) {
    const unsigned char c = p[0];
    if (c < 0x80)
        return c >= 0x20 || c == '\t' || c == '\n' || c == '\r' ? 1 : 0;
    const qsizetype left = end - p;
    if (c >= 0xC2 && c <= 0xDF)
        return left >= 2 && isContinuation(p[1]) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        const unsigned char low = c == 0xE0 ? 0xA0 : 0x80;
        const unsigned char high = c == 0xED ? 0x9F : 0xBF; // no surrogates
        if (left < 3 || !isContinuation(p[1], low, high) || !isContinuation(p[2]))
            return 0;
        const bool isNonCharacter = c == 0xEF && p[1] == 0xBF && (p[2] == 0xBE || p[2] == 0xBF);
        return isNonCharacter ? 0 : 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        const unsigned char low = c == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = c == 0xF4 ? 0x8F : 0xBF;
        return left >= 4 && isContinuation(p[1], low, high) && isContinuation(p[2]) && isContinuation(p[3])
                   ? 4
                   : 0;
    }
    return 0;
}

qsizetype firstDisallowedCharacter(const QByteArray& bytes) {
    const auto* begin = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto* end = begin + bytes.size();
    for (const unsigned char* p = begin; p < end;) {
        const int length = xmlCharacterLength(p, end);
        if (length == 0)
            return p - begin;
        p += length;
    }
    return -1;
}

bool startsWith(const char* p, const char* end, const char* text) {
    const size_t length = std::strlen(text);
    return size_t(end - p) >= length && std::memcmp(p, text, length) == 0;
}

constexpr char kNodesCounted[] = "elements, processing instructions and comments";

// Follows the markup as libxml2 reads it. Wherever libxml2 would report a fault and read on from another
// place, the scan refuses instead, so the two never part ways.
class MarkupScan {
public:
    explicit MarkupScan(const QByteArray& bytes) : begin_(bytes.constData()), end_(begin_ + bytes.size()) {}

    QString run() {
        const char* p = begin_;
        while (problem_.isNull()) {
            p = static_cast<const char*>(std::memchr(p, '<', size_t(end_ - p)));
            if (!p)
                break;
            p = markupAt(p);
        }
        return problem_;
    }

private:
    // The position after the markup at `p`, or the end with the problem set.
    const char* markupAt(const char* p) {
        if (startsWith(p, end_, "<!--")) {
            if (!counted(nodes_, DSXMLBounds::kMaximumElements, kNodesCounted, p))
                return end_;
            return skipPast(p + 4, "-->", p, "a comment is not closed");
        }
        if (startsWith(p, end_, "<![CDATA["))
            return skipPast(p + 9, "]]>", p, "a CDATA section is not closed");
        if (startsWith(p, end_, "<!DOCTYPE"))
            return stop(DSXMLBounds::documentTypeRefusal());
        if (startsWith(p, end_, "<!"))
            return malformed(p, "markup that is no element, comment or CDATA section");
        if (startsWith(p, end_, "<?"))
            return processingInstruction(p);
        if (startsWith(p, end_, "</"))
            return endTag(p);
        return startTag(p);
    }

    const char* skipPast(const char* from, const char* closer, const char* start, const char* fault) {
        const size_t length = std::strlen(closer);
        for (const char* q = from; q + length <= end_; ++q) {
            q = static_cast<const char*>(std::memchr(q, closer[0], size_t(end_ - q)));
            if (!q || q + length > end_)
                break;
            if (std::memcmp(q, closer, length) == 0)
                return q + length;
        }
        return malformed(start, fault);
    }

    const char* processingInstruction(const char* p) {
        // Without a target libxml2 gives up on the instruction and reads its inside as content.
        const char first = p + 2 < end_ ? p[2] : '\0';
        const bool hasTarget =
            (first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z') || first == '_' || first == ':';
        if (!hasTarget)
            return malformed(p, "a processing instruction has no target");
        if (!isDeclaration(p) && !counted(nodes_, DSXMLBounds::kMaximumElements, kNodesCounted, p))
            return end_;
        return skipPast(p + 2, "?>", p, "a processing instruction is not closed");
    }

    // The XML declaration, which the parser takes for no node, stands first (after a byte order mark).
    bool isDeclaration(const char* p) const {
        const char* first = startsWith(begin_, end_, "\xEF\xBB\xBF") ? begin_ + 3 : begin_;
        return p == first && startsWith(p, end_, "<?xml") && p + 5 < end_ && isSpace(p[5]);
    }

    const char* endTag(const char* p) {
        const char* q = p + 2;
        while (q < end_ && !isSpace(*q) && *q != '>' && *q != '<')
            ++q;
        while (q < end_ && isSpace(*q))
            ++q;
        if (q >= end_ || *q != '>')
            return malformed(p, "an end tag is not closed");
        if (!declared_.empty()) {
            inScope_ -= declared_.back();
            declared_.pop_back();
        }
        return q + 1;
    }

    const char* startTag(const char* p) {
        const char* q = p + 1;
        while (q < end_ && !isSpace(*q) && *q != '>' && *q != '/' && *q != '<')
            ++q;
        if (q == p + 1)
            return malformed(p, "an element has no name");
        int attributes = 0;
        int declarations = 0;
        for (;;) {
            while (q < end_ && isSpace(*q))
                ++q;
            if (q >= end_ || *q == '<')
                return malformed(p, "a tag is not closed");
            if (*q == '>' || (*q == '/' && q + 1 < end_ && q[1] == '>'))
                break;
            const char* name = q;
            q = attribute(p, q, declarations);
            if (!q)
                return end_;
            if (++attributes > DSXMLBounds::kMaximumAttributesPerElement)
                return stop(QStringLiteral("The XML document has an element with more than %1 attributes and "
                                           "namespace declarations (line %2)")
                                .arg(DSXMLBounds::kMaximumAttributesPerElement)
                                .arg(lineOf(p)));
            if (!counted(attributes_, DSXMLBounds::kMaximumAttributes,
                         "attributes and namespace declarations", name))
                return end_;
        }
        const bool isEmpty = *q == '/';
        if (!counted(nodes_, DSXMLBounds::kMaximumElements, kNodesCounted, p))
            return end_;
        if (int(declared_.size()) + 1 > DSXMLBounds::kMaximumDepth)
            return stop(QStringLiteral("The XML document nests elements more than %1 deep (line %2)")
                            .arg(DSXMLBounds::kMaximumDepth)
                            .arg(lineOf(p)));
        if (inScope_ + declarations > DSXMLBounds::kMaximumNamespacesInScope)
            return stop(QStringLiteral("The XML document declares more than %1 namespaces in scope at once "
                                       "(line %2)")
                            .arg(DSXMLBounds::kMaximumNamespacesInScope)
                            .arg(lineOf(p)));
        if (!isEmpty) {
            declared_.push_back(declarations);
            inScope_ += declarations;
        }
        return q + (isEmpty ? 2 : 1);
    }

    // One attribute of the tag at `tag`, from its name at `q`: the position after its value, or null.
    const char* attribute(const char* tag, const char* q, int& declarations) {
        const char* name = q;
        while (q < end_ && !isSpace(*q) && *q != '=' && *q != '>' && *q != '/' && *q != '<')
            ++q;
        if (q == name) {
            malformed(tag, "an attribute has no name");
            return nullptr;
        }
        const QByteArray attributeName(name, q - name);
        while (q < end_ && isSpace(*q))
            ++q;
        if (q >= end_ || *q != '=') {
            malformed(tag, "an attribute has no value");
            return nullptr;
        }
        ++q;
        while (q < end_ && isSpace(*q))
            ++q;
        if (q >= end_ || (*q != '"' && *q != '\'')) {
            malformed(tag, "an attribute value is not quoted");
            return nullptr;
        }
        const char quote = *q++;
        const char* close = static_cast<const char*>(std::memchr(q, quote, size_t(end_ - q)));
        if (!close) {
            malformed(tag, "an attribute value is not closed");
            return nullptr;
        }
        // libxml2 ends the value at a '<' and reads on from there.
        if (std::memchr(q, '<', size_t(close - q))) {
            malformed(tag, "an attribute value holds a '<'");
            return nullptr;
        }
        if (attributeName == "xmlns" || attributeName.startsWith("xmlns:"))
            ++declarations;
        return close + 1;
    }

    // Counts one more of what the whole document may hold only so many of; false, with the problem set,
    // past the bound.
    bool counted(int& count, int bound, const char* what, const char* at) {
        if (++count <= bound)
            return true;
        stop(QStringLiteral("The XML document has more than %1 %2 (line %3)")
                 .arg(bound)
                 .arg(QLatin1String(what))
                 .arg(lineOf(at)));
        return false;
    }

    int lineOf(const char* p) const { return 1 + int(std::count(begin_, p, '\n')); }

    const char* malformed(const char* at, const char* fault) {
        return stop(QStringLiteral("The XML document is not well formed (line %1): %2")
                        .arg(lineOf(at))
                        .arg(QLatin1String(fault)));
    }

    const char* stop(const QString& problem) {
        problem_ = problem;
        return end_;
    }

    const char* begin_;
    const char* end_;
    std::vector<int> declared_; // namespace declarations of each open element
    int inScope_ = 0;
    int nodes_ = 0; // elements, processing instructions and comments
    int attributes_ = 0;
    QString problem_;
};

} // namespace

QString DSXMLBounds::documentTypeRefusal() {
    return QStringLiteral("The XML document has a document type declaration (DTD), which is refused: its "
                          "entities could expand the document without bound");
}

QString DSXMLBounds::problemWithDocument(const QByteArray& bytes) {
    if (bytes.size() > kMaximumDocumentBytes)
        return QStringLiteral("The XML document is %1 bytes long; a service document may have at most %2")
            .arg(bytes.size())
            .arg(kMaximumDocumentBytes);
    if (const qsizetype at = firstDisallowedCharacter(bytes); at >= 0)
        return QStringLiteral("The XML document is not well formed (line %1): a byte that is no UTF-8 "
                              "character XML allows")
            .arg(1 + bytes.left(at).count('\n'));
    return MarkupScan(bytes).run();
}
