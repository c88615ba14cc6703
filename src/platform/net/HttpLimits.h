#pragma once

#include <QtGlobal>

namespace platform::net {

// What one section of a reply's framing may hold, in both HTTP stacks: the head (interim replies included)
// and, after a chunked body, the trailers, each on its own. A reply past either is refused, never kept.
inline constexpr qsizetype kMaximumHeadBytes = 64 * 1024;
inline constexpr int kMaximumHeadFields = 100;

} // namespace platform::net
