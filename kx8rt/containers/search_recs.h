// The records of found files that the folder walk collects and the sorted string lists carry, and
// their holders for list and object slots.
#pragma once

#include <cstdint>

#include "kx8rt/containers/holders.h"
#include "kx8rt/platform/datetime.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// One found file: a plain file, or an entry of a zip archive (Number_Within_Zip from 1, ShortName then
// the archive's full path, "/" and the entry's name).
struct TMySearchRec {
  TDateTime DateTime = 0;         // last-write time, local
  int32_t Size = 0;               // low 32 bits of the size
  int32_t Attr = 0;               // classic attribute bits
  int16_t Number_Within_Zip = 0;  // 0 for a plain file
  UnicodeString ShortName;        // name without folder (plain file) or full entry path (zip entry)
};

// The slimmer form with the number of the folder the file belongs to.
struct TMySimpleSearchRec {
  TDateTime DateTime = 0;
  int32_t Size = 0;
  int32_t folder_number = 0;
  UnicodeString ShortName;
};

// Sort keys of TMySimpleSearchRec.
enum TMySimpleSearchRecSort : uint8_t { ss_none, ss_date, ss_size, ss_folder, ss_shortname };

// Holders carrying one record each in their field data.
using TMySearchRecHolder = TRecordHolder<TMySearchRec>;
using TMySimpleSearchRecHolder = TRecordHolder<TMySimpleSearchRec>;

}  // namespace kx8
