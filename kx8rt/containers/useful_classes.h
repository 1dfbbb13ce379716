// Checked and searchable string lists: the suite's base string and pointer lists with their index
// checks and sorted flag, the binary-saving string list, simple search requests and chosen-file lists.
#pragma once

#include "kx8rt/containers/checked_string_lists.h"
#include "kx8rt/containers/folder_efficient_file_list.h"
