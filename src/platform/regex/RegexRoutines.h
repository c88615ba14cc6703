#pragma once

// Regular-expression additions to strings, on ICU's regular expressions. The receiver (the subject, or
// the pattern for the capture-count and validity forms) is the first parameter; `regex` is the pattern.
// Short forms use options 0, the whole string as range, capture 0 and no error out-parameter.
//
// Programming errors throw (NSException.h): a null `regex` or template, null dictionary keys, a bad
// capture or enumeration option -> NSInvalidArgumentException; a range outside the subject ->
// NSRangeException. A pattern that does not compile never throws: the function answers its failure value
// (an empty list or map, a null QString, false, -1 or RXRange::notFound()) and fills `*error` when given.
// An ICU failure after compiling throws RXICURegexException.
//
// All functions are thread-safe; compiled patterns are cached process-wide.

#include "platform/regex/NSException.h"
#include "platform/regex/RXError.h"
#include "platform/regex/RXRange.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <span>
#include <utility>

// A block gets `captureCount` entries: index 0 the whole match (or, for a split, the piece), then each
// capture group; strings are empty spans under RXRegexEnumerationCapturedStringsNotRequired. Setting
// `stop` ends the enumeration after this call.
using RXEnumerationBlock =
    std::function<void(qsizetype captureCount, std::span<const QString> capturedStrings,
                       std::span<const RXRange> capturedRanges, bool& stop)>;
// The same, answering the text that replaces the match (a null string counts as empty).
using RXReplacementBlock =
    std::function<QString(qsizetype captureCount, std::span<const QString> capturedStrings,
                          std::span<const RXRange> capturedRanges, bool& stop)>;

// Pairs of dictionary key and capture number.
using RXKeysAndCaptures = QList<std::pair<QString, qsizetype>>;
using RXCaptureDictionary = QMap<QString, QString>;

// Capture count of a pattern, -1 when it does not compile.
qsizetype captureCountForRegex(const QString& regex);
qsizetype captureCountForRegex(const QString& regex, RXRegexOptions options, RXError* error);
qsizetype captureCount(const QString& receiverRegex);
qsizetype captureCountWithOptions(const QString& receiverRegex, RXRegexOptions options, RXError* error);

bool isRegexValid(const QString& receiverRegex);
bool isRegexValidWithOptions(const QString& receiverRegex, RXRegexOptions options, RXError* error);

// The pieces between matches, each followed by its match's capture groups (an empty string for a group
// that did not take part). An empty match at the end of the previous match is skipped; when the text ends
// with a separator, the empty pieces at the tail are dropped.
QStringList componentsSeparatedByRegex(const QString& subject, const QString& regex);
QStringList componentsSeparatedByRegex(const QString& subject, const QString& regex, RXRange range);
QStringList componentsSeparatedByRegex(const QString& subject, const QString& regex, RXRegexOptions options,
                                       RXRange range, RXError* error);

bool isMatchedByRegex(const QString& subject, const QString& regex);
bool isMatchedByRegex(const QString& subject, const QString& regex, RXRange range);
bool isMatchedByRegex(const QString& subject, const QString& regex, RXRegexOptions options, RXRange range,
                      RXError* error);

// The range of `capture` in the first match; not found without a match or when the group did not take part.
RXRange rangeOfRegex(const QString& subject, const QString& regex);
RXRange rangeOfRegex(const QString& subject, const QString& regex, qsizetype capture);
RXRange rangeOfRegex(const QString& subject, const QString& regex, RXRange range);
RXRange rangeOfRegex(const QString& subject, const QString& regex, RXRegexOptions options, RXRange range,
                     qsizetype capture, RXError* error);

// The text of that range; a null QString when it is not found.
QString stringByMatching(const QString& subject, const QString& regex);
QString stringByMatching(const QString& subject, const QString& regex, qsizetype capture);
QString stringByMatching(const QString& subject, const QString& regex, RXRange range);
QString stringByMatching(const QString& subject, const QString& regex, RXRegexOptions options, RXRange range,
                         qsizetype capture, RXError* error);

// Every match inside `range` replaced by the template in ICU's syntax ("$1" a capture, "\$" a dollar);
// the text outside the range is kept. With no match, the subject itself.
QString stringByReplacingOccurrencesOfRegex(const QString& subject, const QString& regex,
                                            const QString& replacement);
QString stringByReplacingOccurrencesOfRegex(const QString& subject, const QString& regex,
                                            const QString& replacement, RXRange range);
QString stringByReplacingOccurrencesOfRegex(const QString& subject, const QString& regex,
                                            const QString& replacement, RXRegexOptions options, RXRange range,
                                            RXError* error);
// Each match replaced by the block's answer.
QString stringByReplacingOccurrencesOfRegex(const QString& subject, const QString& regex,
                                            const RXReplacementBlock& block);
QString stringByReplacingOccurrencesOfRegex(const QString& subject, const QString& regex,
                                            RXRegexOptions options, RXRange range, RXError* error,
                                            RXRegexEnumerationOptions enumerationOptions,
                                            const RXReplacementBlock& block);

// The text of `capture` of every match, left to right.
QStringList componentsMatchedByRegex(const QString& subject, const QString& regex);
QStringList componentsMatchedByRegex(const QString& subject, const QString& regex, qsizetype capture);
QStringList componentsMatchedByRegex(const QString& subject, const QString& regex, RXRange range);
QStringList componentsMatchedByRegex(const QString& subject, const QString& regex, RXRegexOptions options,
                                     RXRange range, qsizetype capture, RXError* error);

// The whole first match and each of its captures.
QStringList captureComponentsMatchedByRegex(const QString& subject, const QString& regex);
QStringList captureComponentsMatchedByRegex(const QString& subject, const QString& regex, RXRange range);
QStringList captureComponentsMatchedByRegex(const QString& subject, const QString& regex,
                                            RXRegexOptions options, RXRange range, RXError* error);

// The same for every match.
QList<QStringList> arrayOfCaptureComponentsMatchedByRegex(const QString& subject, const QString& regex);
QList<QStringList> arrayOfCaptureComponentsMatchedByRegex(const QString& subject, const QString& regex,
                                                          RXRange range);
QList<QStringList> arrayOfCaptureComponentsMatchedByRegex(const QString& subject, const QString& regex,
                                                          RXRegexOptions options, RXRange range,
                                                          RXError* error);

// Each key mapped to its capture's text in the first match (empty when the group did not take part);
// an empty map without a match.
RXCaptureDictionary dictionaryByMatchingRegex(const QString& subject, const QString& regex,
                                              const RXKeysAndCaptures& keysAndCaptures);
RXCaptureDictionary dictionaryByMatchingRegex(const QString& subject, const QString& regex, RXRange range,
                                              const RXKeysAndCaptures& keysAndCaptures);
RXCaptureDictionary dictionaryByMatchingRegex(const QString& subject, const QString& regex,
                                              RXRegexOptions options, RXRange range, RXError* error,
                                              const RXKeysAndCaptures& keysAndCaptures);
RXCaptureDictionary dictionaryByMatchingRegex(const QString& subject, const QString& regex,
                                              RXRegexOptions options, RXRange range, RXError* error,
                                              const QString* keys, const qsizetype* captures,
                                              qsizetype count);

// One such dictionary per match.
QList<RXCaptureDictionary> arrayOfDictionariesByMatchingRegex(const QString& subject, const QString& regex,
                                                              const RXKeysAndCaptures& keysAndCaptures);
QList<RXCaptureDictionary> arrayOfDictionariesByMatchingRegex(const QString& subject, const QString& regex,
                                                              RXRange range,
                                                              const RXKeysAndCaptures& keysAndCaptures);
QList<RXCaptureDictionary> arrayOfDictionariesByMatchingRegex(const QString& subject, const QString& regex,
                                                              RXRegexOptions options, RXRange range,
                                                              RXError* error,
                                                              const RXKeysAndCaptures& keysAndCaptures);
QList<RXCaptureDictionary> arrayOfDictionariesByMatchingRegex(const QString& subject, const QString& regex,
                                                              RXRegexOptions options, RXRange range,
                                                              RXError* error, const QString* keys,
                                                              const qsizetype* captures, qsizetype count);

// The block runs outside the cache lock on a private copy, so it may call these functions itself.
bool enumerateStringsMatchedByRegex(const QString& subject, const QString& regex,
                                    const RXEnumerationBlock& block);
bool enumerateStringsMatchedByRegex(const QString& subject, const QString& regex, RXRegexOptions options,
                                    RXRange range, RXError* error,
                                    RXRegexEnumerationOptions enumerationOptions,
                                    const RXEnumerationBlock& block);
// Per piece of the split: index 0 the piece, then the captures of the match after it.
bool enumerateStringsSeparatedByRegex(const QString& subject, const QString& regex,
                                      const RXEnumerationBlock& block);
bool enumerateStringsSeparatedByRegex(const QString& subject, const QString& regex, RXRegexOptions options,
                                      RXRange range, RXError* error,
                                      RXRegexEnumerationOptions enumerationOptions,
                                      const RXEnumerationBlock& block);

// Forgets every cached subject state of `subject` (or of a string of its length and hash).
void flushCachedRegexData(const QString& subject);
// Empties the whole cache.
void clearStringCache();

// In place: the number of replacements, -1 when the pattern does not compile.
qsizetype replaceOccurrencesOfRegex(QString& receiver, const QString& regex, const QString& replacement);
qsizetype replaceOccurrencesOfRegex(QString& receiver, const QString& regex, const QString& replacement,
                                    RXRange range);
qsizetype replaceOccurrencesOfRegex(QString& receiver, const QString& regex, const QString& replacement,
                                    RXRegexOptions options, RXRange range, RXError* error);
qsizetype replaceOccurrencesOfRegex(QString& receiver, const QString& regex, const RXReplacementBlock& block);
qsizetype replaceOccurrencesOfRegex(QString& receiver, const QString& regex, RXRegexOptions options,
                                    RXRange range, RXError* error,
                                    RXRegexEnumerationOptions enumerationOptions,
                                    const RXReplacementBlock& block);
