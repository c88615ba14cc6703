#pragma once

#include "model/Climbing.h"
