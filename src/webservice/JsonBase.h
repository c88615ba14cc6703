#pragma once

#include <QList>
#include <QString>

#include <memory>

// One failure of the JSON parser or writer. Failures chain: an inner failure is recorded first and the
// outer one names it as its underlying error, so the last error of a trace is the outermost.
struct JsonError {
    static QString domain() { return QStringLiteral("org.vistrelle.Vistrelle.JSON"); }

    int code = 0;
    QString localizedDescription;
    std::shared_ptr<const JsonError> underlyingError; // the error recorded just before this one, if any
};

// What parser, writer and coder share: the trace of errors of the last call and the nesting limit.
class JsonBase {
public:
    static constexpr quint64 defaultMaxDepth = 512;

    // Oldest first; empty after a call that succeeded.
    const QList<JsonError>& errorTrace() const { return errorTrace_; }
    void setErrorTrace(const QList<JsonError>& trace) { errorTrace_ = trace; }
    void clearErrorTrace() { errorTrace_.clear(); }
    void addErrorWithCode(int code, const QString& description);

    quint64 depth() const { return depth_; }
    // 0 lifts the limit; the nesting is then bounded only by the stack, so never use 0 on untrusted text.
    quint64 maxDepth() const { return maxDepth_; }
    virtual void setMaxDepth(quint64 maxDepth) { maxDepth_ = maxDepth; }

protected:
    JsonBase() = default;
    virtual ~JsonBase() = default;
    JsonBase(const JsonBase&) = default;
    JsonBase& operator=(const JsonBase&) = default;

    // One level deeper; false (with "Nested too deep" recorded) past the limit.
    bool enterNesting();
    void leaveNesting() { --depth_; }

    QList<JsonError> errorTrace_;
    quint64 depth_ = 0;
    quint64 maxDepth_ = defaultMaxDepth;
};

// The error codes of the JSON domain.
namespace json_error {
inline constexpr int unsupported = 1;
inline constexpr int badNumber = 2;
inline constexpr int badToken = 3;
inline constexpr int notAnObject = 4;
inline constexpr int controlCharacter = 5;
inline constexpr int badUnicode = 6;
inline constexpr int tooDeep = 7;
inline constexpr int badEscape = 8;
inline constexpr int trailingComma = 9;
inline constexpr int trailingGarbage = 10;
inline constexpr int endOfInput = 11;
inline constexpr int noInput = 12;
} // namespace json_error
