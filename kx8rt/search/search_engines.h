// The search engines: the buffer matcher with its running text statistics, and the search-and-do engine
// that runs it over a buffer and reports every hit.
#pragma once

#include "kx8rt/search/hit_finding.h"
#include "kx8rt/search/search_and_do_engine.h"
