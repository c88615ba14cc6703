#include "support/TempDir.h"

#include <stdexcept>

TempDir::TempDir() {
    if (!dir.isValid())
        throw std::runtime_error("cannot create a temporary folder for the test");
}
