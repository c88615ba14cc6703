#pragma once

#include "platform/foundation/Error.h"

#include <QString>

// The one way an error becomes a sentence in an alert. The words of whoever failed come first, as they name
// the cause best; a sentence of the caller's only stands in when they said nothing. Never a bare domain and
// number, which tells a person nothing.
namespace platform {

// What the library that failed said of the error: its own description, else that of the error it wraps,
// else the system's words for an errno; empty when nobody said anything.
QString errorDescription(const Error& error);
// errorDescription; else `fallback` (the caller's sentence for what failed); else a general sentence that
// names the error only as a reference for support.
QString errorSentence(const Error& error, const QString& fallback = QString());
// An error reported as text (a command's error string, an exception's what()): the text as it came; else
// `fallback`. A text that is only an error's domain and number describes nothing and gives way to it too.
QString errorSentence(const QString& reported, const QString& fallback);

} // namespace platform
