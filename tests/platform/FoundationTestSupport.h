#pragma once

#include "support/TestEnvironment.h"

namespace foundation_test {

using test_support::EnvOverride;
using test_support::spinFor;
using test_support::spinUntil;

} // namespace foundation_test
