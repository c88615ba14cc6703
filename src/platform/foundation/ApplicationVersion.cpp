#include "platform/foundation/ApplicationVersion.h"

namespace platform {

QString applicationVersion() {
    return QStringLiteral(VISTRELLE_VERSION);
}

} // namespace platform
