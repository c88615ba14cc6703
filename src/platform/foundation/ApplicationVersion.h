#pragma once

#include <QString>

namespace platform {

// The version of this build ("0.1.0"), as the project declares it.
QString applicationVersion();

} // namespace platform
