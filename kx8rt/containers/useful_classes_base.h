// Base lists and holders: the common ground of the suite's pointer lists and of the objects kept in
// string-list slots, with the comparison and exchange routines every sort is built from.
#pragma once

#include "kx8rt/containers/base_lists.h"
#include "kx8rt/containers/comparisons.h"
#include "kx8rt/containers/holders.h"
#include "kx8rt/containers/pointer_utils.h"
#include "kx8rt/containers/search_context.h"
#include "kx8rt/containers/stream_fields.h"
