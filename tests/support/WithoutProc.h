#pragma once

#include "platform/foundation/FileUtils.h"

#include <QString>

namespace test_support {

// While it lives (and `absent` holds), no path leads to the process's own descriptors, as on a system
// without /proc.
class WithoutProc {
public:
    explicit WithoutProc(bool absent = true) {
        if (absent)
            platform::setOwnDescriptorFolder(QStringLiteral("/nonexistent/descriptor folder"));
    }
    ~WithoutProc() { platform::setOwnDescriptorFolder(QString()); }
    WithoutProc(const WithoutProc&) = delete;
    WithoutProc& operator=(const WithoutProc&) = delete;
};

} // namespace test_support
