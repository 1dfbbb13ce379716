// The search engines: the buffer matcher and its running text statistics.
#pragma once

#include "kx8rt/search/hit_finding.h"
