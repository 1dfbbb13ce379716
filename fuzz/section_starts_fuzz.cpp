// Feeds arbitrary bytes to the section-starts reader as a section file would hold them: the 57-byte
// signature header is checked as the file reader checks it, then the stream is read. A read must end
// in true or false, never a crash, and what was read must save and read back the same.
#include <cstddef>
#include <cstdint>

#include "kx8rt/definitions/list_types.h"
#include "kx8rt/definitions/text_structure.h"
#include "kx8rt/files/tool_identity.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kx8;
  TBytesStream stream(TBytes(data, data + size));
  TCheckSignature sig;
  const tool_type saved = current_tool_var;
  current_tool_var = tt_kwicker;
  const bool header = DiskSignatureISOKForToolAndList(sig, current_tool_var, lt_sections_list, stream, reading);
  current_tool_var = saved;
  // Without a valid header the file reader stops; the stream is still read from the start here.
  if (!header) stream.SetPosition(0);
  TSectionStartsList list;
  list.ReadFromStream(stream);
  list.SortOnStarts();
  list.SectionFromBytePosition(0, 1000);
  TBytesStream out;
  if (!list.SaveToStream(out)) __builtin_trap();
  out.SetPosition(0);
  TSectionStartsList back;
  if (!back.ReadFromStream(out) || back.Count() != list.Count()) __builtin_trap();
  return 0;
}
