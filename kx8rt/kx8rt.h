// Umbrella header: includes every public header of the KX8 run-time library.
#pragma once

// platform
#include "kx8rt/platform/datetime.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/format.h"
#include "kx8rt/platform/messages.h"
#include "kx8rt/platform/strings.h"
