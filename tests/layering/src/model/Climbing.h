#pragma once

#include "platform/foundation/Clock.h"
#include "ui/main/Above.h"
