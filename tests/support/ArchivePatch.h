#pragma once

// Archives as a project from elsewhere may hold them: a value the model would never write put in the place
// of one it wrote.

#include <QString>

namespace test_support {

// Replaces every string `from` among the objects of the keyed archive at path (binary or XML) by `to`, and
// writes the archive back in binary; the number of strings replaced, or -1 when the file could not be read
// or written.
int replaceArchivedStrings(const QString& path, const QString& from, const QString& to);

} // namespace test_support
