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
  // The whole size, which the folder walk fills beside Size. Size stays the low 32 bits because the
  // stored list forms have room for no more; a file of 5 GB must still show and sort as 5 GB.
  int64_t Size64 = 0;
};

// The size of a found file in full: Size64 where the walk filled it, else Size read as unsigned (a
// record made by hand or read from a stored list, which keeps 32 bits).
inline int64_t WholeSize(const TMySearchRec& r) {
  return r.Size64 != 0 ? r.Size64 : static_cast<int64_t>(static_cast<uint32_t>(r.Size));
}

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
